#pragma once
// Matchers for bool, integer, enumeration and floating-point parameters.
#include <limits>
#include <string>
#include <type_traits>

#include <lua.hpp>

#include "uibind/impl/types.h"

namespace uibind {
class CHost;
namespace impl {

template <typename T>
struct ScalarName;
#define UIBIND_SCALAR_NAME(type, text) \
  template <>                          \
  struct ScalarName<type> {            \
    static const char* Get() { return text; } \
  }
UIBIND_SCALAR_NAME(bool, "bool");
UIBIND_SCALAR_NAME(char, "char");
UIBIND_SCALAR_NAME(signed char, "signed char");
UIBIND_SCALAR_NAME(unsigned char, "unsigned char");
UIBIND_SCALAR_NAME(wchar_t, "wchar_t");
UIBIND_SCALAR_NAME(short, "short");
UIBIND_SCALAR_NAME(unsigned short, "unsigned short");
UIBIND_SCALAR_NAME(int, "int");
UIBIND_SCALAR_NAME(unsigned int, "unsigned");
UIBIND_SCALAR_NAME(long, "long");
UIBIND_SCALAR_NAME(unsigned long, "unsigned long");
UIBIND_SCALAR_NAME(long long, "long long");
UIBIND_SCALAR_NAME(unsigned long long, "unsigned long long");
UIBIND_SCALAR_NAME(float, "float");
UIBIND_SCALAR_NAME(double, "double");
#undef UIBIND_SCALAR_NAME

template <typename T>
std::string ScalarTypeName(bool constRef) {
  std::string name;
  if constexpr (std::is_enum_v<T>) {
    name = "enum";
  } else {
    name = ScalarName<T>::Get();
  }
  return constRef ? "const " + name + "&" : name;
}

constexpr double Pow2(int n) {
  double r = 1.0;
  while (n-- > 0) r *= 2.0;
  return r;
}

[[noreturn]] void RaiseNumberOutOfRange(CHost& host, lua_Number value, const std::string& typeName);

// Number to integer: truncated toward zero; a value whose truncation lies outside the
// type's range (including NaN and infinities) raises a Lua error instead of converting.
template <typename T>
T NumberToInteger(CHost& host, lua_Number value, bool constRef) {
  using U = typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::common_type<T>>::type;
  constexpr int kDigits = std::numeric_limits<U>::digits;
  constexpr double kHigh = Pow2(kDigits);
  constexpr double kLow = std::numeric_limits<U>::is_signed ? -Pow2(kDigits) : 0.0;
  // value truncates into [kLow, kHigh) exactly when it lies in (kLow - 1, kHigh); where
  // kLow - 1 is not representable no double lies strictly between it and kLow.
  constexpr bool kLowGap = kLow - 1.0 != kLow;
  const bool inRange = (kLowGap ? value > kLow - 1.0 : value >= kLow) && value < kHigh;
  if (!inRange) RaiseNumberOutOfRange(host, value, ScalarTypeName<T>(constRef));
  return static_cast<T>(static_cast<U>(value));
}

// Integers and enumerations: a number scores 1, a boolean 2.
template <typename T, bool ConstRef>
struct IntegerParam {
  static unsigned MatchTyped(CHost&, lua_State*, int, int type) {
    switch (type) {
      case LUA_TNUMBER: return 1;
      case LUA_TBOOLEAN: return 2;
      default: return CantBeConverted;
    }
  }
  static unsigned Match(CHost& host, lua_State* L, int pos, bool) { return MatchTyped(host, L, pos, lua_type(L, pos)); }
  static std::string TypeName(CHost&) { return ScalarTypeName<T>(ConstRef); }
  static T Extract(CHost& host, lua_State* L, int pos, int type) {
    if (type == LUA_TBOOLEAN) return static_cast<T>(lua_toboolean(L, pos) ? 1 : 0);
    return NumberToInteger<T>(host, lua_tonumber(L, pos), ConstRef);
  }
  // type is the Lua type of the value at pos, when the caller knows it already.
  struct Holder {
    Holder(CHost& host, lua_State* L, int pos) : Holder(host, L, pos, lua_type(L, pos)) {}
    Holder(CHost& host, lua_State* L, int pos, int type) : m_Value(Extract(host, L, pos, type)) {}
    T Get() const { return m_Value; }
    T m_Value;
  };
};

// Floating point: a number scores 1, a boolean 2.
template <typename T, bool ConstRef>
struct FloatParam {
  static unsigned MatchTyped(CHost& h, lua_State* L, int pos, int type) {
    return IntegerParam<int, false>::MatchTyped(h, L, pos, type);
  }
  static unsigned Match(CHost& h, lua_State* L, int pos, bool i) { return IntegerParam<int, false>::Match(h, L, pos, i); }
  static std::string TypeName(CHost&) { return ScalarTypeName<T>(ConstRef); }
  struct Holder {
    Holder(CHost& host, lua_State* L, int pos) : Holder(host, L, pos, lua_type(L, pos)) {}
    Holder(CHost&, lua_State* L, int pos, int type)
        : m_Value(type == LUA_TBOOLEAN ? (lua_toboolean(L, pos) ? 1 : 0) : static_cast<T>(lua_tonumber(L, pos))) {}
    T Get() const { return m_Value; }
    T m_Value;
  };
};

// bool: a boolean scores 1, a number 2 (non-zero is true).
template <bool ConstRef>
struct BoolParam {
  static unsigned MatchTyped(CHost&, lua_State*, int, int type) {
    switch (type) {
      case LUA_TBOOLEAN: return 1;
      case LUA_TNUMBER: return 2;
      default: return CantBeConverted;
    }
  }
  static unsigned Match(CHost& host, lua_State* L, int pos, bool) { return MatchTyped(host, L, pos, lua_type(L, pos)); }
  static std::string TypeName(CHost&) { return ScalarTypeName<bool>(ConstRef); }
  struct Holder {
    Holder(CHost& host, lua_State* L, int pos) : Holder(host, L, pos, lua_type(L, pos)) {}
    Holder(CHost&, lua_State* L, int pos, int type)
        : m_Value(type == LUA_TBOOLEAN ? lua_toboolean(L, pos) != 0 : lua_tonumber(L, pos) != 0) {}
    bool Get() const { return m_Value; }
    bool m_Value;
  };
};

}  // namespace impl
}  // namespace uibind

#pragma once
// Plain values installed into class tables and namespaces.
#include <memory>
#include <string>
#include <type_traits>

#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

class NumberValue : public LuaValue {
 public:
  explicit NumberValue(lua_Number v) : m_Value(v) {}
  void Push(lua_State* L) const override { lua_pushnumber(L, m_Value); }

 private:
  lua_Number m_Value;
};

class BooleanValue : public LuaValue {
 public:
  explicit BooleanValue(bool v) : m_Value(v) {}
  void Push(lua_State* L) const override { lua_pushboolean(L, m_Value ? 1 : 0); }

 private:
  bool m_Value;
};

class StringValue : public LuaValue {
 public:
  explicit StringValue(std::string v) : m_Value(std::move(v)) {}
  void Push(lua_State* L) const override { lua_pushlstring(L, m_Value.data(), m_Value.size()); }

 private:
  std::string m_Value;
};

template <typename V>
std::unique_ptr<LuaValue> MakeLuaValue(const V& v) {
  if constexpr (std::is_same_v<V, bool>) {
    return std::make_unique<BooleanValue>(v);
  } else if constexpr (std::is_arithmetic_v<V> || std::is_enum_v<V>) {
    return std::make_unique<NumberValue>(static_cast<lua_Number>(v));
  } else {
    return std::make_unique<StringValue>(std::string(v));
  }
}

}  // namespace impl
}  // namespace uibind

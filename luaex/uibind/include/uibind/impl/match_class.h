#pragma once
// Matcher for parameters of a registered class T: by value, by reference, by pointer.
#include <string>

#include <lua.hpp>

#include "uibind/impl/class_record.h"
#include "uibind/impl/types.h"
#include "uibind/impl/userdata.h"

namespace uibind {
class CHost;
namespace impl {

enum class ClassForm { Value, ConstRef, Ref, Ptr, ConstPtr };

// Non-template parts, shared by every class parameter.
struct ClassParamBase {
  // Lua name of the registered class or "unknown type", with "const " and "&"/"*".
  static std::string TypeName(CHost& host, const char* typeKey, ClassForm form);
  // The score rules for classes. nativeName names T in the panic text.
  static unsigned Match(CHost& host, lua_State* L, int pos, bool implicit, const char* typeKey, bool needNonConst,
                        const char* nativeName);
  // The object at pos converted to T, built as a temporary when the value needs it.
  // An object of a userdata is pinned through pin for as long as the call uses it.
  static void* Extract(CHost& host, lua_State* L, int pos, const char* typeKey, bool needNonConst,
                       const char* nativeName, ObjectPin* pin);
};

template <typename T, ClassForm Form>
struct ClassParam {
  static constexpr bool kNeedNonConst = Form == ClassForm::Ref || Form == ClassForm::Ptr;

  static const char* NativeName() {
    static const std::string name = NativeTypeName<T>();
    return name.c_str();
  }
  static unsigned Match(CHost& host, lua_State* L, int pos, bool implicit) {
    return Scored(host, L, pos, lua_type(L, pos), implicit);
  }
  // Argument matching of a call always allows implicit construction.
  static unsigned MatchTyped(CHost& host, lua_State* L, int pos, int type) { return Scored(host, L, pos, type, true); }
  static unsigned Scored(CHost& host, lua_State* L, int pos, int type, bool implicit) {
    // Fast path: a usable userdata of exactly this class.
    if (CustomLuaVariable* block = type == LUA_TUSERDATA ? ToCustomLuaVariable(L, pos) : nullptr) {
      if (!(kNeedNonConst && block->m_bConst) && block->m_pClass->IsType(TypeKey<T>()) && IsUsable(L, pos, *block)) {
        return 1;
      }
    }
    return ClassParamBase::Match(host, L, pos, implicit, TypeKey<T>(), kNeedNonConst, NativeName());
  }
  static std::string TypeName(CHost& host) { return ClassParamBase::TypeName(host, TypeKey<T>(), Form); }

  struct Holder {
    Holder(CHost& host, lua_State* L, int pos, int) : Holder(host, L, pos) {}
    Holder(CHost& host, lua_State* L, int pos)
        : m_pObject(static_cast<T*>(
              ClassParamBase::Extract(host, L, pos, TypeKey<T>(), kNeedNonConst, NativeName(), &m_Pin))) {}
    decltype(auto) Get() const {
      if constexpr (Form == ClassForm::Ptr) {
        return m_pObject;
      } else if constexpr (Form == ClassForm::ConstPtr) {
        return static_cast<const T*>(m_pObject);
      } else if constexpr (Form == ClassForm::Ref) {
        return static_cast<T&>(*m_pObject);
      } else {
        return static_cast<const T&>(*m_pObject);
      }
    }
    ObjectPin m_Pin;  // declared first: Extract fills it while m_pObject is initialised
    T* m_pObject;
  };
};

}  // namespace impl
}  // namespace uibind

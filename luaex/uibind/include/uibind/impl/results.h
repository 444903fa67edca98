#pragma once
// Turning native results into Lua values: scalars and text by value, classes as owned
// copies (by value) or as references (by reference or pointer).
#include <string>
#include <type_traits>

#include <lua.hpp>

#include "uibind/impl/errors.h"
#include "uibind/impl/param_traits.h"
#include "uibind/impl/userdata.h"

namespace uibind {
namespace impl {

// Classes whose values point into the object they were taken from (iterator holders):
// a result of such a class keeps that object's owner alive like a reference does, and
// raises once that owner is destroyed (AnchorKind::Dependant). Such a value points into
// that memory, never into another value of such a class.
template <typename T>
struct DependsOnOwner : std::false_type {};

GenericClass* FindResultClass(CHost& host, const char* typeKey, bool byValue, const char* nativeName);

template <typename R, typename Enable = void>
struct ResultTraits {
  static_assert(sizeof(R) == 0, "uibind: this result type cannot be bound");
};

template <typename R>
struct ResultTraits<R, std::enable_if_t<std::is_same_v<std::decay_t<R>, bool>>> {
  static void Push(CHost&, lua_State* L, bool v, int) { lua_pushboolean(L, v ? 1 : 0); }
};

template <typename R>
struct ResultTraits<R, std::enable_if_t<kIsIntegerLike<std::decay_t<R>> || std::is_floating_point_v<std::decay_t<R>>>> {
  static void Push(CHost&, lua_State* L, std::decay_t<R> v, int) { lua_pushnumber(L, static_cast<lua_Number>(v)); }
};

template <typename R>
struct ResultTraits<R, std::enable_if_t<std::is_same_v<std::decay_t<R>, std::string>>> {
  static void Push(CHost&, lua_State* L, const std::string& v, int) { lua_pushlstring(L, v.data(), v.size()); }
};

template <typename R>
struct ResultTraits<R, std::enable_if_t<std::is_same_v<std::decay_t<R>, const char*> ||
                                        std::is_same_v<std::decay_t<R>, char*>>> {
  static void Push(CHost&, lua_State* L, const char* v, int) {
    if (v == nullptr) {
      lua_pushnil(L);
    } else {
      lua_pushstring(L, v);
    }
  }
};

// A class by value: a new userdata owns a heap copy.
template <typename R>
struct ResultTraits<R, std::enable_if_t<!std::is_reference_v<R> && kIsClassLike<std::remove_cv_t<R>>>> {
  using T = std::remove_cv_t<R>;
  template <typename V>
  static void Push(CHost& host, lua_State* L, V&& v, int anchorIdx) {
    static const std::string nativeName = NativeTypeName<T>();
    GenericClass* cls = FindResultClass(host, TypeKey<T>(), true, nativeName.c_str());
    // The copy is made under the native exception guard, and owned before any Lua call.
    ObjectPtr copy = MakeObjectPtr(GuardedInvoke(host, nativeName, [&] { return new T(std::forward<V>(v)); }));
    PushOwnedObject(host, L, cls, std::move(copy));
    if (DependsOnOwner<T>::value && anchorIdx != 0) AnchorTopTo(L, anchorIdx, AnchorKind::Dependant);
  }
};

// A class by reference or pointer: a new userdata refers to it (nil for a null pointer),
// const for a reference or pointer to const, and keeps the object it came from alive.
template <typename T>
void PushClassReference(CHost& host, lua_State* L, T* p, int anchorIdx) {
  if (p == nullptr) {
    lua_pushnil(L);
    return;
  }
  using U = std::remove_cv_t<T>;
  static const std::string nativeName = NativeTypeName<U>();
  GenericClass* cls = FindResultClass(host, TypeKey<U>(), false, nativeName.c_str());
  PushReferenceObject(host, L, cls, const_cast<U*>(p), std::is_const_v<T>, anchorIdx);
}

template <typename R>
struct ResultTraits<R, std::enable_if_t<std::is_reference_v<R> && kIsClassLike<std::remove_cv_t<std::remove_reference_t<R>>>>> {
  static void Push(CHost& host, lua_State* L, R v, int anchorIdx) { PushClassReference(host, L, &v, anchorIdx); }
};

template <typename R>
struct ResultTraits<R, std::enable_if_t<std::is_pointer_v<R> && kIsClassLike<std::remove_cv_t<std::remove_pointer_t<R>>>>> {
  static void Push(CHost& host, lua_State* L, R v, int anchorIdx) { PushClassReference(host, L, v, anchorIdx); }
};

}  // namespace impl
}  // namespace uibind

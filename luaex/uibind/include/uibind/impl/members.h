#pragma once
// Data members (MemberClass) and computed properties (FreePropertyClass).
#include <cstddef>
#include <string>
#include <type_traits>

#include "uibind/host.h"
#include "uibind/impl/arguments.h"
#include "uibind/impl/methods.h"
#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

template <typename T, typename M, typename C>
class MemberClass : public GenericMember {
  using D = std::remove_cv_t<M>;
  static_assert(!std::is_function_v<M>, "uibind: use Method for member functions");

 public:
  explicit MemberClass(M C::*member) : m_Member(member) {}

  // Class members are pushed as references into the object (const with the object);
  // pointers to classes as references to the pointee (nil when null); the rest by value.
  void PerformIndexOperator(CHost& host, lua_State* L, void* object, int udIdx, bool isConst) const override {
    C& self = *static_cast<T*>(object);
    if constexpr (kIsClassLike<D>) {
      static const std::string nativeName = NativeTypeName<D>();
      GenericClass* cls = FindResultClass(host, TypeKey<D>(), false, nativeName.c_str());
      PushReferenceObject(host, L, cls, const_cast<D*>(&(self.*m_Member)), isConst || std::is_const_v<M>, udIdx);
    } else if constexpr (std::is_pointer_v<D> && kIsClassLike<std::remove_cv_t<std::remove_pointer_t<D>>>) {
      PushClassReference(host, L, self.*m_Member, 0);
    } else {
      ResultTraits<D>::Push(host, L, self.*m_Member, 0);
    }
  }

  void PerformNewIndexOperator(CHost& host, lua_State* L, void* object, int, bool, int valueIdx) const override {
    if constexpr (std::is_enum_v<D> || !std::is_copy_assignable_v<D>) {
      (void)L, (void)object, (void)valueIdx;
      host.Error("MemberClass::PerformNewIndexOperator: left value has no assign operator.\n");
    } else if constexpr (std::is_const_v<M>) {
      (void)L, (void)object, (void)valueIdx;
      host.Error("MemberClass::PerformNewIndexOperator: can't assign to a const variable.\n");
    } else {
      using P = std::conditional_t<kIsClassLike<D>, const D&, D>;
      if (ParamTraits<P>::Match(host, L, valueIdx, true) >= CantBeConverted) {
        host.Error("MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n");
      }
      TemporariesScope scope(host);
      typename ParamTraits<P>::Holder value(host, L, valueIdx);
      C& self = *static_cast<T*>(object);
      static const std::string what = "assignment";
      GuardedInvoke(host, what, [&] { self.*m_Member = value.Get(); });
    }
  }

 private:
  M C::*m_Member;
};

// How a getter or setter is called on the object: member function or free function
// taking the object first.
template <typename T, typename F, typename Enable = void>
struct AccessorTraits;
template <typename T, typename F>
struct AccessorTraits<T, F, std::enable_if_t<std::is_member_function_pointer_v<F>>> {
  using Traits = MemberFunctionTraits<F>;
  using Result = typename Traits::Result;
  static constexpr bool kConst = Traits::kConst;
  template <typename... V>
  static decltype(auto) Invoke(F f, void* object, V&&... v) {
    return (static_cast<T*>(object)->*f)(std::forward<V>(v)...);
  }
};
template <typename T, typename F>
struct AccessorTraits<T, F, std::enable_if_t<std::is_pointer_v<F> && std::is_function_v<std::remove_pointer_t<F>>>> {
  using Traits = ObjectFirstTraits<F>;
  using Result = typename Traits::Result;
  static constexpr bool kConst = kIsConstObject<typename Traits::Object>;
  template <typename... V>
  static decltype(auto) Invoke(F f, void* object, V&&... v) {
    return f(ObjectAs<typename Traits::Object, T>(object), std::forward<V>(v)...);
  }
};

// The single value parameter of a setter.
template <typename S>
struct SetterValue;
template <typename R, typename C, typename V>
struct SetterValue<R (C::*)(V)> {
  using Type = V;
};
template <typename R, typename Obj, typename V>
struct SetterValue<R (*)(Obj, V)> {
  using Type = V;
};

template <typename T, typename G, typename S>
class FreePropertyClass : public GenericMember {
  using Getter = AccessorTraits<T, G>;
  static_assert(Getter::kConst, "uibind: a property getter must accept a const object");

 public:
  FreePropertyClass(std::string name, G getter, S setter)
      : m_Name(std::move(name)), m_Getter(getter), m_Setter(setter) {}

  void PerformIndexOperator(CHost& host, lua_State* L, void* object, int udIdx, bool) const override {
    ResultTraits<typename Getter::Result>::Push(
        host, L, GuardedInvoke(host, m_Name, [&]() -> decltype(auto) { return Getter::Invoke(m_Getter, object); }),
        udIdx);
  }

  void PerformNewIndexOperator(CHost& host, lua_State* L, void* object, int, bool isConst,
                               int valueIdx) const override {
    if constexpr (std::is_same_v<S, std::nullptr_t>) {
      (void)L, (void)object, (void)isConst, (void)valueIdx;
      host.Error("FreePropertyClass::PerformNewIndexOperator: can't assign - no setter available.\n");
    } else {
      using V = typename SetterValue<S>::Type;
      if (isConst) host.Error("FreePropertyClass::PerformNewIndexOperator: can't change property at const object.\n");
      if (ParamTraits<V>::Match(host, L, valueIdx, true) >= CantBeConverted) {
        host.Error("FreePropertyClass::PerformNewIndexOperator: can't convert params to call setter.\nParameters are:\n%s",
                   DescribeArguments(L, valueIdx).c_str());
      }
      TemporariesScope scope(host);
      typename ParamTraits<V>::Holder value(host, L, valueIdx);
      GuardedInvoke(host, m_Name, [&] { AccessorTraits<T, S>::Invoke(m_Setter, object, value.Get()); });
    }
  }

 private:
  std::string m_Name;
  G m_Getter;
  S m_Setter;
};

}  // namespace impl
}  // namespace uibind

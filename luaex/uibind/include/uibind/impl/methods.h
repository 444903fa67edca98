#pragma once
// Method overloads generated from native signatures: member functions (MethodClass),
// free functions taking the object first (GlobalMethodClass) and operators (OperatorMethod).
#include <string>
#include <type_traits>

#include "uibind/impl/arguments.h"
#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

// Calls the chosen overload of a method with the arguments from 1, under its policy hooks
// and a scope for the temporaries its arguments build.
int CallChosenMethod(CHost& host, lua_State* L, const GenericMethod& method, void* object, int selfIdx,
                     const ArgumentTypes& types);

// GenericMethod::CallIfMatches for an overload of type M with the arguments Args: the
// types are read once, and a call without hooks whose arguments can build no temporary
// skips both.
template <typename Args, typename M>
bool CallIfMatchesImpl(const M& method, CHost& host, lua_State* L, void* object, int top, int selfIdx, int* count) {
  if (top != Args::kCount) return false;
  const ArgumentTypes types(L, std::integral_constant<int, Args::kCount>());
  if (Args::MatchTyped(host, L, 1, top, types) >= CantBeConverted) return false;
  if (method.m_bPlain) {
    *count = method.Invoke(host, L, object, 1, selfIdx, types);
  } else {
    *count = CallChosenMethod(host, L, method, object, selfIdx, types);
  }
  return true;
}

template <typename T, typename F>
class MethodClass : public GenericMethod {
  using Traits = MemberFunctionTraits<F>;
  static_assert(std::is_base_of_v<typename Traits::Class, T>, "uibind: method of an unrelated class");

 public:
  MethodClass(std::string name, F fn, PolicyPtr policy)
      : GenericMethod(std::move(name), Traits::kConst, std::move(policy)), m_Fn(fn) {
    m_bPlain = !m_Policy && !Traits::Args::kMayBuildTemporaries;
    m_bScoredByTypes = !Traits::Args::kMayBuildTemporaries;
  }

  unsigned Match(CHost& host, lua_State* L, int start, int count, const ArgumentTypes& types) const override {
    return Traits::Args::MatchTyped(host, L, start, count, types);
  }
  std::string Signature(CHost& host) const override {
    return m_Name + Traits::Args::Names(host) + (m_bConst ? " const" : "");
  }
  int Call(CHost& host, lua_State* L, void* object, int start, int selfIdx,
           const ArgumentTypes& types) const override {
    return Invoke(host, L, object, start, selfIdx, types);
  }
  bool CallIfMatches(CHost& host, lua_State* L, void* object, int top, int selfIdx, int* count) const override {
    return CallIfMatchesImpl<typename Traits::Args>(*this, host, L, object, top, selfIdx, count);
  }
  // Call, written out in CallIfMatches too.
  [[gnu::always_inline]] int Invoke(CHost& host, lua_State* L, void* object, int start, int selfIdx,
                                    const ArgumentTypes& types) const {
    T* self = static_cast<T*>(object);
    return CallAndPushTyped<typename Traits::Result, typename Traits::Args>(
        host, L, start, types, selfIdx, m_Name,
        [self, this](auto&&... a) -> decltype(auto) { return (self->*m_Fn)(std::forward<decltype(a)>(a)...); });
  }

 private:
  F m_Fn;
};

// The object passed as a native parameter of type Obj.
template <typename Obj, typename T>
decltype(auto) ObjectAs(void* object) {
  T* self = static_cast<T*>(object);
  if constexpr (std::is_pointer_v<Obj>) {
    return static_cast<Obj>(self);
  } else {
    return static_cast<std::remove_reference_t<Obj>&>(*self);
  }
}
template <typename Obj>
constexpr bool kIsConstObject = !std::is_pointer_v<Obj> && !std::is_reference_v<Obj>
                                    ? true
                                    : std::is_const_v<std::remove_pointer_t<std::remove_reference_t<Obj>>>;

template <typename F>
struct ObjectFirstTraits;
template <typename R, typename Obj, typename... A>
struct ObjectFirstTraits<R (*)(Obj, A...)> {
  using Result = R;
  using Object = Obj;
  using Args = ArgumentList<A...>;
};
template <typename R, typename Obj, typename... A>
struct ObjectFirstTraits<R (*)(Obj, A...) noexcept> : ObjectFirstTraits<R (*)(Obj, A...)> {};

template <typename T, typename F>
class GlobalMethodClass : public GenericMethod {
  using Traits = ObjectFirstTraits<F>;
  using Obj = typename Traits::Object;

 public:
  GlobalMethodClass(std::string name, F fn, PolicyPtr policy)
      : GenericMethod(std::move(name), kIsConstObject<Obj>, std::move(policy)), m_Fn(fn) {
    m_bPlain = !m_Policy && !Traits::Args::kMayBuildTemporaries;
    m_bScoredByTypes = !Traits::Args::kMayBuildTemporaries;
  }

  unsigned Match(CHost& host, lua_State* L, int start, int count, const ArgumentTypes& types) const override {
    return Traits::Args::MatchTyped(host, L, start, count, types);
  }
  std::string Signature(CHost& host) const override {
    return m_Name + Traits::Args::Names(host) + (m_bConst ? " const" : "");
  }
  int Call(CHost& host, lua_State* L, void* object, int start, int selfIdx,
           const ArgumentTypes& types) const override {
    return Invoke(host, L, object, start, selfIdx, types);
  }
  bool CallIfMatches(CHost& host, lua_State* L, void* object, int top, int selfIdx, int* count) const override {
    return CallIfMatchesImpl<typename Traits::Args>(*this, host, L, object, top, selfIdx, count);
  }
  // Call, written out in CallIfMatches too.
  [[gnu::always_inline]] int Invoke(CHost& host, lua_State* L, void* object, int start, int selfIdx,
                                    const ArgumentTypes& types) const {
    return CallAndPushTyped<typename Traits::Result, typename Traits::Args>(
        host, L, start, types, selfIdx, m_Name, [object, this](auto&&... a) -> decltype(auto) {
          return m_Fn(ObjectAs<Obj, T>(object), std::forward<decltype(a)>(a)...);
        });
  }

 private:
  F m_Fn;
};

// Whether an operator overload can run on a const object: its first parameter of the
// class's type decides (by value or to const: yes).
template <typename T, typename... A>
constexpr bool OperatorIsConst() {
  bool found = false;
  bool isConst = true;
  (([&] {
     using P = A;
     using U = std::remove_cv_t<std::remove_pointer_t<std::remove_reference_t<P>>>;
     if (!found && std::is_base_of_v<U, T>) {
       found = true;
       isConst = kIsConstObject<P>;
     }
   }()),
   ...);
  return isConst;
}

template <typename T, typename F>
class OperatorMethod;
template <typename T, typename R, typename... A>
class OperatorMethod<T, R (*)(A...)> : public GenericMethod {
  using Args = ArgumentList<A...>;
  using F = R (*)(A...);

 public:
  OperatorMethod(int code, F fn, PolicyPtr policy)
      : GenericMethod(OperatorMetamethodName(code), OperatorIsConst<T, A...>(), std::move(policy)), m_Fn(fn) {
    m_bPlain = !m_Policy && !Args::kMayBuildTemporaries;
    m_bScoredByTypes = !Args::kMayBuildTemporaries;
  }

  // Both Lua operands are the parameters, in the declared order.
  unsigned Match(CHost& host, lua_State* L, int start, int count, const ArgumentTypes& types) const override {
    return Args::MatchTyped(host, L, start, count, types);
  }
  std::string Signature(CHost& host) const override {
    return m_Name + Args::Names(host) + (m_bConst ? " const" : "");
  }
  int Call(CHost& host, lua_State* L, void* object, int start, int selfIdx, const ArgumentTypes& types) const override {
    return Invoke(host, L, object, start, selfIdx, types);
  }
  bool CallIfMatches(CHost& host, lua_State* L, void* object, int top, int selfIdx, int* count) const override {
    return CallIfMatchesImpl<Args>(*this, host, L, object, top, selfIdx, count);
  }
  // Call, written out in CallIfMatches too.
  [[gnu::always_inline]] int Invoke(CHost& host, lua_State* L, void*, int start, int selfIdx,
                                    const ArgumentTypes& types) const {
    return CallAndPushTyped<R, Args>(host, L, start, types, selfIdx, m_Name,
                                [this](auto&&... a) -> decltype(auto) { return m_Fn(std::forward<decltype(a)>(a)...); });
  }

 private:
  F m_Fn;
};

}  // namespace impl
}  // namespace uibind

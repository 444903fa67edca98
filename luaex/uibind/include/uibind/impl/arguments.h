#pragma once
// Matching, naming and reading a whole native parameter list, generated from its types.
#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include <lua.hpp>

#include "uibind/impl/argument_types.h"
#include "uibind/impl/errors.h"
#include "uibind/impl/param_traits.h"
#include "uibind/impl/results.h"

namespace uibind {
namespace impl {

template <typename... A>
struct ArgumentList {
  static constexpr int kCount = static_cast<int>(sizeof...(A));
  // Only class parameters can build a temporary (implicit construction).
  static constexpr bool kMayBuildTemporaries =
      (kIsClassLike<std::remove_cv_t<std::remove_pointer_t<std::remove_reference_t<A>>>> || ...);

  // Exactly kCount values from start; the product of the per-parameter scores.
  static unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) {
    if (count != kCount) return CantBeConverted;
    unsigned score = 1;
    int pos = start;
    const bool ok = ((score = CombineScores(score, ParamTraits<A>::Match(host, L, pos++, implicit)),
                      score < CantBeConverted) &&
                     ...);
    (void)host, (void)L, (void)implicit, (void)pos;
    return ok ? score : CantBeConverted;
  }

  // The same with the argument types read by the caller (implicit construction allowed).
  static unsigned MatchTyped(CHost& host, lua_State* L, int start, int count, const ArgumentTypes& types) {
    if (count != kCount) return CantBeConverted;
    unsigned score = 1;
    int pos = start;
    const bool ok = ((score = CombineScores(score, ParamTraits<A>::MatchTyped(host, L, pos, types.At(pos))), ++pos,
                      score < CantBeConverted) &&
                     ...);
    (void)host, (void)L, (void)types, (void)pos;
    return ok ? score : CantBeConverted;
  }

  // "(type, type)".
  static std::string Names(CHost& host) {
    std::string text = "(";
    bool first = true;
    ((text += first ? "" : ", ", text += ParamTraits<A>::TypeName(host), first = false), ...);
    (void)host, (void)first;
    return text + ")";
  }

  // Reads the arguments from start in order, then calls f with them under the native
  // exception guard. The readers (and any temporaries they made) live until f returns.
  template <typename F>
  static decltype(auto) Apply(CHost& host, lua_State* L, int start, const std::string& what, F&& f) {
    return ApplyImpl(host, L, start, what, f, std::index_sequence_for<A...>{});
  }
  // The same with the argument types read by the caller.
  template <typename F>
  [[gnu::always_inline]] static decltype(auto) ApplyTyped(CHost& host, lua_State* L, int start, const ArgumentTypes& types,
                                   const std::string& what, F&& f) {
    return ApplyTypedImpl(host, L, start, types, what, f, std::index_sequence_for<A...>{});
  }

 private:
  template <typename F, std::size_t... I>
  static decltype(auto) ApplyImpl(CHost& host, lua_State* L, int start, const std::string& what, F& f,
                                  std::index_sequence<I...>) {
    // Braced initialisation reads the arguments from left to right.
    std::tuple<typename ParamTraits<A>::Holder...> holders{
        typename ParamTraits<A>::Holder(host, L, start + static_cast<int>(I))...};
    (void)L, (void)start;
    return GuardedInvoke(host, what, [&]() -> decltype(auto) { return f(std::get<I>(holders).Get()...); });
  }
  template <typename F, std::size_t... I>
  [[gnu::always_inline]] static decltype(auto) ApplyTypedImpl(CHost& host, lua_State* L, int start, const ArgumentTypes& types,
                                       const std::string& what, F& f, std::index_sequence<I...>) {
    std::tuple<typename ParamTraits<A>::Holder...> holders{typename ParamTraits<A>::Holder(
        host, L, start + static_cast<int>(I), types.At(start + static_cast<int>(I)))...};
    (void)L, (void)start, (void)types;
    return GuardedInvoke(host, what, [&]() -> decltype(auto) { return f(std::get<I>(holders).Get()...); });
  }
};

// Calls through the argument list and pushes the result; returns the result count.
template <typename R, typename Args, typename F>
int CallAndPush(CHost& host, lua_State* L, int start, int anchorIdx, const std::string& what, F&& f) {
  if constexpr (std::is_void_v<R>) {
    Args::Apply(host, L, start, what, f);
    (void)anchorIdx;
    return 0;
  } else {
    ResultTraits<R>::Push(host, L, Args::Apply(host, L, start, what, f), anchorIdx);
    return 1;
  }
}

// The same with the argument types read by the caller.
// Inlined: on the path of every bound call, where a call level costs as much as its work.
template <typename R, typename Args, typename F>
[[gnu::always_inline]] inline int CallAndPushTyped(CHost& host, lua_State* L, int start, const ArgumentTypes& types, int anchorIdx,
                     const std::string& what, F&& f) {
  if constexpr (std::is_void_v<R>) {
    Args::ApplyTyped(host, L, start, types, what, f);
    (void)anchorIdx;
    return 0;
  } else {
    ResultTraits<R>::Push(host, L, Args::ApplyTyped(host, L, start, types, what, f), anchorIdx);
    return 1;
  }
}

// Signatures of native functions.
template <typename F>
struct FunctionTraits;
template <typename R, typename... A>
struct FunctionTraits<R (*)(A...)> {
  using Result = R;
  using Args = ArgumentList<A...>;
  using Params = std::tuple<A...>;
};
template <typename R, typename... A>
struct FunctionTraits<R (*)(A...) noexcept> : FunctionTraits<R (*)(A...)> {};

template <typename F>
struct MemberFunctionTraits;
#define UIBIND_MEMBER_TRAITS(qualifiers, isConst)            \
  template <typename R, typename C, typename... A>           \
  struct MemberFunctionTraits<R (C::*)(A...) qualifiers> {   \
    using Result = R;                                        \
    using Class = C;                                         \
    using Args = ArgumentList<A...>;                         \
    static constexpr bool kConst = isConst;                  \
  };
UIBIND_MEMBER_TRAITS(, false)
UIBIND_MEMBER_TRAITS(const, true)
UIBIND_MEMBER_TRAITS(noexcept, false)
UIBIND_MEMBER_TRAITS(const noexcept, true)
#undef UIBIND_MEMBER_TRAITS

}  // namespace impl
}  // namespace uibind

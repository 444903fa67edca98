#pragma once
// Free function overloads generated from native signatures.
#include <string>
#include <type_traits>

#include "uibind/impl/arguments.h"
#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

template <typename F>
class FunctionClass : public GenericFunction {
  using Traits = FunctionTraits<F>;

 public:
  FunctionClass(std::string name, F fn, PolicyPtr policy) : GenericFunction(std::move(name), std::move(policy)), m_Fn(fn) {
    m_bPlain = !m_Policy && !Traits::Args::kMayBuildTemporaries;
  }

  unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) const override {
    return Traits::Args::Match(host, L, start, count, implicit);
  }
  std::string ParameterList(CHost& host) const override { return Traits::Args::Names(host); }
  int Call(CHost& host, lua_State* L, int start) const override {
    return CallAndPush<typename Traits::Result, typename Traits::Args>(
        host, L, start, 0, m_Name, [this](auto&&... a) -> decltype(auto) { return m_Fn(std::forward<decltype(a)>(a)...); });
  }
  // The argument types are read once, for the score and for the reading.
  bool CallIfMatches(CHost& host, lua_State* L, int top, int* count) const override {
    using Args = typename Traits::Args;
    if (top != Args::kCount) return false;
    const ArgumentTypes types(L, std::integral_constant<int, Args::kCount>());
    if (Args::MatchTyped(host, L, 1, top, types) >= CantBeConverted) return false;
    *count = CallAndPushTyped<typename Traits::Result, Args>(
        host, L, 1, types, 0, m_Name, [this](auto&&... a) -> decltype(auto) { return m_Fn(std::forward<decltype(a)>(a)...); });
    return true;
  }

 private:
  F m_Fn;
};

}  // namespace impl
}  // namespace uibind

#pragma once
// Free function overloads generated from native signatures.
#include <string>

#include "uibind/impl/arguments.h"
#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

template <typename F>
class FunctionClass : public GenericFunction {
  using Traits = FunctionTraits<F>;

 public:
  FunctionClass(std::string name, F fn, PolicyPtr policy) : GenericFunction(std::move(name), std::move(policy)), m_Fn(fn) {}

  unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) const override {
    return Traits::Args::Match(host, L, start, count, implicit);
  }
  std::string ParameterList(CHost& host) const override { return Traits::Args::Names(host); }
  int Call(CHost& host, lua_State* L, int start) const override {
    return CallAndPush<typename Traits::Result, typename Traits::Args>(
        host, L, start, 0, m_Name, [this](auto&&... a) -> decltype(auto) { return m_Fn(std::forward<decltype(a)>(a)...); });
  }

 private:
  F m_Fn;
};

}  // namespace impl
}  // namespace uibind

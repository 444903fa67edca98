#pragma once
// Hooks run around a bound call (method, free function or constructor).
#include <memory>
#include <vector>

struct lua_State;

namespace uibind {

class CHost;

class GenericMethodPolicyHook {
 public:
  virtual ~GenericMethodPolicyHook() = default;
  // Runs after the overload was chosen and before its arguments are read.
  // object is null for free functions and constructors.
  virtual void Before(CHost& host, lua_State* L, void* object, int position) {
    (void)host, (void)L, (void)object, (void)position;
  }
  // Runs after the call pushed its results; returns the result count Lua receives.
  virtual int After(CHost& host, lua_State* L, void* object, int position, int resultCount) {
    (void)host, (void)L, (void)object, (void)position;
    return resultCount;
  }
};

// The list of hooks of one declaration, run in order.
using GenericMethodPolicy = std::vector<std::shared_ptr<GenericMethodPolicyHook>>;

namespace impl {
// An empty list is stored as none.
using PolicyPtr = std::shared_ptr<const GenericMethodPolicy>;
inline PolicyPtr MakePolicy(GenericMethodPolicy policy) {
  if (policy.empty()) return nullptr;
  return std::make_shared<const GenericMethodPolicy>(std::move(policy));
}
}  // namespace impl

}  // namespace uibind

#pragma once
// Objects built implicitly for one call, and the guard that destroys them when the call ends.
#include <cstddef>
#include <memory>

namespace uibind {
class CHost;
namespace impl {

class ImplicitCreatedHolder {
 public:
  virtual ~ImplicitCreatedHolder() = default;
};

template <typename T>
class ConcreteImplicitCreatedHolder : public ImplicitCreatedHolder {
 public:
  explicit ConcreteImplicitCreatedHolder(std::unique_ptr<T> object) : m_Object(std::move(object)) {}
  T* Get() const { return m_Object.get(); }

 private:
  std::unique_ptr<T> m_Object;
};

// Restores the host's temporaries depth when it goes out of scope, also while a Lua
// error or a native exception unwinds the call.
class TemporariesScope {
 public:
  explicit TemporariesScope(CHost& host);
  ~TemporariesScope();
  TemporariesScope(const TemporariesScope&) = delete;
  TemporariesScope& operator=(const TemporariesScope&) = delete;

 private:
  CHost& m_Host;
  std::size_t m_Depth;
};

}  // namespace impl
}  // namespace uibind

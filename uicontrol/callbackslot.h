#pragma once
// A host callback that is set rarely and called often, from any thread. A call takes a
// reference to the current callback with one atomic load; nothing is cached per thread,
// so a replaced callback is released as soon as no call runs it.
#include <atomic>
#include <memory>

template <class F>
class CCallbackSlot {
 public:
  CCallbackSlot() = default;
  CCallbackSlot(const CCallbackSlot&) = delete;
  CCallbackSlot& operator=(const CCallbackSlot&) = delete;

  // Replaces the callback. Calls already running finish with the one they started with,
  // which is released when the last of them returns.
  void Set(F fn) { std::atomic_store(&m_value, std::make_shared<const F>(std::move(fn))); }

  // Calls the current callback, if one is set, with the arguments. The call holds its
  // own reference, so a callback may replace itself and call again.
  template <class... Args>
  void Call(Args&&... args) const {
    const std::shared_ptr<const F> fn = std::atomic_load(&m_value);
    if (fn && *fn) (*fn)(std::forward<Args>(args)...);
  }

 private:
  std::shared_ptr<const F> m_value;
};

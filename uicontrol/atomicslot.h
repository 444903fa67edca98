#pragma once
// A value that one thread replaces while others read it. Readers get their own copy,
// so a copy that calls out (a com_ptr adding a reference) runs outside every lock.
#include <memory>

template <class T>
class CAtomicSlot {
 public:
  CAtomicSlot() : m_value(std::make_shared<const T>()) {}
  explicit CAtomicSlot(T value) : m_value(std::make_shared<const T>(std::move(value))) {}
  CAtomicSlot(const CAtomicSlot&) = delete;
  CAtomicSlot& operator=(const CAtomicSlot&) = delete;

  T Get() const { return *std::atomic_load(&m_value); }
  void Set(T value) {
    auto fresh = std::make_shared<const T>(std::move(value));
    // The old value is released here, outside the swap.
    std::shared_ptr<const T> old = std::atomic_exchange(&m_value, std::move(fresh));
  }
  // Whether the held value tests true, without copying it.
  explicit operator bool() const {
    return With([](const T& value) { return static_cast<bool>(value); });
  }
  // Calls f with the current value without copying it.
  template <class F>
  auto With(F&& f) const {
    std::shared_ptr<const T> current = std::atomic_load(&m_value);
    return f(*current);
  }

 private:
  std::shared_ptr<const T> m_value;
};

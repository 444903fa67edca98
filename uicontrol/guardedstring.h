#pragma once
// A text field that one thread writes while another copies it: each access takes the
// field's own small lock, held for the copy alone.
#include <mutex>
#include <string>

class CGuardedString {
 public:
  CGuardedString() = default;
  CGuardedString(const CGuardedString& other) : m_value(other.Get()) {}
  CGuardedString& operator=(const CGuardedString& other) {
    if (this != &other) Set(other.Get());
    return *this;
  }

  std::wstring Get() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_value;
  }
  void Set(std::wstring value) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_value.swap(value);
  }
  bool Equals(const std::wstring& value) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_value == value;
  }
  bool Empty() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_value.empty();
  }

 private:
  mutable std::mutex m_mutex;
  std::wstring m_value;
};

#pragma once
// A text field that one thread writes while another copies it. Every access holds the
// lock the field was given (one lock per record), held for the copy alone.
#include <string>

#include "platform/mutex.h"

class CGuardedString {
 public:
  explicit CGuardedString(platform::CMutex& lock) : m_lock(lock) {}
  CGuardedString(const CGuardedString&) = delete;
  // Copies the value only; each field keeps its own record's lock.
  CGuardedString& operator=(const CGuardedString& other) {
    if (this != &other) Set(other.Get());
    return *this;
  }

  std::wstring Get() const {
    platform::CMutexLock guard(m_lock);
    return m_value;
  }
  void Set(std::wstring value) {
    {
      platform::CMutexLock guard(m_lock);
      m_value.swap(value);
    }
    // The old text is freed here, outside the lock.
  }
  bool Equals(const std::wstring& value) const {
    platform::CMutexLock guard(m_lock);
    return m_value == value;
  }
  bool Empty() const {
    platform::CMutexLock guard(m_lock);
    return m_value.empty();
  }

  // For callers that already hold the lock, to read or change several fields at once.
  std::wstring& LockedValue() REQUIRES(m_lock) { return m_value; }
  platform::CMutex& Lock() const RETURN_CAPABILITY(m_lock) { return m_lock; }

 private:
  platform::CMutex& m_lock;
  std::wstring m_value GUARDED_BY(m_lock);
};

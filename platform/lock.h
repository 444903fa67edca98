#pragma once
// CLock: a re-entrant lock standing in for a critical section; CAutoLock: its scoped guard.
#include <mutex>

class CLock {
 public:
  CLock() = default;
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  void Lock() { m_mutex.lock(); }
  bool TryLock() { return m_mutex.try_lock(); }
  void Unlock() { m_mutex.unlock(); }

 private:
  std::recursive_mutex m_mutex;
};

class CAutoLock {
 public:
  explicit CAutoLock(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~CAutoLock() { m_lock.Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CLock& m_lock;
};

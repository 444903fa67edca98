#pragma once
// CLock: the lock standing in for a critical section; CAutoLock: its scoped guard.
// Not re-entrant: its holders (the tab manager's tab map, the task queues) only read or
// change their container while holding it and never call out, so no thread takes it
// twice, and a plain mutex lets the lock analysis and ThreadSanitizer see every use.
#include <mutex>

#include "platform/mutex.h"

class CAPABILITY("mutex") CLock {
 public:
  CLock() = default;
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  void Lock() ACQUIRE() { m_mutex.lock(); }
  bool TryLock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
  void Unlock() RELEASE() { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

class SCOPED_CAPABILITY CAutoLock {
 public:
  explicit CAutoLock(CLock& lock) ACQUIRE(lock) : m_lock(lock) { m_lock.Lock(); }
  ~CAutoLock() RELEASE() { m_lock.Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CLock& m_lock;
};

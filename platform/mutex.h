#pragma once
// A mutex, its scoped lock and a condition the compiler can check: members marked
// GUARDED_BY(m) may be touched only while m is held, functions marked REQUIRES(m) only
// with m held, and clang's -Wthread-safety reports every place that breaks the rule (the
// clang build of the tree turns those reports into errors). Other compilers see plain
// std::mutex code.
#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define UICONTROL_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define UICONTROL_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) UICONTROL_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY UICONTROL_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) UICONTROL_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) UICONTROL_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) UICONTROL_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) UICONTROL_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) UICONTROL_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) UICONTROL_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) UICONTROL_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(x) UICONTROL_THREAD_ATTRIBUTE(lock_returned(x))
#define ASSERT_CAPABILITY(x) UICONTROL_THREAD_ATTRIBUTE(assert_capability(x))
#define NO_THREAD_SAFETY_ANALYSIS UICONTROL_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace platform {

class CAPABILITY("mutex") CMutex {
 public:
  CMutex() = default;
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  void Lock() ACQUIRE() { m_mutex.lock(); }
  bool TryLock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
  void Unlock() RELEASE() { m_mutex.unlock(); }
  // Tells the analysis that the caller holds this mutex under another name (several
  // objects may share one mutex by reference); checks nothing at run time.
  void AssertHeld() const ASSERT_CAPABILITY(this) {}

 private:
  friend class CMutexLock;
  friend class CMutexPairLock;
  std::mutex m_mutex;
};

// Holds the mutex from construction to destruction; a condition may release it while
// waiting.
class SCOPED_CAPABILITY CMutexLock {
 public:
  explicit CMutexLock(CMutex& mutex) ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
  ~CMutexLock() RELEASE() = default;
  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

  // Lets a stretch in the middle of the scope run unlocked (tasks, callbacks, joins);
  // the destructor releases only what is held then.
  void Unlock() RELEASE() { m_lock.unlock(); }
  void Lock() ACQUIRE() { m_lock.lock(); }

 private:
  friend class CCondition;
  std::unique_lock<std::mutex> m_lock;
};

// Holds two mutexes at once, taken without deadlock whatever order others name them in.
class SCOPED_CAPABILITY CMutexPairLock {
 public:
  CMutexPairLock(CMutex& first, CMutex& second) ACQUIRE(first, second)
      : m_first(first.m_mutex, std::defer_lock), m_second(second.m_mutex, std::defer_lock) {
    std::lock(m_first, m_second);
  }
  ~CMutexPairLock() RELEASE() = default;
  CMutexPairLock(const CMutexPairLock&) = delete;
  CMutexPairLock& operator=(const CMutexPairLock&) = delete;

 private:
  std::unique_lock<std::mutex> m_first, m_second;
};

// A condition variable used with CMutexLock. Callers wait in a loop on their own test, so
// the test reads guarded members where the analysis sees the lock held:
//   while (!ready) condition.Wait(lock);
class CCondition {
 public:
  void Wait(CMutexLock& lock) { m_condition.wait(lock.m_lock); }
  // False when the deadline passed. The deadline is a copy: the wait reads it again on
  // every wake-up, and a caller's own may be gone by then.
  template <class Clock, class Duration>
  bool WaitUntil(CMutexLock& lock, std::chrono::time_point<Clock, Duration> deadline) {
    return m_condition.wait_until(lock.m_lock, deadline) == std::cv_status::no_timeout;
  }
  void NotifyOne() { m_condition.notify_one(); }
  void NotifyAll() { m_condition.notify_all(); }

 private:
  std::condition_variable m_condition;
};

}  // namespace platform

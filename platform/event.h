#pragma once
// An auto-reset event: Set releases exactly one waiter (or the next one to
// wait), after which the event is non-signalled again.
#include <atomic>
#include <chrono>

#include "platform/mutex.h"

class CAutoResetEvent {
 public:
  CAutoResetEvent() = default;
  CAutoResetEvent(const CAutoResetEvent&) = delete;
  CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

  void Set() {
    // Already signalled: the next wait returns at once anyway, nobody needs waking.
    if (m_signalled.exchange(true, std::memory_order_acq_rel)) return;
    // Passing through the lock orders this signal after a waiter's check of the flag.
    { platform::CMutexLock guard(m_mutex); }
    m_cond.NotifyOne();
  }

  void Wait() {
    platform::CMutexLock guard(m_mutex);
    while (!m_signalled.exchange(false, std::memory_order_acq_rel)) m_cond.Wait(guard);
  }

  // Returns false when the time ran out without a signal.
  bool WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::CMutexLock guard(m_mutex);
    while (!m_signalled.exchange(false, std::memory_order_acq_rel)) {
      if (!m_cond.WaitUntil(guard, deadline)) return m_signalled.exchange(false, std::memory_order_acq_rel);
    }
    return true;
  }

 private:
  // The flag is atomic; the mutex only orders a Set against a waiter's check.
  platform::CMutex m_mutex;
  platform::CCondition m_cond;
  std::atomic<bool> m_signalled{false};
};

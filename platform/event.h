#pragma once
// An auto-reset event: Set releases exactly one waiter (or the next one to
// wait), after which the event is non-signalled again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class CAutoResetEvent {
 public:
  CAutoResetEvent() = default;
  CAutoResetEvent(const CAutoResetEvent&) = delete;
  CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

  void Set() {
    // Already signalled: the next wait returns at once anyway, nobody needs waking.
    if (m_signalled.exchange(true, std::memory_order_acq_rel)) return;
    // Passing through the lock orders this signal after a waiter's check of the flag.
    { std::lock_guard<std::mutex> guard(m_mutex); }
    m_cond.notify_one();
  }

  void Wait() {
    std::unique_lock<std::mutex> guard(m_mutex);
    m_cond.wait(guard, [this] { return m_signalled.exchange(false, std::memory_order_acq_rel); });
  }

  // Returns false when the time ran out without a signal.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_mutex);
    return m_cond.wait_for(guard, timeout, [this] { return m_signalled.exchange(false, std::memory_order_acq_rel); });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::atomic<bool> m_signalled{false};
};

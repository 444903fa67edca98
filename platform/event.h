#pragma once
// An auto-reset event: Set releases exactly one waiter (or the next one to
// wait), after which the event is non-signalled again.
#include <chrono>
#include <condition_variable>
#include <mutex>

class CAutoResetEvent {
 public:
  CAutoResetEvent() = default;
  CAutoResetEvent(const CAutoResetEvent&) = delete;
  CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_signalled = true;
    }
    m_cond.notify_one();
  }

  void Wait() {
    std::unique_lock<std::mutex> guard(m_mutex);
    m_cond.wait(guard, [this] { return m_signalled; });
    m_signalled = false;
  }

  // Returns false when the time ran out without a signal.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_mutex);
    if (!m_cond.wait_for(guard, timeout, [this] { return m_signalled; })) return false;
    m_signalled = false;
    return true;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_signalled = false;
};

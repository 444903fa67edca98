#pragma once
// Waits of the benchmarks. A figure whose event never comes is no figure: instead of
// skipping ahead (and spending a time-out on every later iteration), a wait that times out
// ends the program at once with a message and a non-zero status.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/mutex.h"

namespace bench {

// How long any benchmark waits for an event before it gives up (a page load on a busy
// two-core machine takes well under a second).
inline constexpr std::chrono::seconds kEventDeadline{30};

// Prints why and ends the process (status 2); no destructor runs, so that a thread still
// waiting on the thing that did not come cannot hold the exit up.
[[noreturn]] inline void FailLoudly(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  std::fflush(stderr);
  std::_Exit(2);
}

// One expected text, offered from another thread; Wait returns once it came. Arm it with
// an empty text to accept any offer.
class CEventWaiter {
 public:
  void Arm(std::string expected) {
    platform::CMutexLock lock(m_mutex);
    m_expected = std::move(expected);
    m_done = false;
  }
  void Offer(const std::string& what) {
    platform::CMutexLock lock(m_mutex);
    if (m_done || (!m_expected.empty() && what != m_expected)) return;
    m_done = true;
    m_changed.NotifyAll();
  }
  // False when the deadline passed (for callers that report it themselves).
  bool TryWait(std::chrono::steady_clock::duration limit = kEventDeadline) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    platform::CMutexLock lock(m_mutex);
    while (!m_done) {
      if (!m_changed.WaitUntil(lock, deadline)) return m_done;
    }
    return true;
  }
  // Ends the program when `what` did not come in time.
  void Wait(const std::string& what, std::chrono::steady_clock::duration limit = kEventDeadline) {
    if (TryWait(limit)) return;
    std::string expected;
    {
      platform::CMutexLock lock(m_mutex);
      expected = m_expected;
    }
    FailLoudly(what + " did not come within " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + " s" +
               (expected.empty() ? "" : " (waited for \"" + expected + "\")"));
  }

 private:
  platform::CMutex m_mutex;
  platform::CCondition m_changed;
  std::string m_expected GUARDED_BY(m_mutex);
  bool m_done GUARDED_BY(m_mutex) = false;
};

}  // namespace bench

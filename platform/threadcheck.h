#pragma once
// Checks that code meant for one thread runs on it: the engine thread of a page engine,
// the thread that owns a Lua state, a GUI toolkit's main thread. A checker binds to the
// first thread that asks (or to the one given). UICONTROL_CHECK_THREAD(condition), given
// a checker's CalledOnValidThread() or a task loop's IsCurrent(), reports a call from any
// other thread and aborts, so the fault shows where it happens rather than as a
// race far away. The check is compiled in when UICONTROL_THREAD_CHECKS is 1 (debug and
// sanitizer builds) and costs nothing otherwise.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifndef UICONTROL_THREAD_CHECKS
#ifdef NDEBUG
#define UICONTROL_THREAD_CHECKS 0
#else
#define UICONTROL_THREAD_CHECKS 1
#endif
#endif

namespace platform {

class CThreadChecker {
 public:
  // Binds to the first thread that checks.
  CThreadChecker() = default;
  explicit CThreadChecker(std::thread::id owner) : m_owner(owner) {}

  // True on the bound thread (binding it when none is bound yet).
  bool CalledOnValidThread() const {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected{};
    if (m_owner.compare_exchange_strong(expected, self)) return true;
    return expected == self;
  }
  // Lets the next check bind again (an object handed to another thread for good).
  void Detach() { m_owner.store(std::thread::id{}); }

 private:
  mutable std::atomic<std::thread::id> m_owner{};
};

[[noreturn]] inline void ReportWrongThread(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: %s called on the wrong thread\n", file, line, what);
  std::abort();
}

}  // namespace platform

#if UICONTROL_THREAD_CHECKS
#define UICONTROL_CHECK_THREAD(onRightThread)                                        \
  do {                                                                               \
    if (!(onRightThread)) ::platform::ReportWrongThread(__func__, __FILE__, __LINE__); \
  } while (0)
#else
#define UICONTROL_CHECK_THREAD(onRightThread) \
  do {                                        \
  } while (0)
#endif

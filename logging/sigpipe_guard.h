#pragma once
// Keeps a write to a pipe whose reader has gone (standard error piped into a program
// that ended, a log file that is a FIFO) from ending the process with SIGPIPE: while
// the guard lives the signal is blocked, and one that the guarded writes raised is
// taken back before the old mask returns. The write itself then fails with EPIPE.
#include <signal.h>

namespace logging {
namespace detail {

class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t m_oldMask;
  bool m_blocked = false;
  bool m_wasPending = false;
};

}  // namespace detail
}  // namespace logging

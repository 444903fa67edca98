#include "logging/sigpipe_guard.h"

#include <pthread.h>
#include <time.h>

namespace logging {
namespace detail {
namespace {

sigset_t PipeSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool PipeSignalPending() {
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  // A signal that was pending before belongs to someone else and is left alone.
  m_wasPending = PipeSignalPending();
  sigset_t pipe = PipeSignal();
  m_blocked = pthread_sigmask(SIG_BLOCK, &pipe, &m_oldMask) == 0;
}

SigpipeGuard::~SigpipeGuard() {
  if (!m_blocked) return;
  if (!m_wasPending && PipeSignalPending()) {
    sigset_t pipe = PipeSignal();
    timespec none{0, 0};
    sigtimedwait(&pipe, nullptr, &none);
  }
  pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
}

}  // namespace detail
}  // namespace logging

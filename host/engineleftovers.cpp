#include "host/engineleftovers.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// The pid in Chromium's lock link, or 0 when there is none or it is no pid.
pid_t LockHolder(const std::string& dataFolder) {
  char target[256];
  const ssize_t n = readlink((dataFolder + "/SingletonLock").c_str(), target, sizeof target - 1);
  if (n <= 0) return 0;
  target[n] = '\0';
  const std::string text(target);
  const size_t dash = text.rfind('-');
  if (dash == std::string::npos) return 0;
  char* end = nullptr;
  const long pid = std::strtol(text.c_str() + dash + 1, &end, 10);
  return end && *end == '\0' && pid > 1 ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

bool WaitForEngineLeftovers(const std::string& dataFolder, std::chrono::milliseconds timeout) {
  const pid_t pid = LockHolder(dataFolder);
  if (pid == 0 || pid == getpid()) return true;
  // A process descriptor becomes readable when the process ends: waited for, not polled.
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return errno == ESRCH;
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
  close(fd);
  return ready > 0;
}

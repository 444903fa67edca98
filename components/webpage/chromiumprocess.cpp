#include "components/webpage/chromiumprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace webpage {
namespace {

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Moves a descriptor above the numbers the child uses (0 to 4), so that dup2 onto 3 and
// 4 always makes fresh, inheritable copies.
int MoveHigh(int fd) {
  int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return high;
}

}  // namespace

CChromiumProcess::CChromiumProcess(pid_t pid, int socket) : m_pid(pid), m_socket(socket), m_pidfd(OpenPidFd(pid)) {}

CChromiumProcess::~CChromiumProcess() {
  if (!m_exited) Terminate(std::chrono::milliseconds(2000));
  if (m_socket >= 0) ::close(m_socket);
  if (m_pidfd >= 0) ::close(m_pidfd);
}

std::unique_ptr<CChromiumProcess> CChromiumProcess::Start(const ChromiumLaunch& launch, std::string* error) {
  if (::access(launch.program.c_str(), X_OK) != 0) {
    *error = "Chromium not found at " + launch.program + " (" + std::strerror(errno) + ")";
    return nullptr;
  }
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    *error = std::string("socketpair failed: ") + std::strerror(errno);
    return nullptr;
  }
  int ours = pair[0];
  int theirs = MoveHigh(pair[1]);
  if (theirs < 0) {
    ::close(ours);
    *error = "cannot move the pipe descriptor";
    return nullptr;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const char* log = launch.logFile.empty() ? "/dev/null" : launch.logFile.c_str();
  posix_spawn_file_actions_addopen(&actions, 1, log, O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_adddup2(&actions, theirs, 3);
  posix_spawn_file_actions_adddup2(&actions, theirs, 4);
  // Nothing else of the host leaks into the browser.
  posix_spawn_file_actions_addclosefrom_np(&actions, 5);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGQUIT}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(launch.program.c_str()));
  for (const std::string& argument : launch.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, launch.program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(theirs);
  if (rc != 0) {
    ::close(ours);
    *error = "cannot start " + launch.program + ": " + std::strerror(rc);
    return nullptr;
  }
  return std::unique_ptr<CChromiumProcess>(new CChromiumProcess(pid, ours));
}

int CChromiumProcess::TakeSocket() {
  int fd = m_socket;
  m_socket = -1;
  return fd;
}

bool CChromiumProcess::WaitExit(std::chrono::milliseconds timeout) {
  if (m_exited) return true;
  int status = 0;
  if (m_pidfd < 0) {
    // Without pidfd there is no wait with a limit: only a finished process is reaped.
    if (::waitpid(m_pid, &status, WNOHANG) == 0) return false;
    m_exited = true;
    return true;
  }
  pollfd entry{m_pidfd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&entry, 1, static_cast<int>(timeout.count()));
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) return false;
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_exited = true;  // reaped here, or by someone else (ECHILD)
  return true;
}

void CChromiumProcess::Terminate(std::chrono::milliseconds grace) {
  if (m_exited) return;
  ::kill(-m_pid, SIGTERM);
  if (WaitExit(grace)) {
    ::kill(-m_pid, SIGKILL);  // helpers left in the group
    return;
  }
  ::kill(-m_pid, SIGKILL);
  int status = 0;
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_exited = true;
}

}  // namespace webpage

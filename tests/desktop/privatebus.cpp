#include "desktop/privatebus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace desktoptest {

bool PrivateBus::Available() { return std::system("command -v dbus-daemon >/dev/null") == 0; }

PrivateBus::PrivateBus() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  m_pid = fork();
  if (m_pid == 0) {
    dup2(fds[1], 3);  // --print-address writes the address there
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string address;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') address += c;
  close(fds[0]);
  m_address = address;
}

PrivateBus::~PrivateBus() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  waitpid(m_pid, nullptr, 0);
}

BusEnvironment::BusEnvironment(const std::string& address) {
  const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  m_had = old != nullptr;
  if (old) m_old = old;
  if (address.empty()) unsetenv("DBUS_SESSION_BUS_ADDRESS");
  else setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

BusEnvironment::~BusEnvironment() {
  if (m_had) setenv("DBUS_SESSION_BUS_ADDRESS", m_old.c_str(), 1);
  else unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace desktoptest

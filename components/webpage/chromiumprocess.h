#pragma once
// Starting and ending one Chromium process that speaks the DevTools protocol over its
// fds 3 and 4, both joined to one end of a socket pair whose other end we keep.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace webpage {

struct ChromiumLaunch {
  std::string program;
  std::vector<std::string> arguments;  // without the program name
  std::string logFile;                 // Chromium's standard output and error; empty: discarded
};

class CChromiumProcess {
 public:
  // Starts the program in a process group of its own. Null with *error set when the
  // program is missing or cannot be started.
  static std::unique_ptr<CChromiumProcess> Start(const ChromiumLaunch& launch, std::string* error);
  // Ends the process if it still runs (see Terminate).
  ~CChromiumProcess();
  CChromiumProcess(const CChromiumProcess&) = delete;
  CChromiumProcess& operator=(const CChromiumProcess&) = delete;

  pid_t Pid() const { return m_pid; }
  // Our end of the socket pair; the caller takes it over (it is -1 afterwards).
  int TakeSocket();

  // Waits up to `timeout` for the process to end and reaps it. True when it has ended.
  bool WaitExit(std::chrono::milliseconds timeout);
  // Asks the process group to end (SIGTERM), waits up to `grace`, then kills it.
  void Terminate(std::chrono::milliseconds grace);
  bool Exited() const { return m_exited; }

 private:
  CChromiumProcess(pid_t pid, int socket);

  pid_t m_pid;
  int m_socket;
  int m_pidfd;
  bool m_exited = false;
};

}  // namespace webpage

#pragma once
// A program run on a pseudo-terminal as a person runs it in a terminal: keys written,
// the screen's text read as it comes, every wait with a deadline.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace ptytest {

class PtySession {
 public:
  PtySession(const std::string& program, const std::vector<std::string>& args) {
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    m_pid = forkpty(&m_fd, nullptr, nullptr, &size);
    if (m_pid == 0) {
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;
  ~PtySession() {
    if (m_pid > 0 && !m_exited) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_fd >= 0) close(m_fd);
  }
  void Type(const std::string& keys) {
    ssize_t written = write(m_fd, keys.data(), keys.size());
    (void)written;
  }
  // Reads until the screen output holds `text` (after `from`), or the deadline passes.
  bool WaitFor(const std::string& text, size_t from = 0, int seconds = 90) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (m_screen.find(text, from) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(m_fd, buffer, sizeof buffer);
      if (n <= 0) return m_screen.find(text, from) != std::string::npos;
      m_screen.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  // Waits for the program to end; its exit status, or -1 when it did not exit normally.
  int Wait() {
    int status = 0;
    // Drain the terminal so that the program never blocks writing to it.
    while (true) {
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) break;
      char buffer[4096];
      if (read(m_fd, buffer, sizeof buffer) <= 0) break;
    }
    waitpid(m_pid, &status, 0);
    m_exited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  size_t Size() const { return m_screen.size(); }
  const std::string& Screen() const { return m_screen; }

 private:
  int m_fd = -1;
  pid_t m_pid = -1;
  bool m_exited = false;
  std::string m_screen;
};

}  // namespace ptytest

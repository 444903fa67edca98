#pragma once
// A program run with its input and output on pipes, as a script drives it: lines written,
// the output read as it comes, every wait with a deadline, and a kill at any moment.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2etest {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(out[1], 2);
      close(in[1]);
      close(out[0]);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    Kill();
    if (m_in >= 0) close(m_in);
    if (m_out >= 0) close(m_out);
  }
  pid_t Pid() const { return m_pid; }
  void Type(const std::string& line) {
    const std::string text = line + "\n";
    ssize_t written = write(m_in, text.data(), text.size());
    (void)written;
  }
  // Reads until the output after `from` holds `text`, or the deadline passes.
  bool WaitFor(const std::string& text, size_t from = 0, int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (m_output.find(text, from) == std::string::npos) {
      if (!ReadUntil(deadline)) return m_output.find(text, from) != std::string::npos;
    }
    return true;
  }
  // Reads what is there for `ms` milliseconds (the output of a program that goes on).
  void ReadFor(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (ReadUntil(deadline)) {
    }
  }
  // SIGKILL, and the process reaped.
  void Kill() {
    if (m_pid <= 0 || m_exited) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_exited = true;
  }
  // Closes the input and waits for the end; the exit status, or -1.
  int Wait() {
    if (m_in >= 0) close(m_in);
    m_in = -1;
    ReadFor(60000);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_exited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  size_t Size() const { return m_output.size(); }
  const std::string& Output() const { return m_output; }

 private:
  // One read; false at the deadline or the end of the output.
  bool ReadUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{m_out, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(m_out, buffer, sizeof buffer);
    if (n <= 0) return false;
    m_output.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
  bool m_exited = false;
  std::string m_output;
};

}  // namespace e2etest

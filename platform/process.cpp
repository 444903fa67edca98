#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/commandline.h"
#include "platform/text.h"

extern char** environ;

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string NativeProgram(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

// argv for `program` with `args`; the strings live in *storage.
std::vector<char*> ArgumentVector(const std::string& program, const std::vector<std::string>& args,
                                  std::vector<std::string>* storage) {
  storage->clear();
  storage->push_back(program);
  storage->insert(storage->end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : *storage) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return argv;
}

// Starts the program with no signal blocked and SIGPIPE at its default, whatever the
// calling thread has; `ownGroup` makes it the leader of a new process group.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, bool ownGroup) {
  std::vector<std::string> storage;
  std::vector<char*> argv = ArgumentVector(program, args, &storage);
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return 0;
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (ownGroup) flags |= POSIX_SPAWN_SETPGROUP;
  posix_spawnattr_setflags(&attributes, flags);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return failed == 0 ? pid : 0;
}

// Starts the program as a grandchild that init (or the nearest subreaper) adopts. True
// once it has been executed; false when a fork or the exec failed.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> storage;
  std::vector<char*> argv = ArgumentVector(program, args, &storage);
  // The exec's outcome comes back through this pipe: end of file when the exec closed
  // it, an errno when the exec failed.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    // Only async-signal-safe calls from here on: other threads may hold locks.
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      struct sigaction standard;
      std::memset(&standard, 0, sizeof standard);
      standard.sa_handler = SIG_DFL;
      sigaction(SIGPIPE, &standard, nullptr);
      execve(argv[0], argv.data(), environ);
      const int error = errno;
      ssize_t written = write(report[1], &error, sizeof error);
      (void)written;
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(report[1]);
  bool started = child > 0;
  if (started) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    started = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  if (started) {
    int error = 0;
    ssize_t n;
    do {
      n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    started = n == 0;
  }
  close(report[0]);
  return started;
}

int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

std::string ToNativePath(const std::wstring& path) { return NativeProgram(WideToUtf8(path)); }

ProcessHandle CreateProcessW(const std::wstring& commandLine) {
  const std::string line = WideToUtf8(commandLine);
  ProcessHandle handle;
  std::string program, rest;
  if (QuotedProgram(line, &program, &rest)) {
    program = NativeProgram(program);
    if (IsExecutableFile(program)) handle.pid = Spawn(program, SplitArguments(rest), true);
    return handle;
  }
  // Unquoted: "C:\Program Files\x.exe a" tries "C:\Program", then "C:\Program Files\x.exe".
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return handle;
  size_t end = start;
  while (end != std::string::npos) {
    end = line.find_first_of(" \t", end + 1);
    program = NativeProgram(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!IsExecutableFile(program)) continue;
    rest = end == std::string::npos ? std::string() : line.substr(end + 1);
    handle.pid = Spawn(program, SplitArguments(rest), true);
    break;
  }
  return handle;
}

ProcessHandle CreateProcessA(const std::string& appName, const std::string& commandLine) {
  ProcessHandle handle;
  handle.pid = Spawn(NativeProgram(appName), {commandLine}, false);
  return handle;
}

int WaitForProcess(ProcessHandle& process) {
  if (!process) return -1;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(process.pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  process.pid = 0;
  if (r < 0) return -1;
  return ExitStatus(status);
}

ProcessWait WaitForProcess(ProcessHandle& process, std::chrono::milliseconds limit, int* status) {
  if (!process) return ProcessWait::kFailed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  // A descriptor that becomes readable when the process ends: the wait needs no polling.
  const int watch = static_cast<int>(syscall(SYS_pidfd_open, process.pid, 0));
  for (;;) {
    int raw = 0;
    const pid_t r = waitpid(process.pid, &raw, WNOHANG);
    if (r < 0 && errno == EINTR) continue;
    if (r != 0) {
      if (watch >= 0) close(watch);
      process.pid = 0;
      if (r < 0) return ProcessWait::kFailed;
      *status = ExitStatus(raw);
      return ProcessWait::kExited;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    if (watch >= 0) {
      pollfd entry{watch, POLLIN, 0};
      poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 60 * 60 * 1000)));
    } else {
      // A kernel without pidfd_open (before 5.3): look again shortly.
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(50)));
    }
  }
  if (watch >= 0) close(watch);
  return ProcessWait::kTimedOut;
}

void EndProcessGroup(ProcessHandle& process) {
  if (!process) return;
  kill(-process.pid, SIGKILL);
  kill(process.pid, SIGKILL);  // also when it has left its group
  WaitForProcess(process);
}

}  // namespace platform

intptr_t ShellExecuteW(HWND, const wchar_t*, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t*, int) {
  if (!file) return 2;  // ERROR_FILE_NOT_FOUND
  const std::string program = platform::ToNativePath(file);
  if (!platform::IsExecutableFile(program)) return 2;
  const std::vector<std::string> args =
      platform::SplitArguments(parameters ? platform::WideToUtf8(parameters) : std::string());
  return platform::SpawnDetached(program, args) ? 42 : 2;
}

std::wstring ExpandEnvironmentStringsW(const std::wstring& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find(L'%', i);
    size_t close = open == std::wstring::npos ? std::wstring::npos : text.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    std::string name = platform::WideToUtf8(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : getenv(name.c_str());
    for (char** env = environ; !value && !name.empty() && env && *env; ++env) {
      const char* eq = strchr(*env, '=');
      if (eq && static_cast<size_t>(eq - *env) == name.size() &&
          strncasecmp(*env, name.c_str(), name.size()) == 0) {
        value = eq + 1;
      }
    }
    if (value) {
      out += platform::Utf8ToWide(value);
      i = close + 1;
    } else {
      out += text.substr(open, close - open);  // keep "%NAME" and resume at the closing '%'
      i = close;
    }
  }
  return out;
}

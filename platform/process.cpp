#include "platform/process.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/text.h"

extern char** environ;

namespace platform {
namespace {

std::vector<std::string> SplitBlanks(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string argv0 = program;
  argv.push_back(&argv0[0]);
  std::vector<std::string> copies(args);
  for (std::string& a : copies) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

}  // namespace

std::string ToNativePath(const std::wstring& path) {
  std::string out = WideToUtf8(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

ProcessHandle CreateProcessW(const std::wstring& commandLine) {
  const std::string line = ToNativePath(commandLine);
  ProcessHandle handle;
  size_t end = 0;
  while (end != std::string::npos) {
    end = line.find(' ', end + 1);
    std::string program = line.substr(0, end);
    if (!IsExecutableFile(program)) continue;
    std::string rest = end == std::string::npos ? std::string() : line.substr(end + 1);
    handle.pid = Spawn(program, SplitBlanks(rest));
    break;
  }
  return handle;
}

ProcessHandle CreateProcessA(const std::string& appName, const std::string& commandLine) {
  ProcessHandle handle;
  std::string program = appName;
  for (char& c : program) {
    if (c == '\\') c = '/';
  }
  handle.pid = Spawn(program, {commandLine});
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
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace platform

intptr_t ShellExecuteW(HWND, const wchar_t*, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t*, int) {
  if (!file) return 2;  // ERROR_FILE_NOT_FOUND
  std::string program = platform::ToNativePath(file);
  std::vector<std::string> args =
      platform::SplitBlanks(parameters ? platform::WideToUtf8(parameters) : std::string());
  if (!platform::IsExecutableFile(program)) return 2;
  pid_t pid = platform::Spawn(program, args);
  if (pid == 0) return 2;
  // Nobody waits for a program started this way; reap it so it leaves no zombie.
  std::thread([pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 42;
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

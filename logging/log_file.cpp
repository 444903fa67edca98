// The log file is opened lazily, kept open, and only ever appended to: one write per
// line under the file lock, with O_APPEND so that every write lands at the current end
// even when other processes have appended since.
#include "logging/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "logging/file_lock.h"
#include "logging/logging.h"
#include "logging/settings.h"
#include "logging/sigpipe_guard.h"
#include "platform/process.h"
#include "platform/system.h"

namespace logging {
namespace {

// Guarded by the file lock.
struct LogFileState {
  std::wstring name;
  int fd = -1;
  bool isPipe = false;  // writes may raise SIGPIPE
};

// Never destroyed: entries may still complete while static objects are torn down.
LogFileState& File() {
  static LogFileState* state = new LogFileState;
  return *state;
}

bool TargetIncludesFile(int target) { return target == TargetFile || target == TargetFileAndDebugger; }

int OpenForAppend(const std::wstring& name) {
  const std::string path = platform::ToNativePath(name);
  int fd;
  do {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void CloseLogFile(LogFileState& file) {
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  file.isPipe = false;
}

// Call with the file lock held.
bool OpenLogFile(LogFileState& file) {
  if (file.fd >= 0) return true;
  if (file.name.empty()) file.name = detail::DefaultLogFileName();
  if (!TargetIncludesFile(detail::Target())) return true;
  int fd = OpenForAppend(file.name);
  if (fd < 0) fd = OpenForAppend(L".\\debug.log");
  if (fd < 0) return false;
  struct stat info;
  file.fd = fd;
  file.isPipe = fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
  return true;
}

// Normally one write; the loop only finishes a write that a signal or a full pipe cut short.
void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

namespace detail {

std::wstring DefaultLogFileName() { return platform::ExecutableFolder() + L"debug.log"; }

void AppendToLogFile(const std::string& text) {
  FileLockGuard lock;
  LogFileState& file = File();
  if (!OpenLogFile(file) || file.fd < 0) return;
  if (file.isPipe) {
    SigpipeGuard guard;
    WriteAll(file.fd, text.data(), text.size());
  } else {
    WriteAll(file.fd, text.data(), text.size());
  }
}

void ResetLogFile() {
  FileLockGuard lock;
  CloseLogFile(File());
  File().name.clear();
}

}  // namespace detail

bool ConfigureLogging(const std::wstring& fileName, LogTarget target, LogLockMode lockMode, OldLogFile oldFile,
                      int /*reserved*/) {
  detail::InitFileLock(lockMode, fileName);
  detail::FileLockGuard lock;
  LogFileState& file = File();
  CloseLogFile(file);
  detail::StoreTarget(target);
  if (target == TargetNone || target == TargetDebugger) return true;  // the name is not stored
  file.name = fileName;
  if (oldFile == DeleteOldLogFile && !file.name.empty()) {
    unlink(platform::ToNativePath(file.name).c_str());  // a missing or locked file is fine
  }
  return OpenLogFile(file);
}

void ReleaseLogFile() {
  detail::FileLockGuard lock;
  CloseLogFile(File());
}

}  // namespace logging

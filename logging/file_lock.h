#pragma once
// The lock around opening and writing the log file.
#include <string>

#include "logging/logging.h"

namespace logging {
namespace detail {

// Runs at most once successfully per process: the first configuration wins.
// LockInProcess: a re-entrant lock among this process's threads. LockAcrossProcesses:
// that lock plus an exclusive flock on the shared-memory object named after the log
// file's mutex name. When the object cannot be opened the lock stays uninitialised
// (the next entry tries again) and only this process's threads exclude each other.
void InitFileLock(LogLockMode mode, const std::wstring& fileName);
void AcquireFileLock();
void ReleaseFileLock();
void ResetFileLock();

class FileLockGuard {
 public:
  FileLockGuard() { AcquireFileLock(); }
  ~FileLockGuard() { ReleaseFileLock(); }
  FileLockGuard(const FileLockGuard&) = delete;
  FileLockGuard& operator=(const FileLockGuard&) = delete;
};

}  // namespace detail
}  // namespace logging

// The cross-process lock of the log file.
//
// Writers of one log file in different processes meet on a POSIX shared-memory object
// (a small empty file under /dev/shm) whose name is derived from the file's mutex name,
// and hold an exclusive flock on it while they open or write the file. flock is released
// by the system when a process dies, so a crashed writer never leaves the lock taken.
// A flock belongs to an open file description, which all threads of a process share, so
// an in-process re-entrant mutex is always taken first; and a child made by fork without
// exec opens the object again instead of sharing its parent's description.
// The object is never removed: like a named mutex it is tiny, and removing a lock file
// that others may be about to open would split the writers over two locks.
#include "logging/file_lock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "logging/log_file.h"
#include "platform/mutex.h"
#include "platform/text.h"

namespace logging {
namespace {

struct LockState {
  platform::CMutex stateMutex;
  bool initialised GUARDED_BY(stateMutex) = false;
  LogLockMode mode GUARDED_BY(stateMutex) = LockAcrossProcesses;
  std::string objectName GUARDED_BY(stateMutex);
  int objectFd GUARDED_BY(stateMutex) = -1;  // the "mutex handle"
  pid_t objectOwner GUARDED_BY(stateMutex) = 0;

  // A re-entrant lock made of a plain mutex and its owner, rather than a recursive mutex,
  // because a fork child can release a plain mutex that its parent thread took. It is
  // taken in one call and released in another (a log entry's start and end), and again
  // by its owner in between, which the lock analysis cannot follow: the functions that
  // take and release it are left out of the analysis.
  platform::CMutex inProcess;
  std::atomic<std::thread::id> owner{};
  int depth GUARDED_BY(inProcess) = 0;
  int heldFd GUARDED_BY(inProcess) = -1;  // the descriptor flocked by the outermost holder
};

// Whether this thread's fork preparation took the in-process lock.
thread_local bool t_forkTookLock = false;

// Holding both locks across fork keeps the child from inheriting them held by a thread
// that does not exist there.
void PrepareFork();
void AfterFork();

// Never destroyed: entries may still complete while static objects are torn down.
LockState& State() {
  static LockState* state = [] {
    auto* created = new LockState;
    pthread_atfork(PrepareFork, AfterFork, AfterFork);
    return created;
  }();
  return *state;
}

void PrepareFork() NO_THREAD_SAFETY_ANALYSIS {
  LockState& state = State();
  t_forkTookLock = state.owner.load() != std::this_thread::get_id();
  if (t_forkTookLock) state.inProcess.Lock();
  state.stateMutex.Lock();
}

void AfterFork() NO_THREAD_SAFETY_ANALYSIS {
  LockState& state = State();
  state.stateMutex.Unlock();
  if (t_forkTookLock) state.inProcess.Unlock();
}

int OpenLockObject(const std::string& name) {
  // Opening without O_CREAT first works even where the object was made by another user
  // in the sticky shared folder.
  int fd = shm_open(name.c_str(), O_RDONLY, 0);
  if (fd < 0 && errno == ENOENT) fd = shm_open(name.c_str(), O_RDONLY | O_CREAT, 0666);
  return fd;
}

// The descriptor to flock for this process, opening the object anew after a fork.
int LockObjectForThisProcess(LockState& state) {
  platform::CMutexLock guard(state.stateMutex);
  if (state.mode != LockAcrossProcesses || state.objectFd < 0) return -1;
  if (state.objectOwner != getpid()) {
    close(state.objectFd);
    state.objectFd = OpenLockObject(state.objectName);
    state.objectOwner = getpid();
  }
  return state.objectFd;
}

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

std::wstring LogFileMutexName(const std::wstring& fileName) {
  std::wstring name = L"Global\\" + fileName;
  for (size_t i = 7; i < name.size(); ++i) {
    if (name[i] == L'\\') name[i] = L'/';
  }
  return name;
}

std::string LogFileLockObjectName(const std::wstring& mutexName) {
  // Percent-encoding keeps distinct names distinct and leaves no '/' in the object name.
  static const char kHex[] = "0123456789ABCDEF";
  const std::string utf8 = platform::WideToUtf8(mutexName);
  std::string name = "/uicontrol-log-";
  for (unsigned char c : utf8) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '_' || c == '-';
    if (plain) {
      name += static_cast<char>(c);
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
  }
  // Object names are single file names; long ones are replaced by a hash of the name.
  if (name.size() > 200) {
    char hashed[64];
    std::snprintf(hashed, sizeof hashed, "/uicontrol-log-%016llx",
                  static_cast<unsigned long long>(Fnv1a(utf8)));
    name = hashed;
  }
  return name;
}

namespace detail {

void InitFileLock(LogLockMode mode, const std::wstring& fileName) {
  LockState& state = State();
  platform::CMutexLock guard(state.stateMutex);
  if (state.initialised) return;
  state.mode = mode == LockAcrossProcesses ? LockAcrossProcesses : LockInProcess;
  if (state.mode == LockInProcess || state.objectFd >= 0) {
    state.initialised = true;
    return;
  }
  state.objectName = LogFileLockObjectName(LogFileMutexName(fileName.empty() ? DefaultLogFileName() : fileName));
  state.objectFd = OpenLockObject(state.objectName);
  state.objectOwner = getpid();
  state.initialised = state.objectFd >= 0;
}

void AcquireFileLock() NO_THREAD_SAFETY_ANALYSIS {
  LockState& state = State();
  const std::thread::id self = std::this_thread::get_id();
  if (state.owner.load() == self) {
    ++state.depth;
    return;
  }
  state.inProcess.Lock();
  state.owner.store(self);
  state.depth = 1;
  state.heldFd = -1;
  int fd = LockObjectForThisProcess(state);
  if (fd < 0) return;
  int result;
  do {
    result = flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  // A failed flock leaves only the in-process exclusion, as a failed wait would.
  if (result == 0) state.heldFd = fd;
}

void ReleaseFileLock() NO_THREAD_SAFETY_ANALYSIS {
  LockState& state = State();
  if (--state.depth > 0) return;
  if (state.heldFd >= 0) flock(state.heldFd, LOCK_UN);
  state.heldFd = -1;
  state.owner.store(std::thread::id());
  state.inProcess.Unlock();
}

void ResetFileLock() {
  LockState& state = State();
  platform::CMutexLock held(state.inProcess);
  platform::CMutexLock guard(state.stateMutex);
  if (state.objectFd >= 0) close(state.objectFd);
  state.objectFd = -1;
  state.objectName.clear();
  state.initialised = false;
  state.mode = LockAcrossProcesses;
}

}  // namespace detail
}  // namespace logging

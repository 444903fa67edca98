#include "platform/sharedmem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <vector>

#include "platform/text.h"
#include "platform/mutex.h"

struct FileMappingObject {
  int fd = -1;
  size_t size = 0;
};

namespace {

std::string ShmName(const std::wstring& name) {
  std::string out = "/";
  for (char c : platform::WideToUtf8(name)) {
    if (c != '\\' && c != '/') out += c;
  }
  return out;
}

// Unlinks the names this process created, as the last handle closing would on Windows.
struct CreatedNames {
  platform::CMutex mutex;
  std::set<std::string> names GUARDED_BY(mutex);
  ~CreatedNames() {
    platform::CMutexLock guard(mutex);
    for (const std::string& n : names) shm_unlink(n.c_str());
  }
};

CreatedNames& Created() {
  static CreatedNames created;
  return created;
}

}  // namespace

HMAPPING CreateFileMappingW(const std::wstring& name, DWORD size) {
  std::string shm = ShmName(name);
  bool created = true;
  int fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    created = false;
    fd = shm_open(shm.c_str(), O_RDWR, 0600);
  }
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || (static_cast<DWORD>(st.st_size) < size && ftruncate(fd, size) != 0)) {
    close(fd);
    return nullptr;
  }
  if (created) {
    platform::CMutexLock guard(Created().mutex);
    Created().names.insert(shm);
  }
  return new FileMappingObject{fd, static_cast<size_t>(std::max<off_t>(st.st_size, size))};
}

HMAPPING OpenFileMappingW(bool writable, const std::wstring& name) {
  int fd = shm_open(ShmName(name).c_str(), writable ? O_RDWR : O_RDONLY, 0);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_size <= 0) {
    close(fd);
    return nullptr;
  }
  return new FileMappingObject{fd, static_cast<size_t>(st.st_size)};
}

void* MapViewOfFile(HMAPPING mapping, bool writable) {
  if (!mapping) return nullptr;
  int prot = PROT_READ | (writable ? PROT_WRITE : 0);
  void* view = mmap(nullptr, mapping->size, prot, MAP_SHARED, mapping->fd, 0);
  return view == MAP_FAILED ? nullptr : view;
}

void UnmapViewOfFile(HMAPPING mapping, void* view) {
  if (mapping && view) munmap(view, mapping->size);
}

void CloseMappingHandle(HMAPPING mapping) {
  if (!mapping) return;
  close(mapping->fd);
  delete mapping;
}

namespace {

// The process ID a name ends with after the prefix: plain decimal as the names are made
// (no sign, no leading zero), or 0 when the rest is anything else.
pid_t ProcessIdOf(const std::string& rest) {
  if (rest.empty() || rest.size() > 10 || rest[0] == '0') return 0;
  long long value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value <= INT_MAX ? static_cast<pid_t>(value) : 0;
}

bool ProcessExists(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

int RemoveMappingsOfEndedProcesses(const std::wstring& prefix) {
  // POSIX shared memory objects are the files of /dev/shm, named without the slash.
  const std::string start = ShmName(prefix).substr(1);
  DIR* dir = opendir("/dev/shm");
  if (!dir) return 0;
  std::vector<std::string> ended;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (start.empty() || name.compare(0, start.size(), start) != 0) continue;
    const pid_t pid = ProcessIdOf(name.substr(start.size()));
    if (pid != 0 && !ProcessExists(pid)) ended.push_back(name);
  }
  closedir(dir);
  int removed = 0;
  for (const std::string& name : ended) {
    if (shm_unlink(("/" + name).c_str()) == 0) ++removed;
  }
  return removed;
}

#include "host/profilefolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool MakeFolder(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) partial += path[i];
  }
  return true;
}

namespace {

// What the holder writes into the lock file while it runs; a release empties it again.
constexpr char kHeldMark[] = "held\n";

}  // namespace

CProfileLock::~CProfileLock() {
  if (m_fd < 0) return;
  // Released as it should be: the next holder finds the file empty.
  if (m_marked && ftruncate(m_fd, 0) != 0) {
    // The next start then takes this end for an unclean one, which only offers the tabs.
  }
  close(m_fd);  // closing the last descriptor of the file releases the flock
}

bool CProfileLock::Take(const std::string& profile) {
  if (m_fd >= 0) return true;
  const int fd = open((profile + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  m_fd = fd;
  // A mark left in the file: the last holder ended without releasing the lock (killed,
  // crashed, the machine went down).
  struct stat info {};
  m_previousUnclean = fstat(fd, &info) == 0 && info.st_size > 0;
  return true;
}

void CProfileLock::MarkRunning() {
  if (m_fd < 0 || m_marked) return;
  m_marked = true;
  if (ftruncate(m_fd, 0) != 0 || pwrite(m_fd, kHeldMark, sizeof kHeldMark - 1, 0) < 0) {
    // Without the mark an unclean end of this run goes unnoticed; the lock itself holds.
  }
}

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

CProfileLock::~CProfileLock() {
  if (m_fd >= 0) close(m_fd);  // closing the last descriptor of the file releases the flock
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
  return true;
}

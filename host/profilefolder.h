#pragma once
// What every host does with its profile folder before it starts the components: create
// it, and hold its lock so that one program at a time runs on it.
#include <string>

// Creates `path` and its missing parents (mode 0700); false when one could not be made.
bool MakeFolder(const std::string& path);

// The profile's lock (an flock on <profile>/lock), held from a successful Take until the
// object goes. The descriptor is never inherited by child processes, so a page engine
// started from here does not keep the profile locked after the host ended.
class CProfileLock {
 public:
  CProfileLock() = default;
  ~CProfileLock();
  CProfileLock(const CProfileLock&) = delete;
  CProfileLock& operator=(const CProfileLock&) = delete;

  // False while another holder (another program, or another lock object) has it.
  bool Take(const std::string& profile);
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

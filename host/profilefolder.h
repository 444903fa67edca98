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
  // After Take: the holder before did not release the lock (its mark was still in the
  // lock file), so that run ended uncleanly.
  bool PreviousEndUnclean() const { return m_previousUnclean; }
  // A browser that runs on the profile marks the file until the lock goes, so that the
  // next holder can tell a clean end from a kill. A holder that only looks (whether a
  // browser runs) does not, and leaves the mark of a killed one in place.
  void MarkRunning();

 private:
  int m_fd = -1;
  bool m_previousUnclean = false;
  bool m_marked = false;
};

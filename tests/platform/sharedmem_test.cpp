// Named shared memory: clearing away the mappings of processes that have ended.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/sharedmem.h"

namespace {

// A child process that waits until the object is destroyed.
class LiveChild {
 public:
  LiveChild() {
    int fds[2];
    if (pipe(fds) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      close(fds[1]);
      char c;
      while (read(fds[0], &c, 1) > 0) {
      }
      _exit(0);
    }
    close(fds[0]);
    m_release = fds[1];
  }
  ~LiveChild() {
    if (m_release >= 0) close(m_release);
    if (m_pid > 0) waitpid(m_pid, nullptr, 0);
  }
  pid_t pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_release = -1;
};

// The ID of a process that has ended and been reaped.
pid_t EndedProcessId() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return pid;
}

bool Exists(const std::wstring& name) {
  HMAPPING mapping = OpenFileMappingW(false, name);
  CloseMappingHandle(mapping);
  return mapping != nullptr;
}

TEST(SharedMemory, OnlyMappingsOfEndedProcessesAreRemoved) {
  // A prefix of this test's own, so that nothing else on the machine is touched.
  const std::wstring prefix = L"PLATFORMTEST" + std::to_wstring(getpid()) + L"_";
  LiveChild live;
  const pid_t ended = EndedProcessId();
  ASSERT_GT(live.pid(), 0);
  ASSERT_GT(ended, 0);
  const std::wstring endedName = prefix + std::to_wstring(ended);
  const std::vector<std::wstring> kept = {
      prefix + std::to_wstring(live.pid()),
      prefix + std::to_wstring(getpid()),
      prefix + L"1",                             // init: alive, though not ours to signal
      prefix.substr(0, prefix.size() - 1),       // the name without an ID
      prefix,                                    // an empty ID
      prefix + std::to_wstring(ended) + L"x",    // not only digits
      prefix + L"0" + std::to_wstring(ended),    // not as the names are made
      prefix + L"99999999999",                   // no process ID
  };
  std::vector<HMAPPING> mappings;
  for (const std::wstring& name : kept) mappings.push_back(CreateFileMappingW(name, 16));
  mappings.push_back(CreateFileMappingW(endedName, 16));
  for (HMAPPING mapping : mappings) ASSERT_NE(mapping, nullptr);

  EXPECT_EQ(RemoveMappingsOfEndedProcesses(prefix), 1);
  EXPECT_FALSE(Exists(endedName));
  for (const std::wstring& name : kept) EXPECT_TRUE(Exists(name)) << std::string(name.begin(), name.end());
  for (HMAPPING mapping : mappings) CloseMappingHandle(mapping);
}

}  // namespace

// The statistics block, in this process and read from another one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"
#include "uicontrol/statcache.h"
#include "uicontrol/tabmanager.h"

TEST(StatCache, EntriesOneToThreeOnly) {
  CTabManager& tm = CTabManager::Instance();
  unsigned long value = 0xdeadbeef;
  EXPECT_EQ(tm.SetGlobalCache(0, &value), 0);
  EXPECT_EQ(tm.SetGlobalCache(4, &value), 0);
  EXPECT_EQ(tm.SetGlobalCache(1, &value), 1);
  EXPECT_EQ(tm.SetGlobalCache(2, nullptr), 1);

  uint32_t out = 7;
  EXPECT_EQ(tm.GetGlobalCache(1, &out), 1);
  EXPECT_EQ(out, 0xdeadbeefu);
  EXPECT_EQ(tm.GetGlobalCache(2, &out), 1);
  EXPECT_EQ(out, 0u) << "a null value stores 0";
  out = 7;
  EXPECT_EQ(tm.GetGlobalCache(0, &out), 0);
  EXPECT_EQ(tm.GetGlobalCache(4, &out), 0);
  EXPECT_EQ(out, 7u) << "an unknown type leaves the output alone";
}

TEST(StatCache, WithoutABlockEverythingFailsFromAnyThread) {
  // No process has this ID's block, and no fallback block exists here: every call looks
  // for the fallback again, from several threads at once (ThreadSanitizer checks them).
  CStatCacheReader reader(0x7ffffff0);
  std::atomic<int> found{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        uint32_t out = 0;
        found += reader.Get(1 + i % 3, &out);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, found.load());
}

namespace {

bool BlockExists(const std::wstring& name) {
  HMAPPING mapping = OpenFileMappingW(false, name);
  CloseMappingHandle(mapping);
  return mapping != nullptr;
}

}  // namespace

// A browser killed by a signal cannot remove its block; the next one to start does.
TEST(StatCache, StartingRemovesTheBlocksOfEndedProcessesOnly) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  waitpid(ended, nullptr, 0);
  int hold[2];
  ASSERT_EQ(pipe(hold), 0);
  const pid_t live = fork();
  if (live == 0) {
    close(hold[1]);
    char c;
    while (read(hold[0], &c, 1) > 0) {
    }
    _exit(0);
  }
  close(hold[0]);
  ASSERT_GT(live, 0);

  const std::wstring endedName = L"QXESTATCACHE_" + std::to_wstring(ended);
  const std::wstring liveName = L"QXESTATCACHE_" + std::to_wstring(live);
  HMAPPING endedBlock = CreateFileMappingW(endedName, kStatCacheSize);
  HMAPPING liveBlock = CreateFileMappingW(liveName, kStatCacheSize);
  ASSERT_TRUE(endedBlock && liveBlock);
  auto* liveView = static_cast<uint32_t*>(MapViewOfFile(liveBlock, true));
  ASSERT_NE(liveView, nullptr);
  liveView[0] = 42;
  {
    CStatCacheWriter writer(GetCurrentProcessId());
    unsigned long value = 5;
    EXPECT_EQ(writer.Set(1, &value), 1);
  }
  EXPECT_FALSE(BlockExists(endedName));
  EXPECT_TRUE(BlockExists(liveName));
  CStatCacheReader reader(static_cast<DWORD>(live));
  uint32_t out = 0;
  EXPECT_EQ(reader.Get(1, &out), 1);
  EXPECT_EQ(out, 42u) << "the live process's block is still the one it wrote";

  UnmapViewOfFile(liveBlock, liveView);
  CloseMappingHandle(liveBlock);
  CloseMappingHandle(endedBlock);
  close(hold[1]);
  waitpid(live, nullptr, 0);
}

#ifdef STATCACHE_READER
TEST(StatCache, AnotherProcessReadsTheBoundWindow) {
  CTabManager& tm = CTabManager::Instance();
  HWND main = platform::CreateWindowHandle();
  tm.BindMainWnd(main);
  unsigned long one = 11;
  tm.SetGlobalCache(1, &one);
  tm.SetGlobalCache(2, nullptr);

  std::string command = std::string(STATCACHE_READER) + " " + std::to_string(GetCurrentProcessId());
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[128] = {0};
  ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(std::string(line), "11 0 " + std::to_string(HandleValue(main)) + "\n");
}
#endif

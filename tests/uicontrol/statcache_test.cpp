// The statistics block, in this process and read from another one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

TEST(StatCache, WithoutABlockEverythingFails) {
  // No process has this ID's block, and no fallback block exists here.
  CStatCacheReader reader(0x7ffffff0);
  uint32_t out = 0;
  EXPECT_EQ(reader.Get(1, &out), 0);
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

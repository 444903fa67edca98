// The soak benchmark's memory figures: the process tree below a program and each
// process's memory as /proc writes it.
#include "bench/common/procmemory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(ProcessTree, HoldsChildrenAndTheirChildrenOnly) {
  // 1 -> 10 -> {11, 12}, 12 -> 13; 20 is a sibling of 10's parent; 30 <-> 31 a cycle.
  const std::map<pid_t, pid_t> parents{{10, 1}, {11, 10}, {12, 10}, {13, 12}, {20, 2},
                                       {30, 31}, {31, 30}, {1, 0}};
  EXPECT_EQ((std::vector<pid_t>{10, 11, 12, 13}), bench::Descendants(parents, 1));
  EXPECT_EQ((std::vector<pid_t>{13}), bench::Descendants(parents, 12));
  EXPECT_TRUE(bench::Descendants(parents, 13).empty());
  EXPECT_TRUE(bench::Descendants(parents, 99).empty());
  EXPECT_EQ((std::vector<pid_t>{31}), bench::Descendants(parents, 30));
}

struct TextCase {
  const char* name;
  const char* text;
  long kib;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class MemoryText : public ::testing::TestWithParam<TextCase> {};

TEST_P(MemoryText, GivesTheProportionalSizeElseTheResidentOne) {
  EXPECT_EQ(GetParam().kib, bench::MemoryKibFromText(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemoryText,
    ::testing::Values(
        TextCase{"rollup", "55d0-7ffd ---p 00000000 00:00 0  [rollup]\nRss:     20480 kB\nPss:     12345 kB\n"
                           "Pss_Anon:   100 kB\n", 12345},
        TextCase{"status", "Name:\tchromium\nVmPeak:\t  900 kB\nVmRSS:\t   4321 kB\nRssAnon:\t 1 kB\n", 4321},
        // "Pss_Anon:" and "SwapPss:" are not "Pss:".
        TextCase{"onlyPartsOfPss", "Pss_Anon:   100 kB\nSwapPss:   7 kB\nVmRSS: 55 kB\n", 55},
        TextCase{"empty", "", -1}, TextCase{"noNumber", "Pss: kB\n", -1}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(ProcessMemory, FindsAChildOfThisProcessWithItsMemory) {
  int ready[2];
  ASSERT_EQ(0, ::pipe(ready));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    ::close(ready[1]);
    (void)!::read(ready[0], &byte, 1);  // until the parent has looked
    ::_exit(0);
  }
  ::close(ready[0]);
  const auto processes = bench::DescendantMemory(::getpid());
  bool found = false;
  for (const auto& process : processes) {
    if (process.pid != child) continue;
    found = true;
    EXPECT_GT(process.kib, 0);
  }
  EXPECT_TRUE(found);
  EXPECT_GT(bench::TotalMib(processes), 0.0);
  ::close(ready[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
}

}  // namespace

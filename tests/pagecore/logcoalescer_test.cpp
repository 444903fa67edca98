// Log lines a page causes, on a clock the test moves: bursts become one counted line a
// second per kind, the newest line of a burst is never lost, kinds do not mix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/logcoalescer.h"
#include "doubles/fakepagethread.h"

namespace {

using namespace std::chrono_literals;

struct Line {
  int at;  // ms since the start
  const char* kind;
  std::string text;
};

struct Case {
  const char* name;
  std::vector<Line> lines;  // in time order
  // Each line written: "<ms> <text>".
  std::vector<std::string> expected;
};

// `count` lines of `kind` from `from` ms, one every `every` ms, numbered from 1.
std::vector<Line> Burst(const char* kind, int from, int every, int count) {
  std::vector<Line> lines;
  for (int i = 1; i <= count; ++i) lines.push_back({from + (i - 1) * every, kind, std::string(kind) + " " + std::to_string(i)});
  return lines;
}

std::vector<Line> Join(std::vector<Line> a, const std::vector<Line>& b) {
  a.insert(a.end(), b.begin(), b.end());
  std::stable_sort(a.begin(), a.end(), [](const Line& x, const Line& y) { return x.at < y.at; });
  return a;
}

std::string Counted(const std::string& text, int count) {
  return text + " (" + std::to_string(count) + " such lines within a second, the last shown)";
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class LogCoalescerTest : public ::testing::TestWithParam<Case> {};

TEST_P(LogCoalescerTest, WritesWhatTheTableSays) {
  FakePageThread thread;
  std::vector<std::string> written;
  const auto start = thread.Now();
  auto hooks = thread.Hooks();
  pagecore::CLogCoalescer lines({hooks.now, hooks.runLater, [&](webpage::LogLevel, const std::string& text) {
                                   const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(thread.Now() - start);
                                   written.push_back(std::to_string(ms.count()) + " " + text);
                                 }});
  for (const Line& line : GetParam().lines) {
    thread.Advance(std::chrono::milliseconds(line.at) -
                   std::chrono::duration_cast<std::chrono::milliseconds>(thread.Now() - start));
    lines.Write(line.kind, webpage::LogLevel::Info, line.text);
  }
  thread.Advance(10s);
  EXPECT_EQ(GetParam().expected, written);
  EXPECT_EQ(0u, thread.WaitingTasks());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogCoalescerTest,
    ::testing::Values(
        Case{"ALoneLineIsWrittenAtOnce", {{5, "dialog", "alert"}}, {"5 alert"}},
        Case{"LinesASecondApartAreEachWrittenAtOnce",
             Burst("dialog", 0, 1000, 3),
             {"0 dialog 1", "1000 dialog 2", "2000 dialog 3"}},
        Case{"ABurstIsItsFirstLineThenTheNewestWithTheCount",
             Burst("dialog", 0, 0, 231),
             {"0 dialog 1", "1000 " + Counted("dialog 231", 230)}},
        Case{"OneLineMoreWithinTheSecondIsWrittenPlain",
             Burst("popup", 0, 400, 2),
             {"0 popup 1", "1000 popup 2"}},
        Case{"AFloodWritesOneLineASecondAndItsLastLine",
             Burst("dialog", 0, 10, 350),
             {"0 dialog 1", "1000 " + Counted("dialog 100", 99), "2000 " + Counted("dialog 200", 100),
              "3000 " + Counted("dialog 300", 100), "4000 " + Counted("dialog 350", 50)}},
        Case{"KindsAreCountedApart",
             Join(Burst("dialog", 0, 0, 3), Burst("popup", 500, 0, 2)),
             {"0 dialog 1", "500 popup 1", "1000 " + Counted("dialog 3", 2), "1500 popup 2"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LogCoalescer, NothingCountedIsLost) {
  FakePageThread thread;
  std::vector<std::string> written;
  auto write = [&](webpage::LogLevel level, const std::string& text) {
    written.push_back(std::string(webpage::LogLevelName(level)) + " " + text);
  };
  auto hooks = thread.Hooks();
  {
    // Gone before its second is over: what it counted is written as it goes, at the most
    // severe level counted.
    pagecore::CLogCoalescer lines({hooks.now, hooks.runLater, write});
    lines.Write("refusal", webpage::LogLevel::Info, "a");
    lines.Write("refusal", webpage::LogLevel::Warning, "b");
    lines.Write("refusal", webpage::LogLevel::Info, "c");
  }
  thread.Advance(2s);  // its planned flush finds it gone
  EXPECT_EQ((std::vector<std::string>{"info a", "warning " + Counted("c", 2)}), written);

  // A page that was not open when the flush fell due drops it: the next line writes the
  // overdue count first.
  written.clear();
  pagecore::CLogCoalescer lines({hooks.now, [](std::chrono::milliseconds, std::function<void()>) {}, write});
  lines.Write("dialog", webpage::LogLevel::Info, "1");
  lines.Write("dialog", webpage::LogLevel::Info, "2");
  thread.Advance(1500ms);
  lines.Write("dialog", webpage::LogLevel::Info, "3");
  // The overdue line (a single one: plain) goes out; the new one starts a new second.
  EXPECT_EQ((std::vector<std::string>{"info 1", "info 2"}), written);
}

}  // namespace

// Loading a tab's entries into a new page: which loads follow each other, which events
// the host never hears, and what a recover order does with and without entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/historyreplay.h"
#include "components/pagecore/pageactions.h"
#include "doubles/fakepageactions.h"

namespace {

using pagecore::CHistoryReplay;
using pagecore::HistoryEntry;

struct ReplayCase {
  const char* name;
  int count;
  int index;
  // The loads after the first: "a/2" for a navigation, "back" for a step back.
  std::vector<std::string> steps;
};

std::vector<HistoryEntry> Entries(int count) {
  std::vector<HistoryEntry> entries;
  for (int i = 1; i <= count; ++i) entries.push_back({L"a/" + std::to_wstring(i), L""});
  return entries;
}

void PrintTo(const ReplayCase& c, std::ostream* out) { *out << c.name; }

class HistoryReplayTest : public ::testing::TestWithParam<ReplayCase> {};

// Each load's events are kept back until it ends; the last load is the host's to hear.
TEST_P(HistoryReplayTest, LoadsEveryEntryThenGoesBackToTheShownOne) {
  CHistoryReplay replay(Entries(GetParam().count), GetParam().index);
  EXPECT_EQ(L"a/1", replay.FirstAddress());
  EXPECT_EQ(!GetParam().steps.empty(), replay.NeedsSteps());
  std::vector<std::string> steps;
  for (int guard = 0; guard < 50 && !replay.Finished(); ++guard) {
    CHistoryReplay::Step next;
    EXPECT_TRUE(replay.OnEvent(L"BEFORENAVIGATE", &next));
    EXPECT_EQ(CHistoryReplay::Step::kNone, next.kind);
    EXPECT_TRUE(replay.OnEvent(L"TITLECHANGE", &next));
    // Every other load fails: a failed entry does not stop the rest.
    EXPECT_TRUE(replay.OnEvent(guard % 2 ? L"NAVIGATEERROR" : L"DOCUMENTCOMPLETE", &next));
    steps.push_back(next.kind == CHistoryReplay::Step::kBack ? "back" : std::string(next.url.begin(), next.url.end()));
  }
  EXPECT_EQ(GetParam().steps, steps);
  CHistoryReplay::Step next;
  EXPECT_FALSE(replay.OnEvent(L"DOCUMENTCOMPLETE", &next)) << "the last load is heard";
  EXPECT_EQ(CHistoryReplay::Step::kNone, next.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryReplayTest,
    ::testing::Values(ReplayCase{"one entry", 1, 0, {}},
                      ReplayCase{"shown last", 3, 2, {"a/2", "a/3"}},
                      ReplayCase{"shown in the middle", 3, 1, {"a/2", "a/3", "back"}},
                      ReplayCase{"shown first", 3, 0, {"a/2", "a/3", "back", "back"}},
                      ReplayCase{"index beyond the entries", 2, 7, {"a/2"}},
                      ReplayCase{"negative index", 2, -3, {"a/2", "back"}}),
    [](const ::testing::TestParamInfo<ReplayCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST(HistoryReplay, ARecoverOrderWithEntriesOnAnEngineWithoutReport) {
  webpage::Order order;
  std::string error;
  ASSERT_TRUE(webpage::ParseOrder(L"CMD=RECOVERWND\nuuid=kept\n", &order, &error)) << error;
  pagecore::OrderSettings settings;
  settings.lookupRecoveredHistory = [](const std::wstring& uuid, std::vector<HistoryEntry>* entries, int* index) {
    if (uuid != L"kept") return false;
    *entries = {{L"http://a/1", L""}, {L"http://a/2", L""}, {L"http://a/3", L""}};
    *index = 1;
    return true;
  };
  FakePageActions page;
  pagecore::CarryOut(order, settings, page);
  // Without the page's report, the shown entry alone.
  EXPECT_EQ(std::vector<std::wstring>{L"Navigate http://a/2"}, page.calls);

  ASSERT_TRUE(webpage::ParseOrder(L"CMD=RECOVERWND\nuuid=gone\n", &order, &error)) << error;
  page.calls.clear();
  pagecore::CarryOut(order, settings, page);
  EXPECT_EQ(std::vector<std::wstring>{L"RefuseNavigation no closed tab gone is kept"}, page.calls);
}

}  // namespace

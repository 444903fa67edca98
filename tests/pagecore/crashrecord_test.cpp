// The crash record that decides whether an order may bring a crashed page back.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "components/pagecore/crashrecord.h"

namespace {

using namespace std::chrono_literals;
using Clock = pagecore::CCrashRecord::Clock;

struct Case {
  const char* name;
  std::vector<int> crashesAgoSeconds;  // before "now"
  bool userAsked;
  int recent;
  bool refused;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CrashRecordTest : public ::testing::TestWithParam<Case> {};

TEST_P(CrashRecordTest, CountsOnlyTheWindowAndLetsTheUserAlwaysTryAgain) {
  const Case& c = GetParam();
  const Clock::time_point now = Clock::now();
  pagecore::CCrashRecord record(60s);
  for (int ago : c.crashesAgoSeconds) record.Add(now - std::chrono::seconds(ago));
  EXPECT_EQ(record.Refuses(c.userAsked, 3, now), c.refused);
  EXPECT_EQ(record.Recent(now), c.recent);
  // A successor page keeps the count.
  pagecore::CCrashRecord successor(60s);
  successor.CopyFrom(record);
  EXPECT_EQ(successor.Recent(now), c.recent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CrashRecordTest,
    ::testing::Values(Case{"NoCrash", {}, false, 0, false}, Case{"BelowTheLimit", {1, 2}, false, 2, false},
                      Case{"AtTheLimit", {1, 2, 3}, false, 3, true},
                      Case{"TheUserMayAlwaysAsk", {1, 2, 3, 4}, true, 4, false},
                      Case{"OldCrashesAgeOut", {61, 90, 120, 5}, false, 1, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CrashRecordOrderTest, ARefusedOrderIsToldAsAnUnsupportedOrderAndANavigationError) {
  pagecore::CCrashRecord record(60s);
  for (int i = 0; i < 3; ++i) record.Add();
  std::vector<std::wstring> told;
  auto emit = [&told](const wchar_t* key, const webpage::KeyValues& values) {
    told.push_back(key + (values.count(L"CMD") ? L" " + values.at(L"CMD") : L""));
  };
  webpage::Order back;
  back.kind = webpage::OrderKind::GoBack;
  back.name = L"GOBACK";
  EXPECT_TRUE(record.RefusesOrder(back, 3, "page", emit));
  EXPECT_EQ(told, (std::vector<std::wstring>{L"ORDERUNSUPPORTED GOBACK", L"NAVIGATEERROR"}));
  webpage::Order reload;
  reload.kind = webpage::OrderKind::Refresh;
  reload.name = L"REFRESH";
  EXPECT_FALSE(record.RefusesOrder(reload, 3, "page", emit));
  EXPECT_EQ(told.size(), 2u);
}

TEST(CrashRecordThreadsTest, CrashesAndQuestionsFromSeveralThreadsAreAllCounted) {
  pagecore::CCrashRecord record(60s);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&record] {
      for (int i = 0; i < 100; ++i) {
        record.Add();
        record.Refuses(false, 3);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(record.Recent(), 400);
}

}  // namespace

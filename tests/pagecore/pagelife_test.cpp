// A page's life beyond one load, as the core decides it for every engine: orders that
// wait while a page is made or brought back, what a revival does under the crash limit,
// and what kept orders become when the page cannot be made.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "components/pagecore/crashrecord.h"
#include "components/pagecore/recovery.h"
#include "components/pagecore/waitingorders.h"

namespace {

using namespace std::chrono_literals;
using webpage::Order;

Order Parse(const wchar_t* text) {
  Order order;
  std::string error;
  EXPECT_TRUE(webpage::ParseOrder(text, &order, &error)) << error;
  return order;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// ---- revival under the crash limit

struct RevivalCase {
  const char* name;
  int crashes;            // within the crash window, before the order
  const wchar_t* order;
  const wchar_t* lastUrl;  // what the page showed when it died
  // What the page does: "refused" (and what it tells), or "restore" and/or "run".
  std::vector<std::string> outcome;
};

void PrintTo(const RevivalCase& c, std::ostream* out) { *out << c.name; }

class RevivalTest : public ::testing::TestWithParam<RevivalCase> {};

TEST_P(RevivalTest, AnOrderBringsThePageBackUnlessItKeepsCrashing) {
  const RevivalCase& c = GetParam();
  pagecore::CCrashRecord crashes(60s);
  for (int i = 0; i < c.crashes; ++i) crashes.Add();
  const Order order = Parse(c.order);
  std::vector<std::string> outcome;
  auto emit = [&outcome](const wchar_t* key, const webpage::KeyValues&) { outcome.push_back(Narrow(key)); };
  if (crashes.RefusesOrder(order, 3, "page", emit)) {
    outcome.insert(outcome.begin(), "refused");
  } else {
    const pagecore::RevivalPlan plan = pagecore::PlanRevival(order, c.lastUrl);
    if (plan.restoreLastPage) outcome.push_back("restore");
    if (plan.runOrder) outcome.push_back("run");
  }
  EXPECT_EQ(outcome, c.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RevivalTest,
    ::testing::Values(
        RevivalCase{"ReloadShowsTheLastPageAgainOnly", 1, L"CMD=REFRESH", L"http://a.test/", {"restore"}},
        RevivalCase{"OtherOrdersActOnTheRestoredPage", 1, L"CMD=FIND\nTEXT=x", L"http://a.test/", {"restore", "run"}},
        RevivalCase{"NavigateGoesStraightToItsAddress", 2, L"CMD=NAVIGATE\nURL=http://b.test/", L"http://a.test/",
                    {"run"}},
        RevivalCase{"AnEmptyPageIsNotRestored", 1, L"CMD=GOBACK", L"about:blank", {"run"}},
        RevivalCase{"AnErrorPageIsNotRestored", 1, L"CMD=GOBACK", L"chrome-error://chromewebdata/", {"run"}},
        RevivalCase{"ClosingDoesNotRestore", 1, L"CMD=ClOSETAB", L"http://a.test/", {"run"}},
        RevivalCase{"AtTheLimitOnlyTheUserBringsItBack", 3, L"CMD=GOBACK", L"http://a.test/",
                    {"refused", "ORDERUNSUPPORTED", "NAVIGATEERROR"}},
        RevivalCase{"AtTheLimitReloadStillWorks", 3, L"CMD=REFRESH", L"http://a.test/", {"restore"}},
        RevivalCase{"AtTheLimitNavigateStillWorks", 5, L"CMD=NAVIGATE\nURL=http://b.test/", L"http://a.test/",
                    {"run"}}),
    [](const ::testing::TestParamInfo<RevivalCase>& info) { return std::string(info.param.name); });

// ---- orders kept while a page is not ready

TEST(WaitingOrdersTest, KeepsOnlyWhileWaitingAndHandsOverInOrder) {
  pagecore::CWaitingOrders waiting;
  EXPECT_FALSE(waiting.Keep(Parse(L"CMD=STOP"))) << "nothing is kept before the wait begins";
  EXPECT_TRUE(waiting.Begin());
  EXPECT_FALSE(waiting.Begin()) << "one wait at a time";
  for (const wchar_t* text : {L"CMD=NAVIGATE\nURL=http://a.test/", L"CMD=FIND\nTEXT=x", L"CMD=GOBACK"})
    EXPECT_TRUE(waiting.Keep(Parse(text)));
  std::vector<std::wstring> names;
  for (const Order& order : waiting.End()) names.push_back(order.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"NAVIGATE", L"FIND", L"GOBACK"}));
  EXPECT_FALSE(waiting.Waiting());
  EXPECT_FALSE(waiting.Keep(Parse(L"CMD=STOP")));
  EXPECT_TRUE(waiting.End().empty());
}

// Orders from two threads while a third ends the wait: each is either kept (and handed
// over exactly once) or refused so that its sender carries it out itself; none is lost.
TEST(WaitingOrdersTest, AnOrderIsEitherKeptOrRefusedNeverLost) {
  pagecore::CWaitingOrders waiting;
  ASSERT_TRUE(waiting.Begin());
  constexpr int kPerThread = 2000;
  std::atomic<int> refused{0};
  auto send = [&](const wchar_t* words) {
    Order order = Parse(L"CMD=FIND\nTEXT=x");
    for (int i = 0; i < kPerThread; ++i) {
      order.text = words + std::to_wstring(i);
      if (!waiting.Keep(order)) ++refused;
    }
  };
  std::thread first(send, L"a"), second(send, L"b");
  std::set<std::wstring> handed;
  int handedCount = 0;
  for (int round = 0; round < 50; ++round) {
    for (const Order& order : waiting.End()) {
      handed.insert(order.text);
      ++handedCount;
    }
    waiting.Begin();
  }
  first.join();
  second.join();
  for (const Order& order : waiting.End()) {
    handed.insert(order.text);
    ++handedCount;
  }
  EXPECT_EQ(handedCount, static_cast<int>(handed.size())) << "an order was handed over twice";
  EXPECT_EQ(handedCount + refused.load(), 2 * kPerThread);
}

struct RefusalCase {
  const char* name;
  bool navigationErrors;  // the page never existed
  std::vector<std::string> told;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class WaitingRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(WaitingRefusalTest, KeptOrdersAreToldInOrderAndClosingStillCloses) {
  std::vector<std::string> told;
  pagecore::WaitingRefusal refusal;
  refusal.reason = L"the engine did not start";
  refusal.navigationErrors = GetParam().navigationErrors;
  refusal.homePage = L"http://home.test/";
  refusal.emit = [&told](const wchar_t* key, const webpage::KeyValues& values) {
    std::string line = Narrow(key);
    for (const auto& value : values) line += " " + Narrow(value.first) + "=" + Narrow(value.second);
    told.push_back(line);
  };
  refusal.close = [&told](const Order& order) { told.push_back("close " + Narrow(order.name)); };
  pagecore::RefuseWaitingOrders({Parse(L"CMD=NAVIGATE\nURL=http://a.test/"), Parse(L"CMD=GOHOME"),
                                 Parse(L"CMD=ClOSETAB")},
                                refusal);
  EXPECT_EQ(told, GetParam().told);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaitingRefusalTest,
    ::testing::Values(
        RefusalCase{"APageThatWasNeverMadeFailsItsNavigations",
                    true,
                    {"NAVIGATEERROR ERROR=the engine did not start STATUS=0 URL=http://a.test/",
                     "ORDERUNSUPPORTED CMD=NAVIGATE REASON=the engine did not start",
                     "NAVIGATEERROR ERROR=the engine did not start STATUS=0 URL=http://home.test/",
                     "ORDERUNSUPPORTED CMD=GOHOME REASON=the engine did not start", "close ClOSETAB"}},
        RefusalCase{"APageNotBroughtBackRefusesEveryOrder",
                    false,
                    {"ORDERUNSUPPORTED CMD=NAVIGATE REASON=the engine did not start",
                     "ORDERUNSUPPORTED CMD=GOHOME REASON=the engine did not start", "close ClOSETAB"}}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// ---- a closed tab kept for recovery

struct KeepCase {
  const char* name;
  const wchar_t* shown;      // the page's address
  const wchar_t* requested;  // the address last asked for
  const wchar_t* title;
  const wchar_t* keptTitle;  // null: nothing is kept
  const wchar_t* keptUrl;
};

void PrintTo(const KeepCase& c, std::ostream* out) { *out << c.name; }

class RecoveryTest : public ::testing::TestWithParam<KeepCase> {};

TEST_P(RecoveryTest, AClosedTabIsKeptUnderItsPageOrTheAddressItWasLoading) {
  const KeepCase& c = GetParam();
  std::vector<std::wstring> kept;
  pagecore::RecoveryHook hook = [&kept](const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
    EXPECT_EQ(uuid.size(), 36u);
    EXPECT_EQ(uuid[14], L'4') << "a version 4 uuid";
    kept = {title, url};
  };
  EXPECT_EQ(pagecore::KeepForRecovery(hook, c.shown, c.requested, c.title), c.keptUrl != nullptr);
  if (c.keptUrl) EXPECT_EQ(kept, (std::vector<std::wstring>{c.keptTitle, c.keptUrl}));
  else EXPECT_TRUE(kept.empty());
  EXPECT_FALSE(pagecore::KeepForRecovery(nullptr, c.shown, c.requested, c.title)) << "no hook, nothing kept";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveryTest,
    ::testing::Values(
        KeepCase{"TheShownPage", L"http://a.test/", L"http://b.test/", L"A", L"A", L"http://a.test/"},
        KeepCase{"AnUntitledPageIsNamedByItsAddress", L"http://a.test/", L"", L"", L"http://a.test/", L"http://a.test/"},
        KeepCase{"AFirstPageStillLoading", L"", L"http://b.test/", L"", L"http://b.test/", L"http://b.test/"},
        KeepCase{"AnErrorPageKeepsWhatWasAskedFor", L"chrome-error://chromewebdata/", L"http://b.test/", L"",
                 L"http://b.test/", L"http://b.test/"},
        KeepCase{"AnEmptyTabIsNotKept", L"about:blank", L"", L"", nullptr, nullptr},
        KeepCase{"NothingAtAll", L"", L"about:blank", L"", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<KeepCase>& info) { return std::string(info.param.name); });

}  // namespace

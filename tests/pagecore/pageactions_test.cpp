// What the page core makes of each of the host's orders, on a faked engine: the same
// for both engines, decided once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/crashrecord.h"
#include "components/pagecore/pageactions.h"
#include "components/pagecore/waitingorders.h"
#include "doubles/fakepageactions.h"

namespace {

struct Case {
  const wchar_t* order;
  std::vector<std::wstring> calls;
};

void PrintTo(const Case& c, std::ostream* out) {
  const std::wstring order = c.order;
  *out << std::string(order.begin(), order.end());
}

class PageActionsTest : public ::testing::TestWithParam<Case> {};

TEST_P(PageActionsTest, EachOrderBecomesItsAction) {
  webpage::Order order;
  std::string error;
  ASSERT_TRUE(webpage::ParseOrder(GetParam().order, &order, &error)) << error;
  pagecore::OrderSettings settings;
  settings.homePage = L"home.test";
  settings.lookupRecoveredTab = [](const std::wstring& uuid, std::wstring* url) {
    if (uuid != L"kept") return false;
    *url = L"kept.test/page";
    return true;
  };
  FakePageActions page;
  pagecore::CarryOut(order, settings, page);
  EXPECT_EQ(page.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, PageActionsTest,
    ::testing::Values(
        Case{L"CMD=NAVIGATE\nURL=http://a.test/\n", {L"Navigate http://a.test/"}},
        Case{L"CMD=GOBACK\n", {L"GoBy -1 GOBACK"}}, Case{L"CMD=GOFORWORD\n", {L"GoBy 1 GOFORWORD"}},
        Case{L"CMD=STOP\n", {L"StopLoading"}}, Case{L"CMD=REFRESH\n", {L"Reload"}},
        Case{L"CMD=GOHOME\n", {L"Navigate http://home.test"}}, Case{L"CMD=SAVEHTML\n", {L"Save html"}},
        Case{L"CMD=SAVEIMGE\n", {L"Save png"}}, Case{L"CMD=PRINT\n", {L"Save pdf"}},
        Case{L"CMD=PRINTPREVIEW\n", {L"Save pdf"}}, Case{L"CMD=VIEWSOURCE\n", {L"ViewSource"}},
        Case{L"CMD=FIND\nTEXT=needle\n", {L"Find needle"}},
        Case{L"CMD=FIND\n",
             {L"event ORDERUNSUPPORTED CMD=FIND REASON=the engine has no find bar; send FIND with TEXT=<words>",
              L"event STATEXTCHANGED STATTEXT=FIND is not available: the engine has no find bar; send FIND with "
              L"TEXT=<words>"}},
        Case{L"CMD=WEBAUDIO\nSTATE=0\n", {L"SetAudio off"}},
        Case{L"CMD=RECOVERWND\nuuid=kept\n", {L"Navigate http://kept.test/page"}},
        Case{L"CMD=RECOVERWND\nuuid=gone\n", {L"RefuseNavigation no closed tab gone is kept"}},
        Case{L"CMD=ClOSETAB\n", {L"Close kept"}}, Case{L"CMD=GETTEXT\n", {L"ReadText"}},
        Case{L"CMD=GETTEXT\nPART=SOURCE\n", {L"ReadText source"}}, Case{L"CMD=STOPPAGE\n", {L"EndRenderer"}},
        // A window handle that names no window is logged, and nothing is reparented.
        Case{L"CMD=PARENTHWND\nHWND=7fff0001\n", {}}));

TEST(PageActionsHomeTest, WithoutAHomePageGoHomeIsANavigationError) {
  webpage::Order order;
  std::string error;
  ASSERT_TRUE(webpage::ParseOrder(L"CMD=GOHOME\n", &order, &error));
  FakePageActions page;
  pagecore::CarryOut(order, pagecore::OrderSettings{}, page);
  EXPECT_EQ(page.calls, (std::vector<std::wstring>{L"RefuseNavigation no home page is set"}));
}

}  // namespace

// A page brought back after its renderer died: back and forward move within the entries it
// had, and a history that does not agree with the page it showed is not used.
TEST(PageActionsRevivalTest, BackAndForwardMoveWithinTheEntriesBroughtBack) {
  struct RevivalCase {
    const wchar_t* order;
    int current;
    const wchar_t* last;
    bool taken;
    const wchar_t* navigated;
  } cases[] = {
      {L"CMD=REFRESH\n", 1, L"http://b/", false, L"Navigate http://b/"},
      {L"CMD=GOBACK\n", 1, L"http://b/", true, L"Navigate http://a/"},
      {L"CMD=GOFORWORD\n", 1, L"http://b/", true, L"Navigate http://c/"},
      {L"CMD=GOFORWORD\n", 2, L"http://c/", false, L"Navigate http://c/"},
      {L"CMD=GOBACK\n", 1, L"http://elsewhere/", false, L"Navigate http://elsewhere/"},
      {L"CMD=GOBACK\n", -1, L"http://b/", false, L"Navigate http://b/"},
  };
  for (const RevivalCase& c : cases) {
    webpage::NavigationHistory history;
    history.entries = {{L"http://a/", L"A"}, {L"http://b/", L"B"}, {L"http://c/", L"C"}};
    history.current = c.current;
    webpage::Order order;
    std::string error;
    ASSERT_TRUE(webpage::ParseOrder(c.order, &order, &error)) << error;
    FakePageActions page;
    EXPECT_EQ(c.taken, pagecore::ShowAgain(history, c.last, order, page)) << c.navigated;
    EXPECT_EQ(page.calls, std::vector<std::wstring>{c.navigated}) << c.navigated;
  }
}

// An order for a page whose renderer died: refused only beyond the crash limit (the user's
// own NAVIGATE and REFRESH never are), and when it revives the page, it waits for the last
// page to be shown again unless it goes elsewhere.
TEST(PageActionsCrashTest, OrdersForACrashedOrClosedPage) {
  auto parse = [](const wchar_t* text) {
    webpage::Order order;
    std::string error;
    EXPECT_TRUE(webpage::ParseOrder(text, &order, &error)) << error;
    return order;
  };
  pagecore::CCrashRecord crashes(std::chrono::minutes(1));
  FakePageActions page;
  EXPECT_FALSE(pagecore::MaySubmit(parse(L"CMD=REFRESH\n"), true, false, crashes, 3, page));
  crashes.Add();
  EXPECT_TRUE(pagecore::MaySubmit(parse(L"CMD=GOBACK\n"), false, true, crashes, 3, page));
  crashes.Add();
  crashes.Add();
  EXPECT_FALSE(pagecore::MaySubmit(parse(L"CMD=GOBACK\n"), false, true, crashes, 3, page));
  EXPECT_TRUE(pagecore::MaySubmit(parse(L"CMD=NAVIGATE\nURL=http://b.test/\n"), false, true, crashes, 3, page));
  EXPECT_TRUE(pagecore::MaySubmit(parse(L"CMD=ClOSETAB\n"), false, true, crashes, 3, page));
  ASSERT_FALSE(page.calls.empty());
  EXPECT_EQ(0u, page.calls.front().rfind(L"event ORDERUNSUPPORTED CMD=GOBACK", 0)) << page.calls.front();

  struct Revival {
    const wchar_t* order;
    bool runNow;
    bool reloads;
    size_t waiting;
  };
  for (const Revival& c : {Revival{L"CMD=GOBACK\n", false, true, 1}, Revival{L"CMD=REFRESH\n", false, true, 0},
                           Revival{L"CMD=NAVIGATE\nURL=http://b.test/\n", true, false, 0}}) {
    pagecore::CWaitingOrders waiting;
    int reloads = 0;
    EXPECT_EQ(c.runNow, pagecore::Revive(parse(c.order), L"http://a.test/", waiting, [&] { ++reloads; }, "page"))
        << c.order;
    EXPECT_EQ(c.reloads ? 1 : 0, reloads) << c.order;
    EXPECT_EQ(c.waiting, waiting.End().size()) << c.order;
  }
}

// The tab registry and the tab lifecycle against the page doubles.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "fixture.h"
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/window.h"

using qxdk::UTIL::com_ptr;
namespace msg = logging::msg;

namespace {

const std::vector<std::wstring> kAllKeys = {
    L"NAVIGATECOMPLETE", L"NEWINDOW",       L"DOCUMENTCOMPLETE", L"BACKFORWARDSTATECHANGE",
    L"GOFORWARDSTATECHANGE", L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"TITLECHANGE",
    L"ICONCHANGE",       L"PROCESSCRASH",   L"NAVIGATEERROR",    L"CHLIDHANDLE",
    L"SHOWEDITFAVWND",   L"SHOWADDFAVWND",  L"CLOSEWNDNOTIFTY",  L"BLOCKURLTOUCH",
    L"SHOWIEWND",        L"STATEXTCHANGED", L"POPBLOCK"};

// Waits (60 s at most) until done() holds; closing finishes on the worker threads.
bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

}  // namespace

class TabsTest : public LibraryTest {};

TEST_F(TabsTest, AddTabCreatesSubscribesAndNavigates) {
  unsigned int id = tm.AddTab(L"http://example.test/a?b=c", 7);
  ASSERT_NE(id, 0u);
  com_ptr<FakeWebPage> page = pages->LastPage();
  ASSERT_TRUE(page);
  EXPECT_EQ(page->SubscribedKeys(), kAllKeys);
  EXPECT_EQ(page->Orders(), (std::vector<std::wstring>{L"CMD=NAVIGATE\nURL=http://example.test/a?b=c\n"}));

  CLuaTabInfo info = tm.FindTabInfoForLua(id);
  EXPECT_EQ(info.uID, id);
  EXPECT_EQ(info.uParentID, 7u) << "the parent is stored as passed";
  EXPECT_EQ(info.strTitle, L"http://example.test/a?b=c");
  EXPECT_EQ(info.strURL, L"http://example.test/a?b=c");
  EXPECT_EQ(info.eTabStatusInfo, eTabStatusNew);
  EXPECT_EQ(tm.GetTabsCount(), 1);
}

TEST_F(TabsTest, AddTabFailures) {
  EXPECT_EQ(tm.AddTab(L"", 0), 0u);
  EXPECT_EQ(rec.CountLogs(logging::LOG_WARNING, msg::kEmptyURL), 1u);
  EXPECT_EQ(tm.GetTabsCount(), 0);

  pages->refuseWith = E_FAIL;
  EXPECT_EQ(tm.AddTab(L"http://refused/", 0), 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kNewPageFailed));
  EXPECT_EQ(tm.GetTabsCount(), 1) << "a refused page's record stays registered without a page";

  pages->refuseWith = S_OK;
  pages->succeedWithNull = true;
  EXPECT_EQ(tm.AddTab(L"http://null/", 0), 0u);
  EXPECT_EQ(tm.GetTabsCount(), 2);
  pages->succeedWithNull = false;

  CTabManager::SetWebPageManager(nullptr);
  EXPECT_EQ(tm.AddTab(L"http://nomanager/", 0), 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kNoPageManager));
  EXPECT_EQ(tm.GetTabsCount(), 3);
  CTabManager::SetWebPageManager(pages);

  // A link tab whose parent is unknown is refused; its record stays too.
  const unsigned int good = tm.AddTab(L"http://good/", 0);
  ASSERT_NE(good, 0u);
  EXPECT_EQ(tm.AddLinkTab(L"", good + 1000), 0u);
  EXPECT_EQ(tm.GetTabsCount(), 5);
  // The records without a page go with the others.
  tm.CloseAllTab();
  Drain();
  EXPECT_EQ(tm.GetTabsCount(), 0);
}

TEST_F(TabsTest, TextsThatWouldInjectOrderLinesAreRefused) {
  EXPECT_EQ(tm.AddTab(L"u\nCMD=ClOSETAB", 0), 0u);
  EXPECT_EQ(tm.AddTab(std::wstring(L"u\0x", 3), 0), 0u);
  EXPECT_EQ(tm.RestoreTab(L"uuid\nCMD=ClOSETAB"), 0u);
  unsigned int id = tm.AddTab(L"http://ok/", 0);
  ASSERT_NE(id, 0u);
  EXPECT_FALSE(tm.RestoreTab(id, L"x\nCMD=ClOSETAB"));
  Drain();
  EXPECT_EQ(rec.CountLogs(logging::LOG_WARNING, msg::kUnsafeText), 4u);
  EXPECT_EQ(pages->Pages().size(), 1u);
  EXPECT_EQ(pages->LastPage()->Orders().size(), 1u) << "only the navigation of the good tab";
  EXPECT_EQ(tm.GetTabsCount(), 1);
}

TEST_F(TabsTest, LinkTabGetsItsPageOnTheUIWorker) {
  unsigned int parent = tm.AddTab(L"http://parent/", 0);
  com_ptr<FakeWebPage> parentPage = pages->LastPage();
  unsigned int child;
  {
    UIQueueGate gate;
    child = tm.AddLinkTab(L"ignored", parent);
    ASSERT_NE(child, 0u);
    EXPECT_EQ(pages->Pages().size(), 1u) << "the page comes later, from the worker";
    gate.Open();
  }
  ASSERT_TRUE(pages->WaitForPages(2));
  Drain();
  com_ptr<FakeWebPage> page = pages->LastPage();
  EXPECT_EQ(page->parentPage, static_cast<IWebPage*>(parentPage.get()));
  EXPECT_EQ(page->SubscribedKeys(), kAllKeys);
  EXPECT_TRUE(page->Orders().empty()) << "no navigation follows a link page";
  CLuaTabInfo info = tm.FindTabInfoForLua(child);
  EXPECT_EQ(info.uParentID, parent);
  EXPECT_EQ(info.strURL, L"");

  EXPECT_EQ(tm.AddLinkTab(L"x", 0), 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyPageID));
  int before = tm.GetTabsCount();
  EXPECT_EQ(tm.AddLinkTab(L"x", 12345), 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kParentNotFound));
  EXPECT_EQ(tm.GetTabsCount(), before + 1) << "a refused link tab's record stays registered";
}

TEST_F(TabsTest, RestoreIntoNewTab) {
  unsigned int id;
  {
    UIQueueGate gate;
    id = tm.RestoreTab(L"6f1c-uuid");
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(pages->Pages().empty()) << "the ID comes before the page";
    gate.Open();
  }
  ASSERT_TRUE(pages->WaitForPages(1));
  com_ptr<FakeWebPage> page = pages->LastPage();
  ASSERT_TRUE(page->WaitForOrders(1));
  EXPECT_EQ(page->Orders()[0], L"CMD=RECOVERWND\nuuid=6f1c-uuid\n");
  std::vector<std::wstring> keys = kAllKeys;
  keys.erase(std::find(keys.begin(), keys.end(), L"STATEXTCHANGED"));
  EXPECT_EQ(page->SubscribedKeys(), keys);

  EXPECT_EQ(tm.RestoreTab(L""), 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyUUID));

  pages->refuseWith = E_FAIL;
  unsigned int failed = tm.RestoreTab(L"other");
  EXPECT_NE(failed, 0u);
  Drain();
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kNewPageFailed));
  EXPECT_EQ(tm.FindTabInfoForLua(failed).uID, failed);
}

TEST_F(TabsTest, RestoreIntoExistingTab) {
  unsigned int id = tm.AddTab(L"http://a/", 0);
  com_ptr<FakeWebPage> page = pages->LastPage();
  EXPECT_TRUE(tm.RestoreTab(id, L"u-1"));
  Drain();
  EXPECT_EQ(page->Orders().back(), L"CMD=RECOVERWND\nuuid=u-1\n");
  EXPECT_EQ(pages->Pages().size(), 1u);

  EXPECT_FALSE(tm.RestoreTab(0, L"u"));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyPageID));
  EXPECT_FALSE(tm.RestoreTab(id, L""));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyUUID));
  EXPECT_FALSE(tm.RestoreTab(999, L"u"));
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kTabInfoNotFound));
}

TEST_F(TabsTest, CloseTab) {
  unsigned int id = tm.AddTab(L"http://a/", 0);
  com_ptr<FakeWebPage> page = pages->LastPage();

  EXPECT_FALSE(tm.CloseTab(0));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyPageID));
  EXPECT_FALSE(tm.CloseTab(4242));
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kTabNotFound));
  EXPECT_EQ(tm.GetTabsCount(), 1);

  EXPECT_TRUE(tm.CloseTab(id));
  EXPECT_EQ(tm.GetTabsCount(), 0) << "removed at once";
  EXPECT_EQ(tm.FindTabInfoForLua(id).uID, 0u);
  ASSERT_TRUE(page->WaitForOrders(2));
  EXPECT_EQ(page->Orders()[1], L"CMD=ClOSETAB\n");
  EXPECT_FALSE(tm.CloseTab(id));
}

// The page holds the record as its sink and the record holds the page: closing must
// break that cycle, or every closed tab stays in memory with its page.
TEST_F(TabsTest, ClosingLetsTheRecordAndThePageGo) {
  const int pagesBefore = FakeWebPage::LiveCount();
  unsigned int id = tm.AddTab(L"http://a/", 0);
  com_ptr<FakeWebPage> page = pages->LastPage();
  pages->ForgetPages();
  ASSERT_FALSE(page->Sinks().empty());
  std::weak_ptr<INotifOrderStub> record = page->Sinks().front();

  EXPECT_TRUE(tm.CloseTab(id));
  EXPECT_TRUE(WaitUntil([&] { return record.expired(); })) << "the closed tab's record is still alive";
  EXPECT_TRUE(page->Closed());
  EXPECT_TRUE(page->Sinks().empty());
  EXPECT_TRUE(WaitUntil([&] { return page->RefCount() == 1; })) << "only the test should hold the page now";
  page = nullptr;
  EXPECT_EQ(FakeWebPage::LiveCount(), pagesBefore);
}

// Many tabs opened and closed, with events in flight on the pages' own threads while they
// close, leave no page and no thread behind.
TEST_F(TabsTest, OpenCloseCyclesLeaveNothingBehind) {
  auto cycle = [&](int n) {
    unsigned int id = tm.AddTab(L"http://c/" + std::to_wstring(n), 0);
    ASSERT_NE(id, 0u);
    pages->LastPage()->FireAsync(L"TITLECHANGE", L"TITLE=c\nURL=http://c/\n");
    pages->ForgetPages();
    EXPECT_TRUE(tm.CloseTab(id));
  };
  const int pagesBefore = FakeWebPage::LiveCount();
  cycle(0);  // whatever the library starts once is there before counting
  ASSERT_TRUE(WaitUntil([&] { return FakeWebPage::LiveCount() == pagesBefore; }));
  const int threadsBefore = ThreadCount();

  for (int n = 1; n <= 200; ++n) cycle(n);
  EXPECT_TRUE(WaitUntil([&] { return FakeWebPage::LiveCount() == pagesBefore; }))
      << FakeWebPage::LiveCount() - pagesBefore << " pages left";
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsBefore; }))
      << ThreadCount() - threadsBefore << " threads left";
  EXPECT_EQ(tm.GetTabsCount(), 0);
}

TEST_F(TabsTest, CloseListAndCloseAll) {
  tm.AddTab(L"http://a/", 0);
  unsigned int b = tm.AddTab(L"http://b/", 0);
  tm.AddTab(L"http://c/", 0);
  std::vector<com_ptr<FakeWebPage>> all = pages->Pages();

  tm.CloseTab(std::vector<unsigned int>{0, b});
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyTabID));
  EXPECT_EQ(tm.GetTabsCount(), 2);

  tm.CloseAllTab();
  EXPECT_EQ(tm.GetTabsCount(), 0);
  Drain();
  ASSERT_EQ(all[0]->OrderSequence().size(), 2u);
  ASSERT_EQ(all[2]->OrderSequence().size(), 2u);
  EXPECT_LT(all[0]->OrderSequence()[1], all[2]->OrderSequence()[1]) << "ascending ID order";

  tm.CloseAllTab();  // empty registry: nothing happens
  EXPECT_EQ(tm.GetTabsCount(), 0);
}

TEST_F(TabsTest, LookupsAndSnapshots) {
  CLuaTabInfo none = tm.FindTabInfoForLua(31337);
  EXPECT_EQ(none.uID, 0u);
  EXPECT_EQ(none.eTabSafeInfo, eTabSafeUnknown);
  EXPECT_EQ(none.uFontSize, 2u);
  EXPECT_EQ(none.uTickCount, 0u);
  EXPECT_TRUE(none.strTitle.empty() && none.strURL.empty() && none.strIconPath.empty() && none.strStatText.empty());
  EXPECT_FALSE(none.bForwardEnable || none.bBackwardEnable);
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kTabNotFound));

  rec.ClearLogs();
  CTabInfo zero = tm.FindTabInfo(0);
  EXPECT_EQ(zero.uID, 0u);
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyPageID));

  unsigned int id = tm.AddTab(L"http://a/", 0);
  com_ptr<FakeWebPage> page = pages->LastPage();
  ULONG refs = page->RefCount();
  {
    CTabInfo copy = tm.FindTabInfo(id);
    EXPECT_EQ(copy.uID, id);
    EXPECT_EQ(copy.strURL.Get(), L"http://a/");
    EXPECT_EQ(page->RefCount(), refs + 2) << "the copy holds its own page and notifier references";
    copy.strTitle.Set(L"changed");
  }
  EXPECT_EQ(page->RefCount(), refs);
  EXPECT_EQ(tm.FindTabInfoForLua(id).strTitle, L"http://a/") << "a copy is a plain value";

  EXPECT_TRUE(tm.SelectTab(id));
  EXPECT_TRUE(tm.SelectTab(777));
  EXPECT_EQ(tm.HideAllTab(), 1);
  EXPECT_EQ(tm.GetCurrentID(), 0u);
}

TEST_F(TabsTest, ClosedRecordIgnoresEventsOfAPageThatKeepsIt) {
  unsigned int id = tm.AddTab(L"http://a/", 0);
  com_ptr<FakeWebPage> page = pages->LastPage();
  page->Fire(L"NEWINDOW", L"");
  ASSERT_EQ(rec.TabEvents().size(), 1u);
  EXPECT_EQ(rec.TabEvents()[0].uID, id);

  tm.CloseTab(id);
  Drain();
  // The page still holds its sinks: the record is alive but silent.
  page->Fire(L"NEWINDOW", L"");
  page->Fire(L"TITLECHANGE", L"TITLE=t\nURL=u\n");
  EXPECT_EQ(rec.TabEvents().size(), 1u);
}

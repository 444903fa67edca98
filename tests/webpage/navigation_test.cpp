// Orders sent before the page is ready, title and icon, back and forward with the travel
// log. A load's whole sequence is in the contract suite (tests/pagecore).
#include <algorithm>

#include "platform/window.h"
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

// The host subscribes and sends its first orders as soon as NewPage returns, before
// Chromium has made the page (or even started): the orders run in order once it has, and
// the first document reports every event, in order.
TEST_F(WebpageChromiumTest, OrdersSentRightAfterNewPageRunInOrderWithEveryEvent) {
  m_server.Html("/first", "<html><head><title>First page</title></head><body>first</body></html>");
  for (int round = 0; round < 2; ++round) {  // Chromium starting, then running
    SCOPED_TRACE(round == 0 ? "Chromium starts" : "Chromium runs");
    auto before = std::chrono::steady_clock::now();
    PagePtr page;
    ASSERT_EQ(S_OK, Manager()->NewPage(nullptr, &page));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << "NewPage waits for nothing";
    m_pages.push_back(page);
    auto sink = SubscribeAll(page.get());
    std::string url = m_server.Url("/first");
    ASSERT_EQ(S_OK, Order(page.get(), L"CMD=MOVEWEBWINDOW\nLPARAM=" + std::to_wstring((400 << 16) | 600) + L"\nWPARAM=0\n"));
    ASSERT_EQ(S_OK, Navigate(page.get(), url));
    ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=first\n"));
    int complete = sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n");
    ASSERT_GE(complete, 0);
    Events events = sink->Events();
    ASSERT_EQ(L"CHLIDHANDLE", events[0].key);
    int before_ = First(events, L"BEFORENAVIGATE");
    int committed = First(events, L"NAVIGATECOMPLETE");
    int title = First(events, L"TITLECHANGE");
    ASSERT_GE(before_, 0);
    EXPECT_EQ(L"URL=" + W(url) + L"\n", events[before_].value) << "no event of an earlier document";
    EXPECT_LT(before_, committed);
    EXPECT_LT(committed, title);
    EXPECT_LT(title, complete);
    EXPECT_EQ(L"TITLE=First page\nURL=" + W(url) + L"\n", events[title].value);
    EXPECT_EQ(L"URL=" + W(url) + L"\n", events[committed].value);
    // FIND was sent after NAVIGATE: it runs in the new document or after it started,
    // never before the page exists.
    EXPECT_GE(sink->WaitFor(L"FINDRESULT", L"TEXT=first\n"), 0);
    EXPECT_GT(sink->WaitFor(L"FINDRESULT"), before_);
  }
}

TEST_F(WebpageChromiumTest, IconDefaultsToTheSiteIconAndTitleFollowsScript) {
  m_server.Html("/plain", "<html><body>no title<script>setTimeout(() => { document.title = 'Set later'; }, 50)</script></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/plain");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  EXPECT_GE(sink->WaitFor(L"ICONCHANGE", L"ICOURL=" + W(m_server.Url("/favicon.ico")) + L"\n"), 0);
  // Without a title the address stands for it; the script's title follows.
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=" + W(url) + L"\n"), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=Set later\nURL=" + W(url) + L"\n"), 0);
}

// The host forgets a tab's title and icon on BEFORENAVIGATE; whatever ends the load, the
// page that is shown then reports them again, unchanged or not.
TEST_F(WebpageChromiumTest, AReloadOrAStoppedLoadReportsTitleAndIconAgain) {
  m_server.Html("/news", "<html><head><title>News</title><link rel=\"icon\" href=\"/news.png\"></head><body>news</body></html>");
  m_server.Route("/slow", HttpAnswer{200, "text/html", "", true});
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/news");
  const std::wstring title = L"TITLE=News\nURL=" + W(url) + L"\n", icon = L"ICOURL=" + W(m_server.Url("/news.png")) + L"\n";
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", title), 0);
  ASSERT_GE(sink->WaitFor(L"ICONCHANGE", icon), 0);

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=REFRESH\n"));
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", title, from), 0) << "after a reload";
  EXPECT_GE(sink->WaitFor(L"ICONCHANGE", icon, from), 0) << "after a reload";

  from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/slow")));
  ASSERT_GE(sink->WaitFor(L"BEFORENAVIGATE", L"/slow", from), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=STOP\n"));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", title, from), 0) << "after a stopped load";
  EXPECT_GE(sink->WaitFor(L"ICONCHANGE", icon, from), 0) << "after a stopped load";
}

TEST_F(WebpageChromiumTest, BackAndForwardFollowTheTravelLog) {
  for (const char* name : {"a", "b", "c"}) {
    m_server.Html(std::string("/") + name, std::string("<html><head><title>Page ") + name + "</title></head><body>" + name + "</body></html>");
  }
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::wstring a = W(m_server.Url("/a")), b = W(m_server.Url("/b")), c = W(m_server.Url("/c"));
  for (const char* name : {"/a", "/b", "/c"}) ASSERT_GE(Load(page.get(), *sink, m_server.Url(name)), 0);

  EXPECT_EQ(L"0\x02" + b + L"\x01Page b\x03" L"1\x02" + a + L"\x01Page a", GetData(page.get(), L"TRAVELLOG_BACK"));
  EXPECT_EQ(L"", GetData(page.get(), L"TRAVELLOG_FORE"));
  EXPECT_GE(sink->WaitFor(L"BACKFORWARDSTATECHANGE", L"STATE=TRUE"), 0);

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOBACK\n"));
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + b + L"\n", from), 0);
  ASSERT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=TRUE", from), 0);
  EXPECT_EQ(L"0\x02" + a + L"\x01Page a", GetData(page.get(), L"TRAVELLOG_BACK"));
  EXPECT_EQ(L"0\x02" + c + L"\x01Page c", GetData(page.get(), L"TRAVELLOG_FORE"));

  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOFORWORD\n"));
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + c + L"\n", from), 0);
  ASSERT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=FALSE", from), 0);
  EXPECT_EQ(L"", GetData(page.get(), L"TRAVELLOG_FORE"));
}

}  // namespace
}  // namespace webtest

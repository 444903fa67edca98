// Windows that pages open: adopted with NewLinkPage, blocked, closed by the page.
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

TEST_F(WebpageChromiumTest, WindowsOpenedByAPageAreAdoptedWithNewLinkPage) {
  m_options.blockPopups = false;
  m_server.Html("/opener", "<html><head><title>Opener</title></head><body>"
                           "<a id=\"l\" href=\"/child\" target=\"_blank\">child</a>"
                           "<script>onload = () => document.getElementById('l').click();</script></body></html>");
  m_server.Html("/child", "<html><head><title>Child page</title></head><body>child</body></html>");
  m_server.Html("/second", "<html><head><title>Second child</title></head><body>second</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr opener = NewPage(&sink);
  ASSERT_GE(Load(opener.get(), *sink, m_server.Url("/opener")), 0);
  int announced = sink->WaitFor(L"NEWINDOW");
  ASSERT_GE(announced, 0);
  EXPECT_EQ(L"URL=" + W(m_server.Url("/child")) + L"\n", sink->Events()[announced].value);

  PagePtr child;
  ASSERT_EQ(S_OK, Manager()->NewLinkPage(nullptr, opener.get(), &child));
  ASSERT_TRUE(child);
  m_pages.push_back(child);
  auto childSink = SubscribeAll(child.get());
  EXPECT_GE(childSink->WaitFor(L"CHLIDHANDLE"), 0);
  EXPECT_GE(childSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/child")) + L"\n"), 0);
  EXPECT_GE(childSink->WaitFor(L"TITLECHANGE", L"TITLE=Child page\n"), 0);
  EXPECT_GE(childSink->WaitFor(L"ICONCHANGE", L"ICOURL=" + W(m_server.Url("/favicon.ico")) + L"\n"), 0);

  // The adopted page is a page like any other.
  ASSERT_GE(Load(child.get(), *childSink, m_server.Url("/second")), 0);
  EXPECT_GE(childSink->WaitFor(L"TITLECHANGE", L"TITLE=Second child\n"), 0);

  // window.open announces its window the same way.
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(opener.get(), L"CMD=NAVIGATE\nURL=javascript:void(window.open('/second'))\n"));
  ASSERT_GE(sink->WaitFor(L"NEWINDOW", L"", from), 0);
  PagePtr second;
  ASSERT_EQ(S_OK, Manager()->NewLinkPage(nullptr, opener.get(), &second));
  m_pages.push_back(second);
  auto secondSink = SubscribeAll(second.get());
  EXPECT_GE(secondSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/second")) + L"\n"), 0);
}

TEST_F(WebpageChromiumTest, NewLinkPageWithoutAWaitingWindowFails) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  PagePtr child;
  EXPECT_EQ(E_FAIL, Manager()->NewLinkPage(nullptr, page.get(), &child));
  EXPECT_FALSE(child);
  EXPECT_TRUE(log.Contains("no window waiting"));
  EXPECT_EQ(E_INVALIDARG, Manager()->NewLinkPage(nullptr, nullptr, &child));
  EXPECT_EQ(E_POINTER, Manager()->NewLinkPage(nullptr, page.get(), nullptr));
  EXPECT_EQ(E_NOTIMPL, Manager()->Reserved(nullptr));
}

TEST_F(WebpageChromiumTest, BlockedWindowIsReported) {
  m_server.Html("/pop", "<html><body><script>window.open('/elsewhere');</script></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/pop")));
  EXPECT_GE(sink->WaitFor(L"POPBLOCK", L"URL=" + W(m_server.Url("/elsewhere")) + L"\n"), 0);
  EXPECT_EQ(-1, sink->WaitFor(L"NEWINDOW", L"", 0, std::chrono::seconds(0)));
}

TEST_F(WebpageChromiumTest, WindowCloseByThePageIsReportedAndClosedPagesDropOrders) {
  m_server.Html("/closing", "<html><head><title>Closing</title></head><body>"
                            "<script>setTimeout(() => window.close(), 10);</script></body></html>");
  CSignal kept;
  std::wstring keptTitle, keptUrl;
  m_options.onTabClosedForRecovery = [&](const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
    EXPECT_EQ(36u, uuid.size());
    keptTitle = title;
    keptUrl = url;
    kept.Set();
  };
  // The browser's own pages may close their tab; other pages only windows a script opened
  // (security_test.cpp).
  m_options.trustedOrigins = {m_server.Url("/")};
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/closing");
  ASSERT_EQ(S_OK, Navigate(page.get(), url));
  ASSERT_GE(sink->WaitFor(L"CLOSEWNDNOTIFTY", L"URL=" + W(url) + L"\n"), 0) << testing::PrintToString(log.Entries());

  // The host decides: it closes the tab, which is kept for recovery, and later orders
  // are dropped with a log entry.
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=ClOSETAB\n"));
  ASSERT_TRUE(kept.Wait());
  EXPECT_EQ(L"Closing", keptTitle);
  EXPECT_EQ(W(url), keptUrl);
  EXPECT_EQ(E_FAIL, Order(page.get(), L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("REFRESH dropped: the page is closed"));
}

TEST_F(WebpageChromiumTest, ATabClosedBeforeItsFirstPageLoadsIsKeptUnderTheAddressAskedFor) {
  m_server.Route("/slow", webtest::HttpAnswer{200, "text/html; charset=utf-8", "", true});
  CSignal kept;
  std::wstring keptTitle, keptUrl;
  m_options.onTabClosedForRecovery = [&](const std::wstring&, const std::wstring& title, const std::wstring& url) {
    keptTitle = title;
    keptUrl = url;
    kept.Set();
  };
  // Sent at once after NewPage, as a host restoring its last session does: the page is
  // still being made, and its address never commits before the close.
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/slow");
  ASSERT_EQ(S_OK, Navigate(page.get(), url));
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=ClOSETAB\n"));
  ASSERT_TRUE(kept.Wait());
  EXPECT_EQ(W(url), keptUrl);
  EXPECT_EQ(W(url), keptTitle) << "no title yet: the address stands for it";
}

TEST_F(WebpageChromiumTest, ViewSourceOpensAWindowForTheHostToAdopt) {
  m_options.blockPopups = false;
  m_server.Html("/src", "<html><head><title>Source me</title></head><body>source</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/src");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=VIEWSOURCE\n"));
  ASSERT_GE(sink->WaitFor(L"NEWINDOW", L"URL=view-source:" + W(url) + L"\n", from), 0);
  PagePtr source;
  ASSERT_EQ(S_OK, Manager()->NewLinkPage(nullptr, page.get(), &source));
  m_pages.push_back(source);
  CLogCapture log;
  auto sourceSink = SubscribeAll(source.get());
  const int found = sourceSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=view-source:" + W(url) + L"\n");
  std::string seen;
  for (const RecordedEvent& event : sourceSink->Events()) seen += platform::WideToUtf8(event.key + L" " + event.value) + "|";
  EXPECT_GE(found, 0) << seen << testing::PrintToString(log.Entries());
}

}  // namespace
}  // namespace webtest

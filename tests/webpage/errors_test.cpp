// Pages that fail: refused connections, missing pages, bad addresses, pages that never
// finish, bad orders.
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

// The error and the error page of a failed load are in the contract suite (tests/pagecore);
// here, what only Chromium would do on its own.
TEST_F(WebpageChromiumTest, AFailedLoadIsNotTriedAgainBehindTheHostsBack) {
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = "http://127.0.0.1:" + std::to_string(CHttpServer::RefusedPort()) + "/";
  ASSERT_EQ(S_OK, Navigate(page.get(), url));
  int error = sink->WaitFor(L"NAVIGATEERROR");
  ASSERT_GE(error, 0);
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n"), 0);
  // Chromium on its own reloads a failed page after a second, then after 5 s, 30 s...
  int next = sink->WaitFor(L"BEFORENAVIGATE", L"", error + 1, std::chrono::seconds(4));
  EXPECT_EQ(-1, next) << "reloaded on its own";
  EXPECT_EQ(-1, sink->WaitFor(L"NAVIGATEERROR", L"", error + 1, std::chrono::seconds(0)));
}

TEST_F(WebpageChromiumTest, BadAddressesAreRefused) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Navigate(page.get(), "http://[not-an-address"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"URL=http://[not-an-address\n"), 0);
  EXPECT_TRUE(log.WaitFor("navigation to http://[not-an-address failed"));

  size_t from = sink->Count();
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=NAVIGATE\nURL=   \n"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=NAVIGATE without URL", from), 0);
  EXPECT_TRUE(log.Contains("order refused: NAVIGATE without URL"));

  // The page still works afterwards.
  m_server.Html("/ok", "<html><body>ok</body></html>");
  EXPECT_GE(Load(page.get(), *sink, m_server.Url("/ok")), 0);
}

TEST_F(WebpageChromiumTest, PageThatNeverFinishesIsStoppedAfterTheTimeout) {
  m_options.navigationTimeout = std::chrono::milliseconds(1500);
  m_server.Route("/slow", HttpAnswer{200, "text/html", "", true});
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/slow");
  ASSERT_EQ(S_OK, Navigate(page.get(), url));
  int error = sink->WaitFor(L"NAVIGATEERROR", L"ERROR=net::ERR_TIMED_OUT");
  ASSERT_GE(error, 0);
  EXPECT_EQ(L"ERROR=net::ERR_TIMED_OUT\nSTATUS=0\nURL=" + W(url) + L"\n", sink->Events()[error].value);
  EXPECT_GE(sink->WaitFor(L"PROGRESSCHANGE", L"PERCENT=64", error), 0);
  EXPECT_TRUE(log.Contains("did not finish in time"));
}

TEST_F(WebpageChromiumTest, StopEndsALoadingPage) {
  m_server.Route("/slow", HttpAnswer{200, "text/html", "", true});
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/slow")));
  ASSERT_GE(sink->WaitFor(L"BEFORENAVIGATE"), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=STOP\n"));
  EXPECT_GE(sink->WaitFor(L"PROGRESSCHANGE", L"PERCENT=64"), 0);
  EXPECT_EQ(-1, sink->WaitFor(L"DOCUMENTCOMPLETE", L"", 0, std::chrono::seconds(0)));
}

TEST_F(WebpageChromiumTest, MalformedOrdersAreRefusedWithALogEntry) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=FLY\n"));
  EXPECT_TRUE(log.Contains("unknown order \"FLY\""));
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"URL=x\n"));
  EXPECT_TRUE(log.Contains("order without CMD"));
  EXPECT_EQ(E_POINTER, page->SendOrder(nullptr));
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=MOVEWEBWINDOW\nWPARAM=zz\nLPARAM=1\n"));
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=WEBAUDIO\nSTATE=2\n"));
}

}  // namespace
}  // namespace webtest

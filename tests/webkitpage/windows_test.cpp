// Windows a page opens, the source window, and closing by script. The script API of
// trusted pages is in the contract suite (tests/pagecore/trust_contract_test.cpp).
#include "webkitpage/kitfixture.h"

namespace webtest {
namespace {

const char kOpener[] =
    "<html><head><title>opener</title></head><body>"
    "<script>window.onload = function () { window.open('/child'); };</script></body></html>";

TEST_F(WebKitPageTest, OpenedWindowWaitsForTheHostAndIsAdopted) {
  m_options.blockPopups = false;
  m_server.Html("/opener", kOpener);
  m_server.Html("/child", "<html><head><title>child</title></head><body>"
                          "<script>window.onload = function () { window.close(); };</script></body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr opener = NewPage(&sink);
  ASSERT_GE(Load(opener.get(), *sink, m_server.Url("/opener")), 0);
  const std::string child = m_server.Url("/child");
  ASSERT_GE(sink->WaitFor(L"NEWINDOW", L"URL=" + W(child) + L"\n"), 0);

  std::shared_ptr<CRecordingSink> childSink;
  PagePtr adopted = AdoptWindowOf(opener.get(), &childSink);
  ASSERT_TRUE(adopted);
  // Whatever the window did before the host took it is told to the host's sink.
  EXPECT_GE(childSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(child) + L"\n"), 0);
  EXPECT_GE(childSink->WaitFor(L"TITLECHANGE", L"TITLE=child\n"), 0);
  // A window that a page opened may close itself (here most likely before the host took
  // it); the host decides.
  EXPECT_GE(childSink->WaitFor(L"CLOSEWNDNOTIFTY", L"URL=" + W(child) + L"\n"), 0);

  // No second window waits.
  PagePtr none;
  EXPECT_EQ(E_FAIL, Manager()->NewLinkPage(nullptr, opener.get(), &none));
  EXPECT_FALSE(none);
  EXPECT_TRUE(log.Contains("has no window waiting"));
}

TEST_F(WebKitPageTest, WindowsWithoutAUserGestureAreRefused) {
  m_server.Html("/opener", kOpener);
  std::shared_ptr<CRecordingSink> sink;
  PagePtr opener = NewPage(&sink);
  ASSERT_GE(Load(opener.get(), *sink, m_server.Url("/opener")), 0);
  EXPECT_GE(sink->WaitFor(L"POPBLOCK", L"URL=" + W(m_server.Url("/child")) + L"\n"), 0);
  EXPECT_EQ(-1, First(sink->Events(), L"NEWINDOW"));
}

TEST_F(WebKitPageTest, SourceWindowShowsThePagesSource) {
  m_server.Html("/src", "<html><head><title>source</title></head><body><b>bold</b></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/src");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=VIEWSOURCE\n"));
  ASSERT_GE(sink->WaitFor(L"NEWINDOW", L"URL=view-source:" + W(url) + L"\n"), 0);
  std::shared_ptr<CRecordingSink> sourceSink;
  PagePtr source = AdoptWindowOf(page.get(), &sourceSink);
  ASSERT_TRUE(source);
  ASSERT_GE(sourceSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=view-source:" + W(url) + L"\n"), 0);
  ASSERT_EQ(S_OK, Order(source.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sourceSink->WaitFor(L"PAGETEXT", L"<b>bold</b>"), 0);
}

}  // namespace
}  // namespace webtest

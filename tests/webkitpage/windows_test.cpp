// Windows a page opens, the source window, closing by script, and the script API of
// trusted pages.
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

// A page that reports through its title what its script could do.
const char kProbe[] =
    "<html><head><title>probe</title></head><body><script>"
    "window.onload = function () {"
    "  document.title = typeof window.uicontrol;"
    "  if (window.uicontrol) { window.uicontrol.showAddFavorite(5);"
    "    window.uicontrol.showEditFavorite(7, 5, 'Fav', 'http://fav.example/'); }"
    "  window.close();"
    "  setTimeout(function () { document.title = 'after close'; }, 300);"
    "};</script></body></html>";

TEST_F(WebKitPageTest, OnlyTrustedPagesGetTheScriptApiAndCloseTheirTab) {
  m_server.Html("/probe", kProbe);
  m_options.trustedOrigins = {m_server.Url("/")};
  CHttpServer other;
  other.Html("/probe", kProbe);

  std::shared_ptr<CRecordingSink> sink;
  PagePtr trusted = NewPage(&sink);
  const std::string url = m_server.Url("/probe");
  ASSERT_GE(Load(trusted.get(), *sink, url), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=object\n"), 0);
  EXPECT_GE(sink->WaitFor(L"SHOWADDFAVWND", L"FAVPID=5\n"), 0);
  EXPECT_GE(sink->WaitFor(L"SHOWEDITFAVWND", L"FAVID=7\nFAVPID=5\nTITLECHANGE=Fav\nURL=http://fav.example/\n"), 0);
  EXPECT_GE(sink->WaitFor(L"CLOSEWNDNOTIFTY", L"URL=" + W(url) + L"\n"), 0);

  std::shared_ptr<CRecordingSink> otherSink;
  PagePtr untrusted = NewPage(&otherSink);
  ASSERT_GE(Load(untrusted.get(), *otherSink, other.Url("/probe")), 0);
  EXPECT_GE(otherSink->WaitFor(L"TITLECHANGE", L"TITLE=undefined\n"), 0);
  ASSERT_GE(otherSink->WaitFor(L"TITLECHANGE", L"TITLE=after close\n"), 0);
  Events events = otherSink->Events();
  EXPECT_EQ(-1, First(events, L"CLOSEWNDNOTIFTY"));
  EXPECT_EQ(-1, First(events, L"SHOWADDFAVWND"));
}

}  // namespace
}  // namespace webtest

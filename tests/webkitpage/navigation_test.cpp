// Back and forward with the travel logs, titles, and the thread events come on. A load's
// whole sequence and failed loads are in the contract suite (tests/pagecore).
#include <algorithm>

#include "webkitpage/kitfixture.h"

namespace webtest {
namespace {

// The whole sequence of a load is part of the contract suite (tests/pagecore); here, the
// thread it comes on.
TEST_F(WebKitPageTest, EventsComeOnTheGtkThread) {
  m_server.Html("/hello", "<html><head><title>Hello page</title></head><body>hello</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_TRUE(page);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/hello")), 0);
  // The one thread that runs WebKit.
  std::thread::id gtk;
  ASSERT_TRUE(gtktest::RunOnGtk([&gtk] { gtk = std::this_thread::get_id(); }));
  for (const RecordedEvent& event : sink->Events()) EXPECT_EQ(gtk, event.thread) << platform::WideToUtf8(event.key);
}

TEST_F(WebKitPageTest, PageWithoutTitleIsNamedByItsAddressAndScriptTitlesFollow) {
  m_server.Html("/plain", "<html><body><p>no title</p></body></html>");
  m_server.Html("/later", "<html><head><title>first</title></head><body>"
                          "<script>setTimeout(function(){document.title='second'},50)</script></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string plain = m_server.Url("/plain");
  ASSERT_GE(Load(page.get(), *sink, plain), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=" + W(plain) + L"\nURL=" + W(plain) + L"\n"), 0);
  // Without a declared icon, an http page's icon is its origin's favicon.ico.
  EXPECT_GE(sink->WaitFor(L"ICONCHANGE", L"ICOURL=" + W(m_server.Url("/favicon.ico")) + L"\n"), 0);

  const std::string later = m_server.Url("/later");
  ASSERT_GE(Load(page.get(), *sink, later), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=second\nURL=" + W(later) + L"\n"), 0);
}

TEST_F(WebKitPageTest, BackAndForwardFollowTheHistoryAndTheTravelLogs) {
  m_server.Html("/one", "<html><head><title>One</title></head><body>1</body></html>");
  m_server.Html("/two", "<html><head><title>Two</title></head><body>2</body></html>");
  m_server.Html("/three", "<html><head><title>Three</title></head><body>3</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string one = m_server.Url("/one"), two = m_server.Url("/two"), three = m_server.Url("/three");
  ASSERT_GE(Load(page.get(), *sink, one), 0);
  EXPECT_GE(sink->WaitFor(L"BACKFORWARDSTATECHANGE", L"STATE=FALSE\n"), 0);
  EXPECT_EQ(L"", GetData(page.get(), L"TRAVELLOG_BACK"));
  ASSERT_GE(Load(page.get(), *sink, two), 0);
  ASSERT_GE(Load(page.get(), *sink, three), 0);
  EXPECT_GE(sink->WaitFor(L"BACKFORWARDSTATECHANGE", L"STATE=TRUE\n"), 0);
  EXPECT_EQ(L"0\x02" + W(two) + L"\x01Two\x03" L"1\x02" + W(one) + L"\x01One", GetData(page.get(), L"TRAVELLOG_BACK"));

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOBACK\n"));
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(two) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=TRUE\n", from), 0);
  EXPECT_EQ(L"0\x02" + W(three) + L"\x01Three", GetData(page.get(), L"TRAVELLOG_FORE"));
  EXPECT_EQ(L"0\x02" + W(one) + L"\x01One", GetData(page.get(), L"TRAVELLOG_BACK"));

  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOFORWORD\n"));
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(three) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=FALSE\n", from), 0);
  EXPECT_EQ(L"", GetData(page.get(), L"TRAVELLOG_FORE"));

  // A fragment is a navigation within the document: no new load.
  from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), three + "#part"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATECOMPLETE", L"URL=" + W(three) + L"#part\n", from), 0);
  EXPECT_EQ(-1, First(sink->Events(), L"BEFORENAVIGATE", from));
}

TEST_F(WebKitPageTest, BadOrdersAreRefusedOnTheCallersThread) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=NAVIGATE\nURL=   \n"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=NAVIGATE without URL"), 0);
  EXPECT_TRUE(log.Contains("order refused: NAVIGATE without URL"));
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=NOSUCHORDER\n"));
  EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"no command at all"));
  EXPECT_EQ(E_POINTER, page->SendOrder(nullptr));

  qxdk::UTIL::com_ptr<IWebPageData> data;
  page.QueryInterface(data);
  EXPECT_EQ(E_INVALIDARG, data->SetData(L"font.size", L"7"));
  EXPECT_EQ(E_INVALIDARG, data->SetData(L"no.such", L"1"));
  wchar_t* text = nullptr;
  EXPECT_EQ(E_INVALIDARG, data->GetData(L"no.such", &text));
  wchar_t foreign[] = L"not given out";
  EXPECT_EQ(E_INVALIDARG, data->FreeData(foreign));
  EXPECT_TRUE(log.Contains("FreeData of a text this page did not give out"));

  // GOHOME without a home page and GOBACK without history have defined outcomes.
  ManagerPtr bare;
  WebKitPageOptions options = m_options;
  options.homePage.clear();
  ASSERT_EQ(S_OK, CreateWebKitPageManager(options, &bare));
  PagePtr homeless;
  ASSERT_EQ(S_OK, bare->NewPage(nullptr, &homeless));
  auto homeSink = SubscribeAll(homeless.get());
  ASSERT_EQ(S_OK, Order(homeless.get(), L"CMD=GOBACK\n"));
  ASSERT_EQ(S_OK, Order(homeless.get(), L"CMD=GOHOME\n"));
  EXPECT_GE(homeSink->WaitFor(L"NAVIGATEERROR", L"ERROR=no home page is set\nSTATUS=0\nURL=\n"), 0);
  EXPECT_TRUE(log.WaitFor("GOBACK has no page to go to"));
}

}  // namespace
}  // namespace webtest

// A navigation's events, back and forward with the travel logs, and failed loads.
#include <algorithm>

#include "webkitpage/kitfixture.h"

namespace webtest {
namespace {

std::vector<long> Percents(const Events& events) {
  std::vector<long> percents;
  for (const RecordedEvent& event : events) {
    if (event.key == L"PROGRESSCHANGE")
      percents.push_back(std::wcstol(CRecordingSink::Param(event.value, L"PERCENT").c_str(), nullptr, 16));
  }
  return percents;
}

TEST_F(WebKitPageTest, NavigationReportsItsWholeSequenceOnTheGtkThread) {
  m_server.Html("/hello", "<html><head><title>Hello page</title><link rel=\"icon\" href=\"/pics/hello.png\"></head>"
                          "<body>hello</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_TRUE(page);
  const std::string url = m_server.Url("/hello");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  ASSERT_GE(sink->WaitFor(L"ICONCHANGE"), 0);
  Events events = sink->Events();

  // The window comes first, although the sink subscribed after NewPage.
  ASSERT_EQ(0, First(events, L"CHLIDHANDLE"));
  EXPECT_TRUE(IsWindow(ViewOf(*sink)));
  EXPECT_EQ(L"ISWNDSHOW=1\n", events[First(events, L"SHOWIEWND")].value);

  const int before = First(events, L"BEFORENAVIGATE");
  const int committed = First(events, L"NAVIGATECOMPLETE");
  const int complete = First(events, L"DOCUMENTCOMPLETE");
  const int title = First(events, L"TITLECHANGE");
  ASSERT_GE(before, 0);
  EXPECT_EQ(L"URL=" + W(url) + L"\n", events[before].value);
  EXPECT_EQ(L"URL=" + W(url) + L"\n", events[committed].value);
  EXPECT_LT(before, committed);
  EXPECT_LT(committed, complete);
  EXPECT_LT(title, complete) << "the title is known before the document completes";
  EXPECT_EQ(L"TITLE=Hello page\nURL=" + W(url) + L"\n", events[title].value);
  EXPECT_EQ(L"ICOURL=" + W(m_server.Url("/pics/hello.png")) + L"\n", events[First(events, L"ICONCHANGE")].value);

  std::vector<long> percents = Percents(events);
  ASSERT_GE(percents.size(), 2u);
  EXPECT_EQ(0, percents.front());
  EXPECT_EQ(100, percents.back());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(L"PERCENT=64\n", events[complete - 1].value);

  // Events come on the GTK thread, the one thread that runs WebKit.
  std::thread::id gtk;
  ASSERT_TRUE(gtktest::RunOnGtk([&gtk] { gtk = std::this_thread::get_id(); }));
  for (const RecordedEvent& event : events) EXPECT_EQ(gtk, event.thread) << platform::WideToUtf8(event.key);
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

TEST_F(WebKitPageTest, FailedLoadsReportOneErrorEach) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string refused = "http://127.0.0.1:" + std::to_string(CHttpServer::RefusedPort()) + "/";
  ASSERT_EQ(S_OK, Navigate(page.get(), refused));
  int error = sink->WaitFor(L"NAVIGATEERROR");
  ASSERT_GE(error, 0);
  EXPECT_EQ(L"ERROR=net::ERR_CONNECTION_REFUSED\nSTATUS=0\nURL=" + W(refused) + L"\n", sink->Events()[error].value);
  EXPECT_TRUE(log.Contains("navigation to " + refused + " failed: net::ERR_CONNECTION_REFUSED"));
  // The error page keeps the address the user asked for, within the same navigation.
  ASSERT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(refused) + L"\n"), 0);
  Events events = sink->Events();
  EXPECT_EQ(1, std::count_if(events.begin(), events.end(), [](const RecordedEvent& e) { return e.key == L"BEFORENAVIGATE"; }));
  EXPECT_EQ(1, std::count_if(events.begin(), events.end(), [](const RecordedEvent& e) { return e.key == L"NAVIGATEERROR"; }));

  const std::string missing = m_server.Url("/nowhere");
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), missing));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=HTTP 404 Not Found\nSTATUS=194\nURL=" + W(missing) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(missing) + L"\n", from), 0);
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

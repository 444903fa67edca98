// The page component's contract on every engine: a load's whole sequence of events, and
// failed loads. The same source runs on Chromium and on WebKitGTK.
#include <algorithm>
#include <thread>

#include "pagecore/contractfixture.h"
#include "platform/window.h"

namespace webtest {
namespace {

int CountOf(const Events& events, const std::wstring& key) {
  return static_cast<int>(std::count_if(events.begin(), events.end(), [&key](const RecordedEvent& e) { return e.key == key; }));
}

TEST_P(PageContractTest, ALoadReportsItsWholeSequenceInOrder) {
  m_server.Html("/hello", "<html><head><title>Hello page</title><link rel=\"icon\" href=\"/pics/hello.png\"></head>"
                          "<body>hello</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_TRUE(page);
  const std::string url = m_server.Url("/hello");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  ASSERT_GE(sink->WaitFor(L"BACKFORWARDSTATECHANGE"), 0);
  Events events = sink->Events();

  // The page's window comes first, although the sink subscribed after NewPage.
  ASSERT_EQ(0, First(events, L"CHLIDHANDLE"));
  uint32_t handle = std::wcstoul(CRecordingSink::Param(events[0].value, L"HWND").c_str(), nullptr, 16);
  EXPECT_TRUE(IsWindow(HandleFromValue(handle)));
  ASSERT_GE(First(events, L"SHOWIEWND"), 0);
  EXPECT_EQ(L"ISWNDSHOW=1\n", events[First(events, L"SHOWIEWND")].value);

  const int before = First(events, L"BEFORENAVIGATE");
  const int committed = First(events, L"NAVIGATECOMPLETE");
  const int complete = First(events, L"DOCUMENTCOMPLETE");
  const int title = First(events, L"TITLECHANGE");
  const int icon = First(events, L"ICONCHANGE");
  ASSERT_GE(before, 0);
  EXPECT_EQ(L"URL=" + W(url) + L"\n", events[before].value);
  EXPECT_EQ(L"URL=" + W(url) + L"\n", events[committed].value);
  EXPECT_LT(before, committed);
  EXPECT_LT(committed, complete);
  EXPECT_LT(title, complete) << "the title is known before the document completes";
  EXPECT_LT(icon, complete) << "so is the icon";
  EXPECT_EQ(L"TITLE=Hello page\nURL=" + W(url) + L"\n", events[title].value);
  EXPECT_EQ(L"ICOURL=" + W(m_server.Url("/pics/hello.png")) + L"\n", events[icon].value);

  // Progress climbs from 0 to 100 (hexadecimal 64) without ever going back, and 100
  // comes just before the document completes.
  std::vector<long> percents;
  for (const RecordedEvent& event : events) {
    if (event.key == L"PROGRESSCHANGE")
      percents.push_back(std::wcstol(CRecordingSink::Param(event.value, L"PERCENT").c_str(), nullptr, 16));
  }
  ASSERT_GE(percents.size(), 2u);
  EXPECT_EQ(0, percents.front());
  EXPECT_EQ(100, percents.back());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(L"PERCENT=64\n", events[complete - 1].value);

  // Every event came on the engine's one page thread, not the test's.
  for (const RecordedEvent& event : events) {
    EXPECT_EQ(events[0].thread, event.thread) << platform::WideToUtf8(event.key);
    EXPECT_NE(std::this_thread::get_id(), event.thread);
  }
  // A fresh page has nothing to go back to.
  EXPECT_EQ(L"STATE=FALSE\n", events[First(events, L"BACKFORWARDSTATECHANGE")].value);
}

TEST_P(PageContractTest, FailedLoadsReportOneErrorEachAndShowAnErrorPage) {
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
  EXPECT_EQ(1, CountOf(events, L"BEFORENAVIGATE"));
  EXPECT_EQ(1, CountOf(events, L"NAVIGATEERROR"));

  // A server's error page is shown, and its status told.
  const std::string missing = m_server.Url("/nowhere");
  const size_t from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), missing));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=HTTP 404 Not Found\nSTATUS=194\nURL=" + W(missing) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(missing) + L"\n", from), 0);
}

}  // namespace
}  // namespace webtest

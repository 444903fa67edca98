// A page stuck in a script on every engine: reported unresponsive after the limit while
// another tab still loads, ended by STOPPAGE as a crash, and back with a working page on
// the next order.
#include <string>

#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

TEST_P(PageContractTest, AHungPageIsReportedAndStoppedWhileAnotherTabLoads) {
  // The page hangs when its fragment changes, so that it has finished loading first.
  m_server.Html("/hang", "<html><head><title>Hang</title></head><body>hang"
                         "<script>onhashchange = () => { while (true) {} };</script></body></html>");
  m_server.Html("/other", "<html><head><title>Other</title></head><body>other</body></html>");
  m_server.Html("/after", "<html><head><title>After</title></head><body>working again</body></html>");
  std::shared_ptr<CRecordingSink> sink, otherSink;
  PagePtr page = NewPage(&sink);
  PagePtr other = NewPage(&otherSink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/hang")), 0);

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/hang#now")));
  const int reported = sink->WaitFor(L"PAGEUNRESPONSIVE", L"SECONDS=", from, std::chrono::seconds(90));
  ASSERT_GE(reported, 0) << "a page stuck in a script was never reported";
  const std::wstring seconds = CRecordingSink::Param(sink->Events()[reported].value, L"SECONDS");
  EXPECT_GE(std::stod(seconds), 5.0) << "SECONDS=" << std::string(seconds.begin(), seconds.end());

  // The browser still serves the other tab.
  ASSERT_GE(Load(other.get(), *otherSink, m_server.Url("/other")), 0);

  // STOPPAGE ends the renderer: the page is crashed, and says nothing of answering again.
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=STOPPAGE\n"));
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH", L"", from), 0);

  // The next order brings the tab back with a page that works.
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/after")), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"PAGETEXT", L"working again", from), 0);
  const auto events = sink->Events();
  for (size_t i = static_cast<size_t>(reported) + 1; i < events.size(); ++i)
    EXPECT_NE(L"PAGEUNRESPONSIVE", events[i].key) << "after the report: " << std::string(events[i].value.begin(), events[i].value.end());
}

}  // namespace
}  // namespace webtest

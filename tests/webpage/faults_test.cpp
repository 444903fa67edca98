// A renderer that crashes, a Chromium that dies or is released, dialogs and sinks that
// call back.
#include <signal.h>

#include <cerrno>

#include "components/webpage/engine.h"
#include "components/webpage/pageobject.h"
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

pid_t ChromiumPid(IWebPageManager* manager) {
  return static_cast<webpage::CWebPageManager*>(manager)->Engine()->ChromiumPid();
}

TEST_F(WebpageChromiumTest, ACrashedPageComesBackInItsTabOnTheNextOrder) {
  m_server.Html("/ok", "<html><head><title>Fine</title></head><body>ok</body></html>");
  m_server.Html("/other", "<html><head><title>Other</title></head><body>other</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink, otherSink;
  PagePtr page = NewPage(&sink);
  PagePtr other = NewPage(&otherSink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/ok")), 0);
  ASSERT_EQ(S_OK, Navigate(page.get(), "chrome://crash"));
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH"), 0);
  EXPECT_TRUE(log.Contains("crashed"));
  // Only that page is lost.
  EXPECT_GE(Load(other.get(), *otherSink, m_server.Url("/ok")), 0);
  EXPECT_EQ(-1, otherSink->WaitFor(L"PROCESSCRASH", L"", 0, std::chrono::seconds(0)));

  // Any order brings the page back where it was, in the same page object, to the same
  // subscribers, and is carried out on the page loaded again.
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=Fine\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"PAGETEXT", L"ok", from), 0);
  EXPECT_TRUE(log.WaitFor("brought back by GETTEXT"));

  // So does NAVIGATE after a second crash; the page works as before.
  from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), "chrome://crash"));
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH", L"", from), 0);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/other")), 0);
  EXPECT_GE(Load(page.get(), *sink, m_server.Url("/ok")), 0);
  // A crashed page can still be closed.
  from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), "chrome://crash"));
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH", L"", from), 0);
  EXPECT_EQ(S_OK, Order(page.get(), L"CMD=ClOSETAB\n"));
}

// Kills the running Chromium and waits until every given sink has heard of it.
void KillChromium(IWebPageManager* manager, std::initializer_list<CRecordingSink*> sinks) {
  std::vector<size_t> from;
  for (CRecordingSink* sink : sinks) from.push_back(sink->Count());
  pid_t pid = ChromiumPid(manager);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(0, ::kill(pid, SIGKILL));
  size_t i = 0;
  for (CRecordingSink* sink : sinks) EXPECT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=browser\n", from[i++]), 0);
}

TEST_F(WebpageChromiumTest, PagesOfADeadChromiumComeBackInANewOneWhenCommanded) {
  m_options.crashWindow = std::chrono::minutes(10);  // three starts of Chromium fit, however slow
  m_server.Html("/ok", "<html><head><title>Fine</title></head><body>ok</body></html>");
  m_server.Html("/other", "<html><head><title>Other</title></head><body>other</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> first, second;
  PagePtr a = NewPage(&first);
  PagePtr b = NewPage(&second);
  qxdk::UTIL::com_ptr<IWebPageData> data;
  a.QueryInterface(data);
  ASSERT_EQ(S_OK, data->SetData(L"font.size", L"4"));
  ASSERT_GE(Load(a.get(), *first, m_server.Url("/other")), 0);
  ASSERT_GE(Load(a.get(), *first, m_server.Url("/ok")), 0);
  ASSERT_GE(Load(b.get(), *second, m_server.Url("/other")), 0);
  pid_t pid = ChromiumPid(Manager());
  KillChromium(Manager(), {first.get(), second.get()});
  EXPECT_TRUE(log.WaitFor("went away; 2 page(s) lost"));

  // REFRESH brings a page back on its address in a new Chromium: same page object, same
  // sinks, a new window, its settings and its history kept (the entry before is loaded
  // again first, unreported).
  size_t from = first->Count();
  ASSERT_EQ(S_OK, Order(a.get(), L"CMD=REFRESH\n"));
  EXPECT_GE(first->WaitFor(L"CHLIDHANDLE", L"", from), 0);
  EXPECT_GE(first->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/ok")) + L"\n", from), 0);
  const std::vector<RecordedEvent> events = first->Events();
  for (size_t i = from; i < events.size(); ++i) {
    EXPECT_EQ(std::wstring::npos, events[i].value.find(L"/other")) << "the entry loaded again was reported";
  }
  EXPECT_NE(pid, ChromiumPid(Manager()));
  EXPECT_EQ(L"4", GetData(a.get(), L"font.size"));
  from = first->Count();
  ASSERT_EQ(S_OK, Order(a.get(), L"CMD=GOBACK\n"));
  EXPECT_GE(first->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/other")) + L"\n", from), 0);
  ASSERT_GE(Load(a.get(), *first, m_server.Url("/ok")), 0);
  // Any other order brings a page back too, and is then carried out.
  from = second->Count();
  ASSERT_EQ(S_OK, Order(b.get(), L"CMD=MOVEWEBWINDOW\nLPARAM=3200258\nWPARAM=0\n"));
  EXPECT_GE(second->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/other")) + L"\n", from), 0);
  EXPECT_GE(Load(b.get(), *second, m_server.Url("/ok")), 0) << "the page works as before";

  // A page that keeps crashing is no longer brought back on its own; REFRESH still is.
  KillChromium(Manager(), {first.get(), second.get()});
  from = first->Count();
  ASSERT_EQ(S_OK, Order(a.get(), L"CMD=REFRESH\n"));
  ASSERT_GE(first->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/ok")) + L"\n", from), 0);
  KillChromium(Manager(), {first.get()});  // the third crash within the minute
  from = first->Count();
  EXPECT_EQ(E_FAIL, Order(a.get(), L"CMD=STOP\n"));
  EXPECT_GE(first->WaitFor(L"NAVIGATEERROR", L"ERROR=the page crashed 3 times within 600 s", from), 0);
  EXPECT_GE(first->WaitFor(L"ORDERUNSUPPORTED", L"CMD=STOP\n", from), 0);
  ASSERT_EQ(S_OK, Order(a.get(), L"CMD=REFRESH\n"));
  EXPECT_GE(first->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/ok")) + L"\n", from), 0);

  // New pages work in the new Chromium, and a page closed while dead closes.
  std::shared_ptr<CRecordingSink> third;
  PagePtr c = NewPage(&third);
  ASSERT_TRUE(c);
  EXPECT_GE(Load(c.get(), *third, m_server.Url("/ok")), 0);
  EXPECT_EQ(S_OK, Order(b.get(), L"CMD=ClOSETAB\n"));
}

TEST_F(WebpageChromiumTest, ReleasingTheManagerEndsChromium) {
  CLogCapture log;
  m_server.Html("/ok", "<html><body>ok</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/ok")), 0);  // Chromium runs
  pid_t pid = ChromiumPid(Manager());
  ASSERT_GT(pid, 0);
  m_manager = nullptr;  // the page outlives its manager
  errno = 0;
  EXPECT_EQ(-1, ::kill(pid, 0));
  EXPECT_EQ(ESRCH, errno);
  EXPECT_TRUE(log.Contains("ended"));
  EXPECT_EQ(E_FAIL, Order(page.get(), L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("REFRESH dropped: the page is closed"));
}

TEST_F(WebpageChromiumTest, ReleasingPagesAndTheManagerWhileChromiumMakesThemIsSafe) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr first = NewPage(&sink);  // starts Chromium
  ASSERT_EQ(S_OK, Navigate(first.get(), "about:blank"));
  PagePtr second = NewPage(nullptr);
  m_pages.clear();
  second = nullptr;  // its target is closed once Chromium has made it
  m_manager = nullptr;
  EXPECT_EQ(E_FAIL, Order(first.get(), L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("REFRESH dropped: the page is closed"));
  EXPECT_EQ(-1, sink->WaitFor(L"PROCESSCRASH", L"", 0, std::chrono::seconds(0))) << "a release is no crash";
}

TEST_F(WebpageChromiumTest, SinksMaySendOrdersFromTheirEvents) {
  m_server.Html("/first", "<html><body>first</body></html>");
  m_server.Html("/second", "<html><head><title>Second</title></head><body>second</body></html>");
  PagePtr page;
  ASSERT_EQ(S_OK, Manager()->NewPage(nullptr, &page));
  auto sink = SubscribeAll(page.get());
  std::wstring first = W(m_server.Url("/first"));
  std::wstring second = W(m_server.Url("/second"));
  IWebPage* raw = page.get();
  sink->SetHandler([raw, first, second](const std::wstring& key, const std::wstring& value) {
    if (key == L"DOCUMENTCOMPLETE" && value == L"URL=" + first + L"\n") {
      EXPECT_EQ(S_OK, raw->SendOrder((L"CMD=NAVIGATE\nURL=" + second + L"\n").c_str()));
      wchar_t* log = nullptr;
      qxdk::UTIL::com_ptr<IWebPageData> data;
      PagePtr(raw).QueryInterface(data);
      EXPECT_EQ(S_OK, data->GetData(L"TRAVELLOG_BACK", &log));
      data->FreeData(log);
    }
  });
  ASSERT_EQ(S_OK, Navigate(page.get(), platform::WideToUtf8(first)));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + second + L"\n"), 0);
  sink->SetHandler(nullptr);
  page = nullptr;
}

TEST_F(WebpageChromiumTest, DialogsNeverStallAPage) {
  m_server.Html("/alert", "<html><head><title>Alert</title></head><body>"
                          "<script>alert('hello there'); document.title = confirm('sure?') ? 'yes' : 'no';</script>"
                          "</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/alert")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=no\n"), 0);
  EXPECT_TRUE(log.Contains("alert dialog \"hello there\" acknowledged"));
  // The second dialog within a second is written when that second is over.
  EXPECT_TRUE(log.WaitFor("confirm dialog \"sure?\" declined"));
}

TEST_F(WebpageChromiumTest, LateSubscribersGetThePageStateFirst) {
  m_server.Html("/t", "<html><head><title>Kept title</title></head><body>t</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  std::string url = m_server.Url("/t");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  auto late = std::make_shared<CRecordingSink>();
  qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
  page.QueryInterface(notifier);
  ASSERT_EQ(S_OK, notifier->Subscribe(L"TITLECHANGE", late, nullptr));
  ASSERT_EQ(S_OK, notifier->Subscribe(L"BEFORENAVIGATE", late, nullptr));
  EXPECT_GE(late->WaitFor(L"TITLECHANGE", L"TITLE=Kept title\nURL=" + W(url) + L"\n"), 0);
  EXPECT_EQ(1u, late->Count()) << "transient events are not replayed";
  EXPECT_EQ(E_INVALIDARG, notifier->Subscribe(L"TITLECHANGE", nullptr, nullptr));
  // A misspelt key is accepted but named in the log; a key the host knows but this
  // engine never sends is accepted quietly.
  CLogCapture log;
  EXPECT_EQ(S_OK, notifier->Subscribe(L"CHILDHANDLE", late, nullptr));
  EXPECT_TRUE(log.Contains("nothing is ever sent for \"CHILDHANDLE\""));
  EXPECT_EQ(S_OK, notifier->Subscribe(L"BLOCKURLTOUCH", late, nullptr));
  EXPECT_FALSE(log.Contains("BLOCKURLTOUCH"));
}

}  // namespace
}  // namespace webtest

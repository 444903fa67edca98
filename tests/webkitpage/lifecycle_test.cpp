// A page's life: its web process dying and coming back, releases at any moment, and
// orders from several threads.
#include <webkit2/webkit2.h>

#include <thread>

#include "webkitpage/kitfixture.h"

namespace webtest {
namespace {

void KillWebProcess(HWND view) {
  ASSERT_TRUE(gtktest::RunOnGtk(
      [view] { webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(platform::gtk::ViewWidget(view))); }));
}

TEST_F(WebKitPageTest, CrashedPageComesBackOnAnOrderUntilItCrashesTooOften) {
  m_options.crashLimit = 2;
  m_server.Html("/live", "<html><head><title>live</title></head><body>alive</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/live");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  const HWND view = ViewOf(*sink);

  KillWebProcess(view);
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=killed\n"), 0);
  EXPECT_TRUE(log.WaitFor("crashed (killed) at " + url));
  // Under the limit any order brings it back: the page it showed, then the order.
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"PAGETEXT", L"TEXT=P:alive", from), 0);

  // The second crash within the window reaches the limit: only REFRESH or NAVIGATE.
  from = sink->Count();
  KillWebProcess(view);
  ASSERT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=killed\n", from), 0);
  EXPECT_EQ(E_FAIL, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=GETTEXT\nREASON=the page crashed 2 times within 60 s", from), 0);
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"the page crashed 2 times", from), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=REFRESH\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n", from), 0);

  // A crashed page can always be closed, and is kept for recovery.
  std::wstring keptUrl;
  m_manager = nullptr;
  m_options.onTabClosedForRecovery = [&keptUrl](const std::wstring&, const std::wstring&, const std::wstring& url) {
    keptUrl = url;
  };
  std::shared_ptr<CRecordingSink> second;
  PagePtr closing = NewPage(&second);
  ASSERT_GE(Load(closing.get(), *second, url), 0);
  KillWebProcess(ViewOf(*second));
  ASSERT_GE(second->WaitFor(L"PROCESSCRASH"), 0);
  ASSERT_EQ(S_OK, Order(closing.get(), L"CMD=ClOSETAB\n"));
  ASSERT_TRUE(gtktest::WaitOnGtk([&] { return keptUrl == W(url); }));
  EXPECT_EQ(E_FAIL, Order(closing.get(), L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("order REFRESH dropped: the page is closed"));
}

TEST_F(WebKitPageTest, RecoverOpensTheKeptAddress) {
  m_server.Html("/kept", "<html><body>kept</body></html>");
  const std::string kept = m_server.Url("/kept");
  m_options.lookupRecoveredTab = [kept](const std::wstring& uuid, std::wstring* url) {
    if (uuid != L"abc") return false;
    *url = W(kept);
    return true;
  };
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=RECOVERWND\nuuid=abc\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(kept) + L"\n"), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=RECOVERWND\nuuid=nothing\n"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=no closed tab nothing is kept\nSTATUS=0\nURL=\n"), 0);
}

TEST_F(WebKitPageTest, ReleasingPagesAndTheManagerAtAnyMomentIsSafe) {
  m_server.Route("/hang", HttpAnswer{200, "text/html", "", true});
  m_server.Html("/ok", "<html><body>ok</body></html>");
  CLogCapture log;
  {
    // Released while its load hangs, and one released before its view exists.
    std::shared_ptr<CRecordingSink> sink;
    PagePtr loading = NewPage(&sink);
    ASSERT_EQ(S_OK, Navigate(loading.get(), m_server.Url("/hang")));
    ASSERT_GE(sink->WaitFor(L"BEFORENAVIGATE"), 0);
    m_pages.clear();
    PagePtr instant;
    ASSERT_EQ(S_OK, Manager()->NewPage(nullptr, &instant));
    ASSERT_EQ(S_OK, Navigate(instant.get(), m_server.Url("/ok")));
  }
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));

  // The manager goes while pages are open (and loading); they refuse orders afterwards.
  std::shared_ptr<CRecordingSink> a, b;
  PagePtr first = NewPage(&a);
  PagePtr second = NewPage(&b);
  ASSERT_GE(Load(first.get(), *a, m_server.Url("/ok")), 0);
  ASSERT_EQ(S_OK, Navigate(second.get(), m_server.Url("/hang")));
  m_manager = nullptr;
  EXPECT_EQ(E_FAIL, Order(first.get(), L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("order REFRESH dropped: the page manager has been released"));
  // Their views are gone from the window table's widgets.
  const HWND view = ViewOf(*a);
  EXPECT_TRUE(gtktest::WaitOnGtk([view] { return platform::gtk::ViewWidget(view) == nullptr; }));
  first = nullptr;
  second = nullptr;
  m_pages.clear();
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));
}

TEST_F(WebKitPageTest, OrdersFromSeveralThreadsKeepEachThreadsOrder) {
  m_server.Html("/words", "<html><body>t0 t1 t2 t3</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/words")), 0);
  constexpr int kThreads = 4, kOrders = 8;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&page, t] {
      for (int n = 0; n < kOrders; ++n) {
        // Odd orders look for words that are there, even ones for words that are not.
        std::wstring text = n % 2 ? L"t" + std::to_wstring(t) : L"x" + std::to_wstring(t) + L"-" + std::to_wstring(n);
        EXPECT_EQ(S_OK, page->SendOrder((L"CMD=FIND\nTEXT=" + text + L"\n").c_str()));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  int last = -1;
  for (int i = 0; i < kThreads * kOrders; ++i) {
    last = sink->WaitFor(L"FINDRESULT", L"", static_cast<size_t>(last + 1));
    ASSERT_GE(last, 0) << "answer " << i << " missing";
  }
  std::vector<int> next(kThreads, 0);
  for (const RecordedEvent& event : sink->Events()) {
    if (event.key != L"FINDRESULT") continue;
    std::wstring text = CRecordingSink::Param(event.value, L"TEXT");
    int t = text[1] - L'0';
    int n = next[t]++;
    if (n % 2) {
      EXPECT_EQ(L"COUNT=1\nFOUND=TRUE\nTEXT=t" + std::to_wstring(t) + L"\n", event.value);
    } else {
      EXPECT_EQ(L"x" + std::to_wstring(t) + L"-" + std::to_wstring(n), text) << "out of order";
    }
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(kOrders, next[t]);
}

}  // namespace
}  // namespace webtest

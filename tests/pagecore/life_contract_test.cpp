// A page's life on every engine: its renderer dying and the page coming back under the
// crash limit, a save of a page that is not in front, and windows a page opens.
#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

TEST_P(PageContractTest, ACrashedPageComesBackInItsTabUntilItCrashesTooOften) {
  Options().crashLimit = 2;
  Options().crashWindow = std::chrono::minutes(10);  // both crashes fit, however slow the machine
  m_server.Html("/before", "<html><head><title>Before</title></head><body>before</body></html>");
  m_server.Html("/live", "<html><head><title>Live</title></head><body>alive</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/live");
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/before")), 0);
  ASSERT_GE(Load(page.get(), *sink, url), 0);

  // Any order brings the page back where it was, in the same page object, to the same
  // sinks, with its history (back still goes to the page before), and is carried out on
  // the page loaded again.
  ASSERT_TRUE(KillRenderer(page.get(), *sink));
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=Live\n", from), 0);
  EXPECT_GE(sink->WaitFor(L"PAGETEXT", L"alive", from), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOBACK\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/before")) + L"\n", from), 0);
  ASSERT_GE(Load(page.get(), *sink, url), 0);

  // At the limit an order the user did not ask for as a page is refused and told so;
  // NAVIGATE (the user's own request) still brings the page back.
  ASSERT_TRUE(KillRenderer(page.get(), *sink));
  from = sink->Count();
  EXPECT_EQ(E_FAIL, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=GETTEXT\n", from), 0);
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  EXPECT_GE(sink->WaitFor(L"PAGETEXT", L"alive", from), 0);

  // A crashed page can always be closed.
  ASSERT_TRUE(KillRenderer(page.get(), *sink));
  EXPECT_EQ(S_OK, Order(page.get(), L"CMD=ClOSETAB\n"));
}

TEST_P(PageContractTest, APageBehindAnotherSavesItsDocumentOnce) {
  m_server.Html("/behind", "<html><head><title>Behind</title></head><body>saved from behind</body></html>");
  m_server.Html("/front", "<html><head><title>Front</title></head><body>in front</body></html>");
  std::shared_ptr<CRecordingSink> behindSink, frontSink;
  PagePtr behind = NewPage(&behindSink);
  ASSERT_GE(Load(behind.get(), *behindSink, m_server.Url("/behind")), 0);
  PagePtr front = NewPage(&frontSink);
  ASSERT_GE(Load(front.get(), *frontSink, m_server.Url("/front")), 0);

  const size_t from = behindSink->Count();
  ASSERT_EQ(S_OK, Order(behind.get(), L"CMD=SAVEHTML\n"));
  const int at = behindSink->WaitFor(L"SAVECOMPLETE", L"KIND=html\n", from);
  ASSERT_GE(at, 0);
  const std::wstring value = behindSink->Events()[at].value;
  EXPECT_EQ(L"", CRecordingSink::Param(value, L"ERROR"));
  EXPECT_EQ(W(Options().downloadsFolder) + L"/Behind.html", CRecordingSink::Param(value, L"FILE"));
  // One answer per save, and none for the page in front.
  EXPECT_EQ(-1, behindSink->WaitFor(L"SAVECOMPLETE", L"", static_cast<size_t>(at) + 1, std::chrono::seconds(1)));
  EXPECT_EQ(-1, frontSink->WaitFor(L"SAVECOMPLETE", L"", 0, std::chrono::seconds(0)));
}

struct WindowCase {
  bool blockPopups;
  const char* key;  // what the opener hears
};

TEST_P(PageContractTest, AWindowAPageOpensWaitsForTheHostOrIsRefused) {
  m_server.Html("/child", "<html><head><title>Child</title></head><body>child</body></html>");
  m_server.Html("/opener", "<html><head><title>Opener</title></head><body>"
                           "<script>window.open('/child')</script></body></html>");
  for (const WindowCase& c : {WindowCase{true, "POPBLOCK"}, WindowCase{false, "NEWINDOW"}}) {
    SCOPED_TRACE(c.key);
    ReleasePages();
    Options().blockPopups = c.blockPopups;
    std::shared_ptr<CRecordingSink> sink;
    PagePtr opener = NewPage(&sink);
    ASSERT_GE(Load(opener.get(), *sink, m_server.Url("/opener")), 0);
    ASSERT_GE(sink->WaitFor(W(c.key), L"URL=" + W(m_server.Url("/child")) + L"\n"), 0);
    PagePtr child;
    if (c.blockPopups) {
      EXPECT_EQ(-1, sink->WaitFor(L"NEWINDOW", L"", 0, std::chrono::seconds(0)));
      EXPECT_EQ(E_FAIL, Manager()->NewLinkPage(nullptr, opener.get(), &child)) << "no window waits";
      continue;
    }
    std::shared_ptr<CRecordingSink> childSink;
    child = AdoptWindowOf(opener.get(), &childSink);
    ASSERT_TRUE(child);
    EXPECT_GE(childSink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(m_server.Url("/child")) + L"\n"), 0);
    EXPECT_GE(childSink->WaitFor(L"TITLECHANGE", L"TITLE=Child\n"), 0);
  }
}

}  // namespace
}  // namespace webtest

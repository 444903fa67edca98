// What web content can ask of the browser, on every engine: the script API and closing
// its own tab only for the host's own origins. Each page ends with a last word (its
// title) after what must not happen, so that the checks need no waiting.
#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

// A page that tries to drive the browser a moment after loading: the favourite dialogs,
// a raw channel to the engine (which no page sees), and closing its tab.
const char kDriveTheBrowser[] =
    "<script>"
    "setTimeout(() => {"
    "  try { window.uicontrol.showEditFavorite(1, 0, 'My Bank', 'http://phish.example/'); } catch (e) {}"
    "  try { window.__uicontrolHost(JSON.stringify({type: 'addfav', parentId: 0})); } catch (e) {}"
    "  try { window.__uicontrolHost(JSON.stringify({type: 'close'})); } catch (e) {}"
    "  window.close();"
    "  document.title = 'host=' + typeof window.__uicontrolHost + ' api=' + typeof window.uicontrol;"
    "}, 50);"
    "</script>";

int Count(const CRecordingSink& sink, const std::wstring& key) {
  int count = 0;
  for (const RecordedEvent& event : sink.Events()) count += event.key == key;
  return count;
}

TEST_P(PageContractTest, AnUntrustedOriginCannotDriveTheBrowser) {
  CHttpServer untrusted;  // a second origin: another port
  TrustOrigins({m_server.Url("")});
  untrusted.Html("/drive", "<html><head><title>Drive</title></head><body>" + std::string(kDriveTheBrowser) + "</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, untrusted.Url("/drive")), 0);
  // The title is the page's last word: whatever it asked before was decided first.
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=host=undefined api=undefined\n"), 0);
  EXPECT_EQ(0, Count(*sink, L"SHOWEDITFAVWND"));
  EXPECT_EQ(0, Count(*sink, L"SHOWADDFAVWND"));
  EXPECT_EQ(0, Count(*sink, L"CLOSEWNDNOTIFTY"));
  // The page is still there and obeys the host.
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/")), 0);
}

TEST_P(PageContractTest, TheSameCallsFromATrustedPageStillWork) {
  TrustOrigins({m_server.Url("")});
  m_server.Html("/drive", "<html><head><title>Drive</title></head><body>" + std::string(kDriveTheBrowser) + "</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/drive");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  int edit = sink->WaitFor(L"SHOWEDITFAVWND");
  ASSERT_GE(edit, 0);
  EXPECT_EQ(L"FAVID=1\nFAVPID=0\nTITLECHANGE=My Bank\nURL=http://phish.example/\n", sink->Events()[edit].value);
  EXPECT_GE(sink->WaitFor(L"CLOSEWNDNOTIFTY", L"URL=" + W(url) + L"\n"), 0);
  // Even the browser's own pages never see the raw channel: their API is window.uicontrol.
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=host=undefined api=object\n"), 0);
  EXPECT_EQ(0, Count(*sink, L"SHOWADDFAVWND"));
  EXPECT_EQ(1, Count(*sink, L"CLOSEWNDNOTIFTY")) << "one close per document";
}


std::string LastTitle(const CRecordingSink& sink) {
  std::wstring title;
  for (const RecordedEvent& event : sink.Events())
    if (event.key == L"TITLECHANGE") title = event.value;
  return "last title: " + std::string(title.begin(), title.end());
}

// The page lists its own globals and its document's own properties that look like the
// engine's (an underscore first, or the browser's name) and shows them as its title.
const char kListOurNames[] =
    "<script>"
    "const ours = (o) => Object.getOwnPropertyNames(o).filter((n) => /^_|uicontrol/i.test(n));"
    "window.addEventListener('load', () => {"
    "  document.title = 'names:' + ours(window).concat(ours(document)).sort().join(',');"
    "});"
    "</script>";

TEST_P(PageContractTest, NothingOfTheEngineIsInThePagesOwnWorld) {
  CHttpServer untrusted;
  TrustOrigins({m_server.Url("")});
  const std::string html = "<html><head><title>Names</title></head><body>" + std::string(kListOurNames) + "</body></html>";
  untrusted.Html("/names", html);
  m_server.Html("/names", html);
  struct Case {
    std::string url;
    std::wstring expected;  // the host's own pages have their documented API, nothing more
  } const cases[] = {{untrusted.Url("/names"), L"TITLE=names:\n"}, {m_server.Url("/names"), L"TITLE=names:uicontrol\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::shared_ptr<CRecordingSink> sink;
    PagePtr page = NewPage(&sink);
    // Muted first, so that the helper the engine uses for it is there if it ever leaks.
    ASSERT_TRUE(SUCCEEDED(page->SendOrder(L"CMD=WEBAUDIO\nSTATE=0\n")));
    ASSERT_GE(Load(page.get(), *sink, c.url), 0);
    EXPECT_GE(sink->WaitFor(L"TITLECHANGE", c.expected, 0, std::chrono::seconds(20)), 0) << LastTitle(*sink);
  }
}

}  // namespace
}  // namespace webtest

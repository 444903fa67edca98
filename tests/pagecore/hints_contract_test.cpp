// Link hints on every engine: the elements a page shows in its document, a same-origin
// frame and an open shadow root are labelled (a frame of another origin and a closed
// shadow root are out of reach), and only the host's keys follow one; the page's own
// scripts can neither see the engine's hints nor forge a follow.
#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

int Count(const CRecordingSink& sink, const std::wstring& key, size_t from = 0) {
  int count = 0;
  const std::vector<RecordedEvent> events = sink.Events();
  for (size_t i = from; i < events.size(); ++i) count += events[i].key == key;
  return count;
}

// Once labels appear in its document, the page tries to follow a hint of its own: keys
// dispatched as if typed, a hints table of its own world, and messages on the engine's
// channel (which it does not have). Then it says so in its title.
const char kForger[] =
    "<script>"
    "window.__uicontrolHints = {found: [{el: document.createElement('a')}], labels: [], host: null};"
    "new MutationObserver(function () {"
    "  for (const key of ['a', 's', 'Enter'])"
    "    document.dispatchEvent(new KeyboardEvent('keydown', {key: key, bubbles: true}));"
    "  try { window.__uicontrolHost(JSON.stringify({type: 'hint', url: '/evil'})); } catch (e) {}"
    "  document.dispatchEvent(new CustomEvent('uicontrol-request', {detail: JSON.stringify({type: 'hint', url: '/evil'})}));"
    "  document.title = 'tried';"
    "}).observe(document.documentElement, {childList: true});"
    "</script>";

TEST_P(PageContractTest, HintsReachFramesAndShadowRootsAndOnlyTheHostFollowsThem) {
  CHttpServer other;  // another origin: another port
  other.Html("/frame", "<html><body><a href='/x'>far</a></body></html>");
  m_server.Html("/frame", "<html><body style='margin:0'><a href='/f1'>one</a> <a href='/f2'>two</a></body></html>");
  m_server.Html("/one", "<html><head><title>One</title></head><body>one</body></html>");
  m_server.Html("/hints",
                "<html><head><title>Hints</title></head><body style='margin:0'>"
                "<a href='/one'>first</a> <a href='/two' style='display:none'>hidden</a> <button>press</button>"
                "<div id=open></div><div id=closed></div>"
                "<iframe src='/frame' style='width:300px;height:60px'></iframe>"
                "<iframe src='" + other.Url("/frame") + "' style='width:300px;height:60px'></iframe>"
                "<script>"
                "document.getElementById('open').attachShadow({mode: 'open'}).innerHTML = '<a href=\"/s\">in shadow</a>';"
                "document.getElementById('closed').attachShadow({mode: 'closed'}).innerHTML = '<a href=\"/c\">closed</a>';"
                "</script>" + std::string(kForger) + "</body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ShowPage(*sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/hints")), 0);

  // The link, the button, the open shadow root's link and the frame's two links.
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SHOWHINTS\nNEW=TRUE\n"));
  int shown = sink->WaitFor(L"HINTS", L"", from);
  ASSERT_GE(shown, 0);
  EXPECT_EQ(L"5", CRecordingSink::Param(sink->Events()[shown].value, L"COUNT")) << sink->Events()[shown].value;

  // The page tried what it could once the labels appeared: nothing followed.
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=tried\n", from), 0);
  EXPECT_EQ(0, Count(*sink, L"NEWINDOW", from));
  EXPECT_EQ(0, Count(*sink, L"BEFORENAVIGATE", from));

  // The host's key: the first label, the page's first link, in a new background window.
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=HINTKEY\nKEY=a\n"));
  const int opened = sink->WaitFor(L"NEWINDOW", L"", from);
  ASSERT_GE(opened, 0);
  const std::wstring value = sink->Events()[opened].value;
  EXPECT_EQ(W(m_server.Url("/one")), CRecordingSink::Param(value, L"URL")) << value;
  EXPECT_EQ(L"TRUE", CRecordingSink::Param(value, L"BACKGROUND")) << value;
  EXPECT_GE(sink->WaitFor(L"HINTS", L"COUNT=0\n", from), 0);
  std::shared_ptr<CRecordingSink> childSink;
  PagePtr child = AdoptWindowOf(page.get(), &childSink);
  ASSERT_TRUE(child);
  EXPECT_GE(childSink->WaitFor(L"TITLECHANGE", L"TITLE=One\n"), 0);
}

}  // namespace
}  // namespace webtest

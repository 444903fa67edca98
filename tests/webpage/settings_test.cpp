// Orders and values that change the page: text size, view size, audio, home page,
// closing and recovering tabs, favourites, status text, parent window, and the
// orders this engine cannot carry out.
#include <cstdio>

#include "platform/window.h"
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

// A page whose title reports what its script measures once it has loaded.
std::string Probe(const std::string& expression, const std::string& body = "") {
  return "<html><head><title>probe</title></head><body>" + body + "<p>text</p><script>onload = () => { document.title = " +
         expression + "; };</script></body></html>";
}

TEST_F(WebpageChromiumTest, FontSizeSetsThePagesTextSize) {
  m_server.Html("/font", Probe("getComputedStyle(document.querySelector('p')).fontSize"));
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  qxdk::UTIL::com_ptr<IWebPageData> data;
  page.QueryInterface(data);
  ASSERT_TRUE(data);
  EXPECT_EQ(L"2", GetData(page.get(), L"font.size"));
  ASSERT_EQ(S_OK, data->SetData(L"font.size", L"4"));
  EXPECT_EQ(L"4", GetData(page.get(), L"font.size"));
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/font")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=24px\n"), 0);

  EXPECT_EQ(E_INVALIDARG, data->SetData(L"font.size", L"9"));
  EXPECT_EQ(E_INVALIDARG, data->SetData(L"font.size", L"big"));
  EXPECT_EQ(L"4", GetData(page.get(), L"font.size"));
  EXPECT_TRUE(log.Contains("font.size must be 0 to 4"));
  EXPECT_EQ(E_INVALIDARG, data->SetData(L"zoom", L"1"));
  wchar_t* text = nullptr;
  EXPECT_EQ(E_INVALIDARG, data->GetData(L"nothing", &text));
  EXPECT_EQ(nullptr, text);
  wchar_t foreign[] = L"x";
  EXPECT_EQ(E_INVALIDARG, data->FreeData(foreign));
}

TEST_F(WebpageChromiumTest, MoveWebWindowSizesTheView) {
  m_server.Html("/size", Probe("innerWidth + 'x' + innerHeight"));
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  // left 10, top 20, right 650, bottom 500
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=MOVEWEBWINDOW\nLPARAM=28a01f4\nWPARAM=a0014\n"));
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/size")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=640x480\n"), 0);
}

TEST_F(WebpageChromiumTest, ZoomAppliesToEveryPageAtOnceAndStaysAcrossNavigation) {
  // The page reports the width it is laid out for and the pixels per CSS pixel.
  m_server.Html("/zoom", "<html><head><title>probe</title></head><body><script>"
                         "const report = () => { document.title = innerWidth + '@' + devicePixelRatio; };"
                         "onload = report; onresize = report;"
                         "</script></body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=MOVEWEBWINDOW\nLPARAM=3200258\nWPARAM=0\n"));  // 800 x 600
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/zoom")), 0);
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=800@1\n"), 0);

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, SetWebPageZoom(Manager(), 200));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=400@2\n", from), 0) << "an open page, at once";
  from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/zoom")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=400@2\n", from), 0) << "after a navigation";

  std::shared_ptr<CRecordingSink> laterSink;
  PagePtr later = NewPage(&laterSink);
  ASSERT_GE(Load(later.get(), *laterSink, m_server.Url("/zoom")), 0);
  EXPECT_GE(laterSink->WaitFor(L"TITLECHANGE", L"@2\n"), 0) << "a page opened later";

  from = sink->Count();
  ASSERT_EQ(S_OK, SetWebPageZoom(Manager(), 50));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=1600@0.5\n", from), 0);
  from = sink->Count();
  ASSERT_EQ(S_OK, SetWebPageZoom(Manager(), 100));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=800@1\n", from), 0);

  EXPECT_EQ(E_INVALIDARG, SetWebPageZoom(Manager(), 10));
  EXPECT_EQ(E_INVALIDARG, SetWebPageZoom(Manager(), 501));
  EXPECT_EQ(E_INVALIDARG, SetWebPageZoom(nullptr, 100));
  EXPECT_TRUE(log.Contains("SetWebPageZoom: 10 is not a zoom from 25 to 500"));
}

TEST_F(WebpageChromiumTest, WebAudioMutesAndUnmutesTheMedia) {
  m_server.Html("/audio", Probe("String(document.querySelector('audio').muted)", "<audio src=\"/sound.wav\"></audio>"));
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=WEBAUDIO\nSTATE=0\n"));
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/audio")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=true\n"), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=WEBAUDIO\nSTATE=1\n"));
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=REFRESH\n"));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=false\n", from), 0);
}

TEST_F(WebpageChromiumTest, GoHomeOpensTheHomePage) {
  m_server.Html("/home", "<html><head><title>Home</title></head><body>home</body></html>");
  m_options.homePage = W(m_server.Url("/home"));
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOHOME\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + m_options.homePage + L"\n"), 0);
}

TEST_F(WebpageChromiumTest, GoHomeWithoutAHomePageIsAnError) {
  m_options.homePage.clear();
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GOHOME\n"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=no home page is set\n"), 0);
}

TEST_F(WebpageChromiumTest, RecoverWndReopensAKeptTab) {
  m_server.Html("/kept", "<html><head><title>Kept</title></head><body>kept</body></html>");
  std::wstring keptUrl = W(m_server.Url("/kept"));
  m_options.lookupRecoveredTab = [keptUrl](const std::wstring& uuid, std::wstring* url) {
    if (uuid != L"1234") return false;
    *url = keptUrl;
    return true;
  };
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=RECOVERWND\nuuid=1234\n"));
  EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + keptUrl + L"\n"), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=RECOVERWND\nuuid=9999\n"));
  EXPECT_GE(sink->WaitFor(L"NAVIGATEERROR", L"ERROR=no closed tab 9999 is kept\n"), 0);
  EXPECT_TRUE(log.Contains("no closed tab 9999 is kept"));
}

TEST_F(WebpageChromiumTest, PagesAskForTheFavouriteDialogsThroughTheirScriptApi) {
  m_server.Html("/fav", "<html><body><script>"
                        "window.uicontrol.showAddFavorite(26);"
                        "window.uicontrol.showEditFavorite(7, 26, 'My fav', 'http://example.test/');"
                        "window.uicontrol.showAddFavorite(-1);"
                        "</script></body></html>");
  // Only the browser's own pages have the API (security_test.cpp: the others).
  m_options.trustedOrigins = {m_server.Url("/")};
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/fav")), 0);
  int add = sink->WaitFor(L"SHOWADDFAVWND");
  ASSERT_GE(add, 0);
  EXPECT_EQ(L"FAVPID=1a\n", sink->Events()[add].value);
  int edit = sink->WaitFor(L"SHOWEDITFAVWND");
  ASSERT_GE(edit, 0);
  EXPECT_EQ(L"FAVID=7\nFAVPID=1a\nTITLECHANGE=My fav\nURL=http://example.test/\n", sink->Events()[edit].value);
  EXPECT_TRUE(log.WaitFor("showAddFavorite needs a parent id"));
  EXPECT_EQ(-1, sink->WaitFor(L"SHOWADDFAVWND", L"", add + 1, std::chrono::seconds(0)));
}

TEST_F(WebpageChromiumTest, HoveringALinkShowsItsAddressAsStatusText) {
  m_server.Html("/hover", "<html><body><a id=\"l\" href=\"/target\">go</a><script>onload = () => "
                          "document.getElementById('l').dispatchEvent(new MouseEvent('mouseover', {bubbles: true}));"
                          "</script></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/hover")));
  EXPECT_GE(sink->WaitFor(L"STATEXTCHANGED", L"STATTEXT=" + W(m_server.Url("/target")) + L"\n"), 0);
}

TEST_F(WebpageChromiumTest, OrdersWithoutMeaningHereAreReportedNotIgnored) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  for (const wchar_t* name : {L"FILEOPEN", L"PAGESETUP", L"PROPERTIES", L"internetOpation", L"SHOWCONTEXTMENU",
                              L"SENDLINKBYEMAIL", L"FILESENDPAGEBYEMAIL"}) {
    size_t from = sink->Count();
    ASSERT_EQ(S_OK, Order(page.get(), std::wstring(L"CMD=") + name + L"\n"));
    int at = sink->WaitFor(L"ORDERUNSUPPORTED", std::wstring(L"CMD=") + name + L"\n", from);
    ASSERT_GE(at, 0) << platform::WideToUtf8(name);
    EXPECT_NE(L"", CRecordingSink::Param(sink->Events()[at].value, L"REASON"));
    EXPECT_GE(sink->WaitFor(L"STATEXTCHANGED", std::wstring(L"STATTEXT=") + name + L" is not available", from), 0);
    EXPECT_TRUE(log.Contains(platform::WideToUtf8(name) + " is not available"));
  }
}

TEST_F(WebpageChromiumTest, ParentHwndReparentsThePagesWindow) {
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  int at = sink->WaitFor(L"CHLIDHANDLE");
  ASSERT_GE(at, 0);
  HWND view = HandleFromValue(std::wcstoul(CRecordingSink::Param(sink->Events()[at].value, L"HWND").c_str(), nullptr, 16));
  HWND parent = platform::CreateWindowHandle();
  char hex[32];
  std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(HandleValue(parent)));
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=PARENTHWND\nHWND=" + W(hex) + L"\n"));
  // Orders run in order on the engine thread: once a later order has been answered, this one ran.
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\n"));
  ASSERT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=FIND\n"), 0);
  EXPECT_EQ(parent, platform::GetParentWindow(view));

  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=PARENTHWND\nHWND=fffff\n"));
  EXPECT_TRUE(log.WaitFor("PARENTHWND names no window (fffff)"));
  platform::DestroyWindowHandle(parent);
}

}  // namespace
}  // namespace webtest

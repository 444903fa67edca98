// Page commands: the orders that reach the page, byte for byte, and their failure paths.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "fixture.h"
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/dialogs.h"
#include "platform/window.h"

using qxdk::UTIL::com_ptr;
namespace msg = logging::msg;

class CommandsTest : public LibraryTest {
 protected:
  unsigned int Open(const std::wstring& url = L"http://a/") {
    unsigned int id = tm.AddTab(url, 0);
    page = pages->LastPage();
    return id;
  }
  std::wstring LastOrder() {
    Drain();
    std::vector<std::wstring> orders = page->Orders();
    return orders.empty() ? L"" : orders.back();
  }
  com_ptr<FakeWebPage> page;
};

TEST_F(CommandsTest, StandardCommandsSendTheirOrders) {
  unsigned int id = Open();
  CTabManager* t = &tm;
  using Command = std::function<bool(unsigned int)>;
  const std::vector<std::pair<Command, const wchar_t*>> commands = {
      {[t](unsigned int u) { return t->GoForward(u); }, L"GOFORWORD"},
      {[t](unsigned int u) { return t->GoBack(u); }, L"GOBACK"},
      {[t](unsigned int u) { return t->Stop(u); }, L"STOP"},
      {[t](unsigned int u) { return t->Refresh(u); }, L"REFRESH"},
      {[t](unsigned int u) { return t->OpenFile(u); }, L"FILEOPEN"},
      {[t](unsigned int u) { return t->SaveWebToImage(u); }, L"SAVEIMGE"},
      {[t](unsigned int u) { return t->PageSet(u); }, L"PAGESETUP"},
      {[t](unsigned int u) { return t->Print(u); }, L"PRINT"},
      {[t](unsigned int u) { return t->PrintView(u); }, L"PRINTPREVIEW"},
      {[t](unsigned int u) { return t->SendLinkUseEmail(u); }, L"SENDLINKBYEMAIL"},
      {[t](unsigned int u) { return t->SendWebUseEmail(u); }, L"FILESENDPAGEBYEMAIL"},
      {[t](unsigned int u) { return t->PageAttribute(u); }, L"PROPERTIES"},
      {[t](unsigned int u) { return t->ViewSource(u); }, L"VIEWSOURCE"},
      {[t](unsigned int u) { return t->InternetOption(u); }, L"internetOpation"},
      {[t](unsigned int u) { return t->SaveWeb(u); }, L"SAVEHTML"},
  };

  for (const auto& c : commands) {
    EXPECT_TRUE(c.first(id)) << c.second;
    EXPECT_EQ(LastOrder(), std::wstring(L"CMD=") + c.second + L"\n");
    rec.ClearLogs();
    EXPECT_FALSE(c.first(0)) << c.second;
    EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyPageID)) << c.second;
    EXPECT_FALSE(c.first(id + 1000)) << c.second;
    EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kTabNotFound)) << c.second;
  }
  tm.ShowWebFind(id);
  EXPECT_EQ(LastOrder(), L"CMD=FIND\n");
  tm.ShowWebMenu(id);
  EXPECT_EQ(LastOrder(), L"CMD=SHOWCONTEXTMENU\n");
  size_t before = page->Orders().size();
  tm.ShowWebFind(0);
  tm.ShowWebMenu(999);
  Drain();
  EXPECT_EQ(page->Orders().size(), before);
}

TEST_F(CommandsTest, NavigateWritesTheURLAtOnceAndSendsTheLatest) {
  unsigned int id = Open(L"http://first/");
  page->Fire(L"TITLECHANGE", L"TITLE=First\nURL=http://first/\n");
  {
    UIQueueGate gate;  // both navigations wait behind it
    EXPECT_TRUE(tm.Navigate(id, L"http://second/"));
    EXPECT_TRUE(tm.Navigate(id, L"http://third/"));
    CLuaTabInfo info = tm.FindTabInfoForLua(id);
    EXPECT_EQ(info.strURL, L"http://third/");
    EXPECT_EQ(info.strTitle, L"First") << "the title stays until the task runs";
    gate.Open();
  }
  Drain();
  std::vector<std::wstring> orders = page->Orders();
  ASSERT_EQ(orders.size(), 3u);
  EXPECT_EQ(orders[1], L"CMD=NAVIGATE\nURL=http://third/\n");
  EXPECT_EQ(orders[2], L"CMD=NAVIGATE\nURL=http://third/\n");
  EXPECT_EQ(tm.FindTabInfoForLua(id).strTitle, L"");

  EXPECT_FALSE(tm.Navigate(0, L"http://x/"));
  EXPECT_FALSE(tm.Navigate(id, L""));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kEmptyURL));
  EXPECT_FALSE(tm.Navigate(4242, L"http://x/"));
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, msg::kPageNotFound));
  EXPECT_FALSE(tm.Navigate(id, L"http://x/\nCMD=ClOSETAB"));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, msg::kUnsafeText));
  EXPECT_EQ(tm.FindTabInfoForLua(id).strURL, L"http://third/");
}

TEST_F(CommandsTest, HomeNeedsAHomePage) {
  unsigned int id = Open();
  std::atomic<int> boxes{0};
  std::string caption;
  HWND boxOwner = nullptr;
  // The message box belongs to the bound main window, not to the dialog owner.
  HWND bound = platform::CreateWindowHandle();
  tm.BindMainWnd(bound);
  CTabManager::SetMainWndHwnd(platform::CreateWindowHandle());
  platform::SetMessageBoxHandler([&](HWND owner, const std::string&, const std::string& c, UINT type) {
    ++boxes;
    boxOwner = owner;
    caption = c;
    EXPECT_EQ(type, MB_ICONERROR);
    return IDOK;
  });
  EXPECT_FALSE(tm.Home(id));
  EXPECT_FALSE(tm.Home(id));
  EXPECT_EQ(boxes, 2) << "once per call";
  EXPECT_EQ(caption, "\xe6\x8f\x90\xe7\xa4\xba");
  EXPECT_EQ(boxOwner, bound);
  CTabManager::SetMainWndHwnd(nullptr);
  tm.BindMainWnd(nullptr);
  Drain();
  EXPECT_EQ(page->Orders().size(), 1u);

  store->SetSetting(L"defaulturl", L"http://home/");
  EXPECT_TRUE(tm.Home(id));
  EXPECT_EQ(LastOrder(), L"CMD=GOHOME\n");
  EXPECT_FALSE(tm.Home(999));
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(boxes, 2);
}

TEST_F(CommandsTest, SaveWebRefusesInternalPages) {
  unsigned int id = Open(L"RE:History");
  EXPECT_FALSE(tm.SaveWeb(id));
  unsigned int blank = Open(L"about:blank");
  EXPECT_TRUE(tm.SaveWeb(blank));
  EXPECT_EQ(LastOrder(), L"CMD=SAVEHTML\n");
}

TEST_F(CommandsTest, TextSizeAndZoom) {
  unsigned int id = Open();
  EXPECT_EQ(tm.GetTextSize(0), 0u);
  EXPECT_EQ(tm.GetTextSize(999), 2u);
  EXPECT_EQ(tm.GetTextSize(id), 2u) << "the page has no value";
  EXPECT_TRUE(tm.SetTextSize(id, 4));
  Drain();
  EXPECT_EQ(page->DataSet()[L"font.size"], L"4");
  EXPECT_EQ(tm.FindTabInfoForLua(id).uFontSize, 4u);
  page->SetValue(L"font.size", L"3");
  EXPECT_EQ(tm.GetTextSize(id), 3u) << "the page's own value is the answer";
  EXPECT_EQ(page->OutstandingData(), 0);

  // A page without IWebPageData: nothing sent, the record still notes the size.
  pages->configure = [](FakeWebPage& p) { p.answerData = false; };
  unsigned int other = Open();
  EXPECT_TRUE(tm.SetTextSize(other, 1));
  Drain();
  EXPECT_EQ(tm.FindTabInfoForLua(other).uFontSize, 1u);
  EXPECT_EQ(tm.GetTextSize(other), 2u);

  EXPECT_TRUE(tm.SetWebZoom(0, 120));
  EXPECT_EQ(store->CallsNamed(L"page.size").back().text, L"120");
  EXPECT_EQ(tm.GetWebZoom(7), 120u);
  store->RemoveSetting(L"page.size");
  EXPECT_EQ(tm.GetWebZoom(7), 0u);
}

TEST_F(CommandsTest, WindowOrders) {
  unsigned int id = Open();
  RECT rc{10, 20, 300, 400};
  EXPECT_TRUE(tm.MoveWebWindow(id, rc));
  EXPECT_EQ(LastOrder(), L"CMD=MOVEWEBWINDOW\nLPARAM=12c0190\nWPARAM=a0014\n");
  rc = RECT{-1, 0, 0, -2};
  EXPECT_TRUE(tm.MoveWebWindow(id, rc));
  EXPECT_EQ(LastOrder(), L"CMD=MOVEWEBWINDOW\nLPARAM=fffe\nWPARAM=ffff0000\n");
  EXPECT_FALSE(tm.MoveWebWindow(999, rc));

  EXPECT_FALSE(tm.SendParentHwnd(0, HandleFromValue(5)));
  EXPECT_FALSE(tm.SendParentHwnd(999, HandleFromValue(5)));
  EXPECT_TRUE(tm.SendParentHwnd(id, HandleFromValue(0x1c)));
  EXPECT_EQ(LastOrder(), L"CMD=PARENTHWND\nHWND=1c\n");

  EXPECT_FALSE(tm.ChangeIeZorder(HandleFromValue(5)));
  EXPECT_FALSE(tm.ShowIeWindow(0, true));
  EXPECT_FALSE(tm.ShowIeWindow(999, true));
  EXPECT_TRUE(tm.ShowIeWindow(id, true)) << "even before the web window is known";
}

TEST_F(CommandsTest, ParentWindowWaitsForALinkTabsPage) {
  unsigned int parent = Open();
  unsigned int child = tm.AddLinkTab(L"", parent);
  // The IO task may run before the UI worker has created the page; it waits for it.
  EXPECT_TRUE(tm.SendParentHwnd(child, HandleFromValue(0x2a)));
  Drain();
  ASSERT_TRUE(pages->WaitForPages(2));
  com_ptr<FakeWebPage> childPage = pages->LastPage();
  ASSERT_TRUE(childPage->WaitForOrders(1));
  EXPECT_EQ(childPage->Orders()[0], L"CMD=PARENTHWND\nHWND=2a\n");
}

TEST_F(CommandsTest, AudioFlagFollowsTheLastSuccessfulCall) {
  unsigned int id = Open();
  EXPECT_TRUE(tm.EnableAudio(id, true));
  EXPECT_EQ(LastOrder(), L"CMD=WEBAUDIO\nSTATE=1\n");
  EXPECT_TRUE(tm.IsAudioEnable());
  EXPECT_FALSE(tm.EnableAudio(999, false));
  EXPECT_TRUE(tm.IsAudioEnable()) << "unchanged on failure";
  EXPECT_FALSE(tm.EnableAudio(0, false));
  EXPECT_TRUE(tm.IsAudioEnable());
  EXPECT_TRUE(tm.EnableAudio(id, false));
  EXPECT_EQ(LastOrder(), L"CMD=WEBAUDIO\nSTATE=0\n");
  EXPECT_FALSE(tm.IsAudioEnable());
}

TEST_F(CommandsTest, RecordsWithoutAPageDropOrders) {
  pages->refuseWith = E_FAIL;
  unsigned int id = tm.RestoreTab(L"uuid");  // its page is refused on the worker
  ASSERT_NE(id, 0u);
  Drain();
  EXPECT_TRUE(tm.GoBack(id));
  EXPECT_TRUE(tm.Navigate(id, L"http://x/"));
  RECT rc{0, 0, 1, 1};
  EXPECT_TRUE(tm.MoveWebWindow(id, rc));
  EXPECT_TRUE(tm.SetTextSize(id, 3));
  EXPECT_EQ(tm.GetTextSize(id), 2u);
  EXPECT_TRUE(tm.RestoreTab(id, L"u"));
  EXPECT_TRUE(tm.EnableAudio(id, true));
  EXPECT_TRUE(tm.CloseTab(id));
  Drain();
  EXPECT_TRUE(pages->Pages().empty());
}

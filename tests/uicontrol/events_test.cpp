// Page events: record updates, side effects and forwarding.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "fixture.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/window.h"

using qxdk::UTIL::com_ptr;

namespace {

class FakeAddDlg : public IAddFavoriteDlg, public CountedObject<FakeAddDlg> {
 public:
  HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT ShowDialog(uint32_t pid, HWND owner, int a, int b, int c) override {
    calls.push_back({pid, owner, a + b + c});
    return S_OK;
  }
  struct Call {
    uint32_t pid;
    HWND owner;
    int zeros;
  };
  std::vector<Call> calls;
};

class FakeEditDlg : public IEditFavoriteDlg, public CountedObject<FakeEditDlg> {
 public:
  HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT ShowDialog(uint32_t pid, uint32_t id, HWND owner, const wchar_t* title, const wchar_t* url, int) override {
    last = std::to_wstring(pid) + L"|" + std::to_wstring(id) + L"|" + std::to_wstring(HandleValue(owner)) + L"|" +
           title + L"|" + url;
    return S_OK;
  }
  std::wstring last;
};

SYSTEMTIME FixedTime() {
  SYSTEMTIME t{};
  t.wYear = 2024;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 9;
  t.wMinute = 7;
  t.wSecond = 2;
  return t;
}

}  // namespace

class EventsTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    platform::SetLocalTimeSourceForTest(FixedTime);
    id = tm.AddTab(L"http://Example.TEST/Path/File.HTML", 0);
    page = pages->LastPage();
  }
  void TearDown() override {
    platform::SetLocalTimeSourceForTest(nullptr);
    LibraryTest::TearDown();
  }
  CLuaTabInfo Info() { return tm.FindTabInfoForLua(id); }
  std::vector<std::wstring> History() {
    std::vector<std::wstring> texts;
    for (const StoreCall& c : store->CallsNamed(L"add_his")) texts.push_back(c.text);
    return texts;
  }
  unsigned int id = 0;
  com_ptr<FakeWebPage> page;
};

TEST_F(EventsTest, EveryEventIsForwardedUnchanged) {
  const std::vector<std::pair<std::wstring, std::wstring>> events = {
      {L"NAVIGATECOMPLETE", L"URL=x\n"}, {L"NEWINDOW", L""}, {L"PROCESSCRASH", L"a=b"}, {L"NAVIGATEERROR", L"CODE=404\n"},
      {L"CLOSEWNDNOTIFTY", L""},         {L"POPBLOCK", L"URL=p\n"}, {L"BEFORENAVIGATE", L""}};
  for (const auto& e : events) page->Fire(e.first, e.second);
  std::vector<TabEvent> seen = rec.TabEvents();
  ASSERT_EQ(seen.size(), events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(seen[i].uID, id);
    EXPECT_EQ(seen[i].key, events[i].first);
    EXPECT_EQ(seen[i].value, events[i].second);
  }
  // A key outside the table is forwarded too and changes nothing.
  tm.FindTabInfoInternal(id)->NotifyOrder(L"SOMETHINGELSE", L"K=V\n", 0);
  EXPECT_EQ(rec.TabEvents().back().key, L"SOMETHINGELSE");
  tm.FindTabInfoInternal(id)->NotifyOrder(nullptr, nullptr, 0);  // no crash
}

TEST_F(EventsTest, StateProgressAndStatus) {
  page->Fire(L"GOFORWARDSTATECHANGE", L"STATE=TRUE\n");
  page->Fire(L"BACKFORWARDSTATECHANGE", L"STATE=True\n");
  EXPECT_TRUE(Info().bForwardEnable);
  EXPECT_TRUE(Info().bBackwardEnable);
  page->Fire(L"GOFORWARDSTATECHANGE", L"STATE=False\n");
  EXPECT_FALSE(Info().bForwardEnable);
  page->Fire(L"PROGRESSCHANGE", L"PERCENT=1f\n");
  EXPECT_EQ(Info().uProcent, 31u);
  page->Fire(L"STATEXTCHANGED", L"STATTEXT=Loading a=b\n");
  EXPECT_EQ(Info().strStatText, L"Loading a=b");
  page->Fire(L"BLOCKURLTOUCH", L"BLOCKURLSTAT=1\n");
  EXPECT_EQ(Info().eTabSafeInfo, eTabSafeBlocked);
  page->Fire(L"BLOCKURLTOUCH", L"BLOCKURLSTAT=2\n");
  EXPECT_EQ(Info().eTabSafeInfo, eTabSafeNormal);
  page->Fire(L"SHOWIEWND", L"ISWNDSHOW=1\n");
  EXPECT_EQ(tm.FindTabInfoInternal(id)->bIsWndShow, 1);
  page->Fire(L"SHOWIEWND", L"ISWNDSHOW=2\n");
  EXPECT_EQ(tm.FindTabInfoInternal(id)->bIsWndShow, 0);
}

TEST_F(EventsTest, TitleChangeRulesAndReplacements) {
  page->Fire(L"TITLECHANGE", L"TITLE=Brand\u00ae\u00a0Name\nURL=http://b/\n");
  EXPECT_EQ(Info().strTitle, L"Brand\treg\t Name");
  EXPECT_EQ(Info().strURL, L"http://b/");
  // The stored title holds the replacement, so the same event is forwarded again.
  page->Fire(L"TITLECHANGE", L"TITLE=Brand\u00ae\u00a0Name\nURL=http://b/\n");
  EXPECT_EQ(rec.TabEvents().size(), 2u);

  page->Fire(L"TITLECHANGE", L"TITLE=Plain\nURL=http://b/\n");
  page->Fire(L"TITLECHANGE", L"TITLE=Plain\nURL=http://b/\n");
  EXPECT_EQ(rec.TabEvents().size(), 3u) << "an unchanged title is not forwarded";

  page->Fire(L"BEFORENAVIGATE", L"");
  EXPECT_EQ(Info().strTitle, L"");
  EXPECT_EQ(Info().strURL, L"http://b/");

  // Either sign is found wherever it stands (titles are looked at four characters at a
  // time, then one by one), and a title without one is kept as it came.
  for (size_t at = 0; at < 10; ++at) {
    for (wchar_t sign : {L'\u00ae', L'\u00a0'}) {
      std::wstring title(9, L'x');
      title.insert(at, 1, sign);
      std::wstring shown = title;
      if (sign == L'\u00a0') shown[at] = L' ';
      else shown.replace(at, 1, L"\treg\t");
      page->Fire(L"TITLECHANGE", L"TITLE=" + title + L"\nURL=http://b/\n");
      EXPECT_EQ(Info().strTitle, shown) << "sign at " << at;
    }
  }
  page->Fire(L"TITLECHANGE", L"TITLE=\u00af\u00a1\u00ad\u01ae plain\nURL=http://b/\n");
  EXPECT_EQ(Info().strTitle, L"\u00af\u00a1\u00ad\u01ae plain");
}

TEST_F(EventsTest, DocumentCompleteWritesHistory) {
  page->Fire(L"TITLECHANGE", L"TITLE=T\nURL=http://Example.TEST/Path/File.HTML\n");
  page->Fire(L"ICONCHANGE", L"ICOURL=http://e/a.ico\n");
  EXPECT_TRUE(History().empty()) << "no history before the document is complete";
  page->Fire(L"DOCUMENTCOMPLETE", L"");
  EXPECT_EQ(Info().uProcent, 100u);
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0],
            L"date=2024-3-7 9:7:2\nicon=http://e/a.ico\ntitle=T\nurl=http://example.test/path/file.html\n");
  page->Fire(L"ICONCHANGE", L"ICOURL=http://e/b.ico\n");
  ASSERT_EQ(History().size(), 2u);
  EXPECT_NE(History()[1].find(L"icon=http://e/b.ico\n"), std::wstring::npos);

  // The next navigation order clears the flag.
  tm.Navigate(id, L"http://next/");
  Drain();
  page->Fire(L"ICONCHANGE", L"ICOURL=http://e/c.ico\n");
  EXPECT_EQ(History().size(), 2u);
}

TEST_F(EventsTest, HistorySkipsInternalPagesAndCannotBeInjected) {
  for (const wchar_t* url : {L"ABOUT:BLANK", L"re:fav", L"re:History", L"re:favorite", L"re:options", L"RE:INDEX"}) {
    page->Fire(L"TITLECHANGE", std::wstring(L"TITLE=x\nURL=") + url + L"\n");
    page->Fire(L"DOCUMENTCOMPLETE", L"");
  }
  EXPECT_TRUE(History().empty());
  page->Fire(L"TITLECHANGE", L"TITLE=x\nURL=re:index2\n");
  page->Fire(L"DOCUMENTCOMPLETE", L"");
  ASSERT_EQ(History().size(), 1u);

  // A title that cannot come through an event text, set as the page's record holds it.
  tm.FindTabInfoInternal(id)->strTitle.Set(L"evil\nurl=http://forged/");
  page->Fire(L"ICONCHANGE", L"ICOURL=i\n");
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1], L"date=2024-3-7 9:7:2\nicon=i\ntitle=evil url=http://forged/\nurl=re:index2\n");

  // Without a store the event still reaches the user interface.
  CTabManager::SetDataAccessor(nullptr);
  size_t before = rec.TabEvents().size();
  page->Fire(L"DOCUMENTCOMPLETE", L"");
  EXPECT_EQ(rec.TabEvents().size(), before + 1);
}

std::wstring HandleText(HWND hWnd) {
  wchar_t hex[32];
  std::swprintf(hex, 32, L"HWND=%x\n", static_cast<unsigned>(HandleValue(hWnd)));
  return hex;
}

TEST_F(EventsTest, ChildHandleBeforeTheMainWindowIsPlacedWhenItIsBound) {
  // An earlier test may have bound a window; unbind it so that this path runs every time.
  tm.BindMainWnd(nullptr);
  const unsigned int second = tm.AddTab(L"http://second/", 0);
  com_ptr<FakeWebPage> secondPage = pages->LastPage();
  const unsigned int closed = tm.AddTab(L"http://closed/", 0);
  com_ptr<FakeWebPage> closedPage = pages->LastPage();
  HWND web = platform::CreateWindowHandle(), web2 = platform::CreateWindowHandle();
  HWND webClosed = platform::CreateWindowHandle();

  // Delivered on this thread: the page's thread is never held waiting for the host.
  page->Fire(L"CHLIDHANDLE", HandleText(web));
  closedPage->Fire(L"CHLIDHANDLE", HandleText(webClosed));
  secondPage->Fire(L"CHLIDHANDLE", HandleText(web2));
  EXPECT_EQ(rec.TabEvents().size(), 3u) << "the events reach the interface at once";
  EXPECT_EQ(Info().hWndWeb, web);
  EXPECT_FALSE(platform::IsWindowVisible(web));
  EXPECT_EQ(Info().eTabStatusInfo, eTabStatusNew);
  EXPECT_TRUE(tm.CloseTab(closed));
  Drain();

  HWND main = platform::CreateWindowHandle();
  tm.BindMainWnd(main);
  for (HWND w : {web, web2}) {
    EXPECT_EQ(platform::GetParentWindow(w), main);
    EXPECT_TRUE(platform::IsWindowVisible(w));
  }
  EXPECT_EQ(Info().eTabStatusInfo, eTabStatusReady);
  EXPECT_EQ(tm.FindTabInfoForLua(second).eTabStatusInfo, eTabStatusReady);
  EXPECT_NE(platform::GetParentWindow(webClosed), main) << "a tab closed meanwhile stays closed";
  EXPECT_FALSE(platform::IsWindowVisible(webClosed));

  // Once bound, a window goes in at once; closing hides it and moves it to the desktop.
  HWND web3 = platform::CreateWindowHandle();
  secondPage->Fire(L"CHLIDHANDLE", HandleText(web3));
  EXPECT_EQ(platform::GetParentWindow(web3), main);
  EXPECT_TRUE(tm.CloseTab(id));
  EXPECT_FALSE(platform::IsWindowVisible(web));
  EXPECT_EQ(platform::GetParentWindow(web), GetDesktopWindow());
}

TEST_F(EventsTest, FavouriteDialogs) {
  page->Fire(L"SHOWADDFAVWND", L"FAVPID=1a\n");  // no dialog installed: only forwarded
  EXPECT_EQ(rec.TabEvents().size(), 1u);

  HWND owner = platform::CreateWindowHandle();
  CTabManager::SetMainWndHwnd(owner);
  com_ptr<FakeAddDlg> add(new FakeAddDlg());
  com_ptr<FakeEditDlg> edit(new FakeEditDlg());
  CTabManager::SetAddFavoriteDlg(add);
  CTabManager::SetEditFavoriteDlg(edit);
  page->Fire(L"SHOWADDFAVWND", L"FAVPID=1a\n");
  ASSERT_EQ(add->calls.size(), 1u);
  EXPECT_EQ(add->calls[0].pid, 0x1au);
  EXPECT_EQ(add->calls[0].owner, owner);
  EXPECT_EQ(add->calls[0].zeros, 0);
  page->Fire(L"SHOWEDITFAVWND", L"FAVID=ff\nFAVPID=2\nTITLECHANGE=My page\nURL=http://m/\n");
  EXPECT_EQ(edit->last, L"2|255|" + std::to_wstring(HandleValue(owner)) + L"|My page|http://m/");

  // The owner is read when the event arrives; a null owner is passed on as it is, even
  // with a main window bound. Home's message box belongs to the bound window instead.
  CTabManager::SetMainWndHwnd(nullptr);
  HWND bound = platform::CreateWindowHandle();
  tm.BindMainWnd(bound);
  page->Fire(L"SHOWADDFAVWND", L"FAVPID=1\n");
  page->Fire(L"SHOWEDITFAVWND", L"FAVID=1\nFAVPID=2\nTITLECHANGE=t\nURL=http://m/\n");
  ASSERT_EQ(add->calls.size(), 2u);
  EXPECT_EQ(add->calls[1].owner, nullptr);
  EXPECT_EQ(edit->last, L"2|1|0|t|http://m/");
  CTabManager::SetMainWndHwnd(owner);
  HWND boxOwner = nullptr;
  platform::SetMessageBoxHandler([&](HWND hWnd, const std::string&, const std::string&, UINT) {
    boxOwner = hWnd;
    return IDOK;
  });
  EXPECT_FALSE(tm.Home(id)) << "no home page is set";
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(boxOwner, bound) << "the bound window, not the dialog owner";
  CTabManager::SetMainWndHwnd(nullptr);
  tm.BindMainWnd(nullptr);
}

TEST_F(EventsTest, EventsFromThePagesOwnThread) {
  for (int i = 0; i < 50; ++i) page->FireAsync(L"PROGRESSCHANGE", L"PERCENT=" + std::to_wstring(i % 10) + L"\n");
  page->WaitEventsDelivered();
  ASSERT_TRUE(rec.WaitForTabEvents(50));
  EXPECT_EQ(Info().uProcent, 9u);
}

// The library with the Chromium page engine and the data store double: three tabs on
// local pages, a navigation, back, the navigation history document, and closing. Every
// expected event reaches the user-interface callback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "components/webpage/webpagemanager.h"
#include "host/localserver.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/fixture.h"

using qxdk::UTIL::com_ptr;

namespace {

// Waits for a condition on the recorded events, re-checking at each new event.
template <class Pred>
bool WaitUntil(Recorder& rec, Pred pred, int seconds = 60) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    rec.WaitForTabEvents(rec.TabEvents().size() + 1, std::chrono::seconds(1));
  }
}

bool Has(Recorder& rec, unsigned int id, const std::wstring& key, const std::wstring& part = L"") {
  for (const TabEvent& e : rec.TabEvents()) {
    if (e.uID == id && e.key == key && e.value.find(part) != std::wstring::npos) return true;
  }
  return false;
}

int Count(Recorder& rec, unsigned int id, const std::wstring& key) {
  int count = 0;
  for (const TabEvent& e : rec.TabEvents()) count += e.uID == id && e.key == key;
  return count;
}

// The page of the report: a moment after loading it tries to drive the browser, then
// shows in its title what it could see. Its last title, set after everything it tried,
// travels the same way as anything it tried would: once it has come, nothing is left
// on the way.
const char kDrivePage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Drive</title></head><body><script>\n"
    "setTimeout(() => {\n"
    "  try { window.uicontrol.showEditFavorite(1, 0, \"My Bank\", \"http://phish.example/\"); } catch (e) {}\n"
    "  try { window.__uicontrolHost(JSON.stringify({type: \"addfav\", parentId: 0})); } catch (e) {}\n"
    "  try { window.__uicontrolHost(JSON.stringify({type: \"close\"})); } catch (e) {}\n"
    "  const seen = \"host=\" + typeof window.__uicontrolHost + \" api=\" + typeof window.uicontrol;\n"
    "  document.title = seen;\n"
    "  window.close();\n"
    "  setTimeout(() => { document.title = seen + \" end\"; }, 0);\n"
    "}, 50);\n"
    "</script></body></html>\n";

// A page that sets its title 10,000 times in a loop, then once more, and a while later
// to a final marker.
const char kFloodPage[] =
    "<!DOCTYPE html><html><head><title>start</title></head><body><script>\n"
    "onload = async () => {\n"
    "  for (let i = 0; i < 10000; ++i) { document.title = \"title \" + i; await null; }\n"
    "  document.title = \"last title\";\n"
    "  setTimeout(() => { document.title = \"flood over\"; }, 1000);\n"
    "};\n"
    "</script></body></html>\n";

}  // namespace

class EngineLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "Chromium is not installed";
    std::string error;
    ASSERT_TRUE(server.Start(PAGES_DIR, &error)) << error;
    base = platform::Utf8ToWide(server.BaseURL());
    // The test's own pages, served twice: from an origin the host trusts, as it trusts
    // the pages it serves, and from a second, untrusted one (another port).
    testPages = ::testing::TempDir() + "e2e_engine_pages_" + std::to_string(getpid());
    std::filesystem::create_directories(testPages);
    std::ofstream(testPages + "/drive.html") << kDrivePage;
    std::ofstream(testPages + "/flood.html") << kFloodPage;
    ASSERT_TRUE(trustedServer.Start(testPages, &error)) << error;
    ASSERT_TRUE(untrustedServer.Start(testPages, &error)) << error;
    WebPageOptions options;
    options.trustedOrigins = {server.BaseURL(), trustedServer.BaseURL()};
    options.downloadsFolder = ::testing::TempDir() + "e2e_engine_downloads";
    options.onTabClosedForRecovery = [this](const std::wstring&, const std::wstring&, const std::wstring&) {
      std::lock_guard<std::mutex> guard(closedMutex);
      ++closedPages;
      closedChanged.notify_all();
    };
    IWebPageManager* raw = nullptr;
    ASSERT_EQ(CreateWebPageManager(options, &raw), S_OK);
    engine.Attach(raw);
    store = new FakeDataStore();
    store->answer = [](const std::wstring& name, const std::wstring&, std::wstring* text) {
      if (name != L"get_icon") return false;
      text->clear();
      return true;
    };
    rec.Install();
    CTabManager::SetWebPageManager(engine);
    CTabManager::SetDataAccessor(store);
    tm.BindMainWnd(platform::CreateWindowHandle());
    ASSERT_TRUE(tm.Start());
  }
  void TearDown() override {
    if (!engine) return;
    tm.CloseAllTab();
    tm.Quit();
    CTabManager::SetWebPageManager(nullptr);
    CTabManager::SetDataAccessor(nullptr);
    engine.reset();
    rec.Uninstall();
    server.Stop();
    trustedServer.Stop();
    untrustedServer.Stop();
    std::filesystem::remove_all(testPages);
  }

  CTabManager& tm = CTabManager::Instance();
  CLocalServer server;
  CLocalServer trustedServer, untrustedServer;
  std::string testPages;
  std::wstring base;
  com_ptr<IWebPageManager> engine;
  com_ptr<FakeDataStore> store;
  Recorder rec;
  // Pages the engine has closed, counted on the engine thread.
  std::mutex closedMutex;
  std::condition_variable closedChanged;
  int closedPages = 0;

  bool WaitForClosedPages(int count) {
    std::unique_lock<std::mutex> lock(closedMutex);
    return closedChanged.wait_for(lock, std::chrono::seconds(60), [&] { return closedPages >= count; });
  }
};

TEST_F(EngineLibraryTest, ThreeTabsNavigateBackHistoryAndClose) {
  unsigned int a = tm.AddTab(base + L"index.html", 0);
  unsigned int b = tm.AddTab(base + L"news.html", 0);
  unsigned int c = tm.AddTab(base + L"notes.html", 0);
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(WaitUntil(rec, [&] {
    return Has(rec, a, L"DOCUMENTCOMPLETE") && Has(rec, b, L"DOCUMENTCOMPLETE") && Has(rec, c, L"DOCUMENTCOMPLETE");
  }));
  for (unsigned int id : {a, b, c}) {
    EXPECT_TRUE(Has(rec, id, L"CHLIDHANDLE")) << id;
    EXPECT_TRUE(Has(rec, id, L"TITLECHANGE")) << id;
    EXPECT_TRUE(Has(rec, id, L"PROGRESSCHANGE")) << id;
    EXPECT_EQ(tm.FindTabInfoForLua(id).uProcent, 100u);
    EXPECT_EQ(tm.FindTabInfoForLua(id).eTabStatusInfo, eTabStatusReady);
  }
  EXPECT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(c).strTitle == L"Notes \u7b14\u8bb0 \treg\t"; }));
  EXPECT_FALSE(store->CallsNamed(L"add_his").empty()) << "loaded pages write history";

  ASSERT_TRUE(tm.Navigate(a, base + L"weather.html"));
  ASSERT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(a).strTitle == L"Weather"; }));
  ASSERT_TRUE(WaitUntil(rec, [&] { return Has(rec, a, L"BACKFORWARDSTATECHANGE", L"TRUE"); }));
  ASSERT_TRUE(tm.GoBack(a));
  ASSERT_TRUE(WaitUntil(rec, [&] {
    CLuaTabInfo info = tm.FindTabInfoForLua(a);
    return info.strTitle == L"uicontrol start page" && info.uProcent == 100 && info.bForwardEnable;
  }));

  ASSERT_TRUE(tm.GetNavigateHistory(a));
  ASSERT_TRUE(rec.WaitForData(L"GetNavigateHistory", 1, std::chrono::seconds(60)));
  const std::wstring doc = rec.DataEventsNamed(L"GetNavigateHistory").back().data;
  const size_t current = doc.find(L"name=\"uicontrol start page\"");
  const size_t forward = doc.find(L"name=\"Weather\"");
  ASSERT_NE(current, std::wstring::npos) << doc;
  ASSERT_NE(forward, std::wstring::npos) << doc;
  EXPECT_LT(current, forward) << "the current page comes before the forward entry";
  EXPECT_NE(doc.find(L"current=\"true\""), std::wstring::npos) << doc;

  tm.CloseAllTab();
  EXPECT_EQ(tm.GetTabsCount(), 0);
  const size_t closedAt = rec.TabEvents().size();
  tm.Quit();  // the close orders have been sent when the workers end
  ASSERT_TRUE(WaitForClosedPages(3)) << "the engine closed the three pages";
  // One more page through the same engine thread: when it has loaded, everything the
  // closed pages could still have sent has been delivered.
  ASSERT_TRUE(tm.Start());
  unsigned int d = tm.AddTab(base + L"news.html", 0);
  ASSERT_TRUE(d);
  ASSERT_TRUE(WaitUntil(rec, [&] { return Has(rec, d, L"DOCUMENTCOMPLETE"); }));
  const std::vector<TabEvent> events = rec.TabEvents();
  for (size_t i = closedAt; i < events.size(); ++i) {
    EXPECT_TRUE(events[i].uID != a && events[i].uID != b && events[i].uID != c)
        << "closed tab " << events[i].uID << " reported " << platform::WideToUtf8(events[i].key);
  }
}

TEST_F(EngineLibraryTest, AnUntrustedPageCannotDriveTheBrowserButATrustedOneStillCan) {
  const std::wstring untrusted = platform::Utf8ToWide(untrustedServer.BaseURL()) + L"drive.html";
  const std::wstring trusted = platform::Utf8ToWide(trustedServer.BaseURL()) + L"drive.html";
  ASSERT_NE(untrusted, trusted);
  unsigned int a = tm.AddTab(untrusted, 0);
  ASSERT_TRUE(a);
  ASSERT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(a).strTitle == L"host=undefined api=undefined end"; }));
  EXPECT_FALSE(Has(rec, a, L"SHOWEDITFAVWND"));
  EXPECT_FALSE(Has(rec, a, L"SHOWADDFAVWND"));
  EXPECT_FALSE(Has(rec, a, L"CLOSEWNDNOTIFTY"));
  EXPECT_EQ(tm.GetTabsCount(), 1) << "the tab is still there";

  // The same calls from the browser's own pages: the dialog API works there (the raw
  // binding is gone for every page), and they may close their tab.
  unsigned int b = tm.AddTab(trusted, 0);
  ASSERT_TRUE(b);
  ASSERT_TRUE(WaitUntil(rec, [&] { return Has(rec, b, L"SHOWEDITFAVWND") && Has(rec, b, L"CLOSEWNDNOTIFTY"); }));
  EXPECT_TRUE(Has(rec, b, L"SHOWEDITFAVWND", L"FAVID=1\nFAVPID=0\nTITLECHANGE=My Bank\nURL=http://phish.example/\n"));
  EXPECT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(b).strTitle.rfind(L"host=undefined api=object", 0) == 0; }));
  EXPECT_FALSE(Has(rec, a, L"SHOWEDITFAVWND"));
}

TEST_F(EngineLibraryTest, ATitleSetTenThousandTimesLeavesTheHostResponsive) {
  const std::wstring flood = platform::Utf8ToWide(untrustedServer.BaseURL()) + L"flood.html";
  auto opened = std::chrono::steady_clock::now();
  unsigned int a = tm.AddTab(flood, 0);
  ASSERT_TRUE(a);
  ASSERT_TRUE(WaitUntil(rec, [&] { return Has(rec, a, L"DOCUMENTCOMPLETE"); }));
  // While the page changes its title the host is answered at once: another tab opens and
  // loads, its history comes back.
  auto started = std::chrono::steady_clock::now();
  unsigned int b = tm.AddTab(base + L"news.html", 0);
  ASSERT_TRUE(b);
  ASSERT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(b).strTitle == L"Local news"; }));
  ASSERT_TRUE(tm.GetNavigateHistory(b));
  ASSERT_TRUE(rec.WaitForData(L"GetNavigateHistory", 1, std::chrono::seconds(60)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

  // The last title arrives, and only a few of the 10,000 on the way.
  // The page's final marker comes after everything it set: once it is here, no title is
  // left on the way, and none of the loop's titles came after the last one.
  ASSERT_TRUE(WaitUntil(rec, [&] { return tm.FindTabInfoForLua(a).strTitle == L"flood over"; }));
  // At most one title per 250 ms, plus the first, the last, the marker and the document's own.
  const int allowed = static_cast<int>((std::chrono::steady_clock::now() - opened) / std::chrono::milliseconds(250)) + 5;
  bool loopEnded = false;
  for (const TabEvent& e : rec.TabEvents()) {
    if (e.uID != a || e.key != L"TITLECHANGE") continue;
    const bool final = e.value.find(L"last title") != std::wstring::npos || e.value.find(L"flood over") != std::wstring::npos;
    EXPECT_TRUE(final || !loopEnded) << "a stale title after the last: " << platform::WideToUtf8(e.value);
    loopEnded = loopEnded || final;
  }
  EXPECT_LE(Count(rec, a, L"TITLECHANGE"), std::min(allowed, 201));
}

// The library with the Chromium page engine and the data store double: three tabs on
// local pages, a navigation, back, the navigation history document, and closing. Every
// expected event reaches the user-interface callback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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

}  // namespace

class EngineLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "Chromium is not installed";
    std::string error;
    ASSERT_TRUE(server.Start(PAGES_DIR, &error)) << error;
    base = platform::Utf8ToWide(server.BaseURL());
    WebPageOptions options;
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
  }

  CTabManager& tm = CTabManager::Instance();
  CLocalServer server;
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

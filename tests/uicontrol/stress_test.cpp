// Page events from several threads while the user-interface thread adds, closes,
// snapshots and counts tabs. Run under ThreadSanitizer and AddressSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "fixture.h"

using qxdk::UTIL::com_ptr;

class StressTest : public LibraryTest {};

TEST_F(StressTest, EventsRaceWithTheRegistry) {
  std::atomic<bool> stop{false};
  std::mutex livePagesMutex;
  std::vector<com_ptr<FakeWebPage>> livePages;

  auto deliver = [&](int seed) {
    std::mt19937 rng(seed);
    const std::vector<std::pair<std::wstring, std::wstring>> events = {
        {L"PROGRESSCHANGE", L"PERCENT=1f\n"},
        {L"TITLECHANGE", L"TITLE=t\u00ae\u00a0x\nURL=http://s/\n"},
        {L"ICONCHANGE", L"ICOURL=http://s/i.ico\n"},
        {L"DOCUMENTCOMPLETE", L""},
        {L"BEFORENAVIGATE", L""},
        {L"STATEXTCHANGED", L"STATTEXT=loading\n"},
        {L"GOFORWARDSTATECHANGE", L"STATE=FALSE\n"},
        {L"BLOCKURLTOUCH", L"BLOCKURLSTAT=1\n"},
    };
    while (!stop) {
      com_ptr<FakeWebPage> page;
      {
        std::lock_guard<std::mutex> guard(livePagesMutex);
        if (!livePages.empty()) page = livePages[rng() % livePages.size()];
      }
      if (!page) {
        std::this_thread::yield();
        continue;
      }
      const auto& e = events[rng() % events.size()];
      page->Fire(e.first, e.second);
    }
  };
  std::vector<std::thread> senders;
  for (int i = 0; i < 3; ++i) senders.emplace_back(deliver, i + 1);

  std::vector<unsigned int> open;
  std::mt19937 rng(42);
  for (int round = 0; round < 400; ++round) {
    switch (rng() % 5) {
      case 0:
      case 1: {
        unsigned int id = tm.AddTab(L"http://s/" + std::to_wstring(round), 0);
        ASSERT_NE(id, 0u);
        open.push_back(id);
        std::lock_guard<std::mutex> guard(livePagesMutex);
        livePages.push_back(pages->LastPage());
        break;
      }
      case 2:
        if (!open.empty()) {
          size_t i = rng() % open.size();
          EXPECT_TRUE(tm.CloseTab(open[i]));
          open.erase(open.begin() + i);
        }
        break;
      case 3:
        if (!open.empty()) {
          CLuaTabInfo info = tm.FindTabInfoForLua(open[rng() % open.size()]);
          EXPECT_NE(info.uID, 0u);
          CTabInfo copy = tm.FindTabInfo(open[rng() % open.size()]);
          EXPECT_NE(copy.uID, 0u);
        }
        break;
      case 4:
        EXPECT_EQ(tm.GetTabsCount(), static_cast<int>(open.size()));
        break;
    }
  }
  stop = true;
  for (auto& t : senders) t.join();
  EXPECT_EQ(tm.GetTabsCount(), static_cast<int>(open.size()));
  tm.CloseAllTab();
  Drain();
  {
    std::lock_guard<std::mutex> guard(livePagesMutex);
    livePages.clear();
  }
  pages->ForgetPages();
  EXPECT_GT(rec.TabEvents().size(), 0u);
}

#include "host/notificationqueue.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

HostNotification TabEvent(unsigned int id, const std::wstring& key, const std::wstring& value) {
  return {HostNotification::Tab, id, key, value};
}

HostNotification DataEvent(const std::wstring& key, const std::wstring& value) {
  return {HostNotification::Data, 0, key, value};
}

// "id key value" of every notification the queue hands over now.
std::vector<std::wstring> Drain(CNotificationQueue& queue) {
  std::vector<std::wstring> out;
  queue.Dispatch([&](const HostNotification& n) {
    out.push_back(std::to_wstring(n.uID) + L" " + n.key + L" " + n.value);
  });
  return out;
}

TEST(HostNotificationQueue, ProducersOnOtherThreadsWakeTheDispatcherAndKeepTheirOrder) {
  CNotificationQueue queue;
  ASSERT_GE(queue.ReadableFd(), 0);
  constexpr int kProducers = 3;
  constexpr int kEach = 500;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) {
        queue.Push(TabEvent(static_cast<unsigned>(p + 1), L"TITLECHANGE", std::to_wstring(i)));
      }
    });
  }
  std::vector<std::vector<int>> seen(kProducers);
  size_t total = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (total < kProducers * kEach && std::chrono::steady_clock::now() < deadline) {
    pollfd fd{queue.ReadableFd(), POLLIN, 0};
    poll(&fd, 1, 60000);
    queue.ClearReadable();
    total += queue.Dispatch([&](const HostNotification& n) { seen[n.uID - 1].push_back(std::stoi(n.value)); });
  }
  for (std::thread& t : producers) t.join();
  ASSERT_EQ(static_cast<size_t>(kProducers * kEach), total);
  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(static_cast<size_t>(kEach), seen[p].size());
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(i, seen[p][i]);
  }
  pollfd fd{queue.ReadableFd(), POLLIN, 0};
  EXPECT_EQ(0, poll(&fd, 1, 0));  // nothing left: not readable
}

TEST(HostNotificationQueue, ATabsNewerProgressReplacesItsWaitingOne) {
  CNotificationQueue queue;
  queue.Push(TabEvent(1, L"PROGRESSCHANGE", L"10"));
  queue.Push(TabEvent(2, L"PROGRESSCHANGE", L"20"));
  queue.Push(TabEvent(1, L"TITLECHANGE", L"News"));
  queue.Push(TabEvent(1, L"PROGRESSCHANGE", L"60"));
  queue.Push(DataEvent(L"GetAllFavoriteItems", L"a"));
  queue.Push(DataEvent(L"GetAllFavoriteItems", L"b"));  // answers are never merged
  queue.Push(TabEvent(1, L"PROGRESSCHANGE", L"100"));
  EXPECT_EQ((std::vector<std::wstring>{L"2 PROGRESSCHANGE 20", L"1 TITLECHANGE News", L"0 GetAllFavoriteItems a",
                                       L"0 GetAllFavoriteItems b", L"1 PROGRESSCHANGE 100"}),
            Drain(queue));
  // Handed over: the next progress of the tab is new again.
  queue.Push(TabEvent(1, L"PROGRESSCHANGE", L"5"));
  EXPECT_EQ((std::vector<std::wstring>{L"1 PROGRESSCHANGE 5"}), Drain(queue));
}

TEST(HostNotificationQueue, PastTheLimitOnlyTheOldestProgressAndStatusTextGo) {
  CNotificationQueue queue(10);
  // Status texts of one tab are not merged: past the limit the oldest ones go.
  for (int i = 0; i < 8; ++i) queue.Push(TabEvent(1, L"STATEXTCHANGED", std::to_wstring(i)));
  for (int i = 0; i < 6; ++i) queue.Push(TabEvent(1, L"NAVIGATECOMPLETE", std::to_wstring(i)));
  const std::vector<std::wstring> got = Drain(queue);
  std::vector<std::wstring> expected;
  for (int i = 4; i < 8; ++i) expected.push_back(L"1 STATEXTCHANGED " + std::to_wstring(i));
  for (int i = 0; i < 6; ++i) expected.push_back(L"1 NAVIGATECOMPLETE " + std::to_wstring(i));
  EXPECT_EQ(expected, got);
  // Nothing that must arrive is dropped, whatever the limit.
  for (int i = 0; i < 30; ++i) queue.Push(DataEvent(L"GetNavigateHistory", std::to_wstring(i)));
  EXPECT_EQ(30u, Drain(queue).size());
}

TEST(HostNotificationQueue, ReplacedProgressAndDroppedStatusTextKeepTheNewestInOrder) {
  CNotificationQueue queue(10);
  for (int i = 0; i < 200; ++i) {
    queue.Push(TabEvent(1, L"PROGRESSCHANGE", std::to_wstring(i)));
    queue.Push(TabEvent(2, L"STATEXTCHANGED", std::to_wstring(i)));
  }
  std::vector<std::wstring> expected;
  for (int i = 191; i < 199; ++i) expected.push_back(L"2 STATEXTCHANGED " + std::to_wstring(i));
  expected.push_back(L"1 PROGRESSCHANGE 199");
  expected.push_back(L"2 STATEXTCHANGED 199");
  EXPECT_EQ(expected, Drain(queue));
}

TEST(HostNotificationQueue, AFailingHandlerLosesOnlyItsOwnNotification) {
  CNotificationQueue queue;
  queue.Push(TabEvent(1, L"TITLECHANGE", L"a"));
  queue.Push(TabEvent(1, L"TITLECHANGE", L"b"));
  std::vector<std::wstring> seen;
  queue.Dispatch([&](const HostNotification& n) {
    if (n.value == L"a") throw 1;
    seen.push_back(n.value);
  });
  EXPECT_EQ(std::vector<std::wstring>{L"b"}, seen);
}

}  // namespace

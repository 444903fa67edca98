// The callback slot: replaced while calls run, on this thread and on others.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "uicontrol/callbackslot.h"

using Fn = std::function<void(int)>;

TEST(CallbackSlot, CallsTheCurrentCallbackOnly) {
  CCallbackSlot<Fn> slot;
  slot.Call(1);  // nothing set: nothing happens
  int a = 0, b = 0;
  slot.Set([&](int v) { a += v; });
  slot.Call(2);
  slot.Set([&](int v) { b += v; });
  slot.Call(3);
  slot.Set(nullptr);
  slot.Call(4);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 3);
}

TEST(CallbackSlot, ACallbackMayReplaceItselfAndCallAgain) {
  CCallbackSlot<Fn> slot;
  std::vector<int> seen;
  auto guard = std::make_shared<int>(5);
  slot.Set([&, guard](int v) {
    seen.push_back(v * *guard);  // uses its captured state after the replacement below
    if (v == 1) {
      slot.Set([&](int w) { seen.push_back(-w); });
      slot.Call(2);
      seen.push_back(*guard);
    }
  });
  guard.reset();
  slot.Call(1);
  slot.Call(3);
  EXPECT_EQ(seen, (std::vector<int>{5, -2, 5, -3}));
}

TEST(CallbackSlot, ReplacedWhileOtherThreadsCall) {
  CCallbackSlot<Fn> slot;
  std::atomic<long> total{0};
  std::atomic<bool> stop{false};
  slot.Set([&](int v) { total += v; });
  std::vector<std::thread> callers;
  for (int i = 0; i < 3; ++i) {
    callers.emplace_back([&] {
      while (!stop) slot.Call(1);
    });
  }
  // Replace it many times while every caller is known to be calling.
  while (total.load() < 3) std::this_thread::yield();
  for (int i = 0; i < 200; ++i) slot.Set([&](int v) { total += v; });
  const long before = total.load();
  while (total.load() < before + 3) std::this_thread::yield();
  stop = true;
  for (auto& t : callers) t.join();
}

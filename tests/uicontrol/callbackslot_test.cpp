// The callback slot: replaced while calls run, on this thread and on others.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

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

// Callers on other threads pick up each replacement, and never go back to an older
// callback once they have called a newer one.
TEST(CallbackSlot, ReplacedWhileOtherThreadsCall) {
  constexpr int kCallers = 3;
  constexpr int kReplacements = 50;
  CCallbackSlot<Fn> slot;
  std::atomic<int> lastSeen[kCallers];
  for (auto& seen : lastSeen) seen = -1;
  std::atomic<bool> wentBack{false};
  std::atomic<bool> stop{false};
  auto generation = [&](int gen) {
    return [&, gen](int caller) {
      if (lastSeen[caller].exchange(gen) > gen) wentBack = true;
    };
  };
  slot.Set(generation(0));
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.emplace_back([&, i] {
      while (!stop) slot.Call(i);
    });
  }
  struct JoinAtExit {
    std::atomic<bool>& stop;
    std::vector<std::thread>& threads;
    ~JoinAtExit() {
      stop = true;
      for (auto& t : threads) t.join();
    }
  } joiner{stop, callers};

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto everyCallerReached = [&](int gen) {
    for (;;) {
      bool all = true;
      for (auto& seen : lastSeen) all = all && seen.load() >= gen;
      if (all) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::yield();
    }
  };
  ASSERT_TRUE(everyCallerReached(0));
  for (int gen = 1; gen <= kReplacements; ++gen) {
    slot.Set(generation(gen));
    ASSERT_TRUE(everyCallerReached(gen)) << "replacement " << gen << " was not picked up";
  }
  EXPECT_FALSE(wentBack.load()) << "a caller went back to a replaced callback";
}

TEST(CallbackSlot, ANewSlotAtTheAddressOfAnOldOneCallsItsOwnCallback) {
  alignas(CCallbackSlot<Fn>) unsigned char storage[sizeof(CCallbackSlot<Fn>)];
  int oldCalls = 0, newCalls = 0;
  auto* slot = new (storage) CCallbackSlot<Fn>();
  slot->Set([&](int) { ++oldCalls; });
  slot->Call(1);
  slot->~CCallbackSlot<Fn>();
  slot = new (storage) CCallbackSlot<Fn>();
  slot->Set([&](int) { ++newCalls; });
  slot->Call(1);
  slot->~CCallbackSlot<Fn>();
  EXPECT_EQ(oldCalls, 1);
  EXPECT_EQ(newCalls, 1);
}

TEST(CallbackSlot, AReplacedCallbackIsReleasedOnceNoCallRunsIt) {
  CCallbackSlot<Fn> slot;
  auto state = std::make_shared<int>(0);
  std::weak_ptr<int> weak = state;
  slot.Set([state](int v) { *state += v; });
  state.reset();
  std::thread other([&] { slot.Call(1); });  // a thread that called it and lives on
  other.join();
  slot.Call(1);
  ASSERT_FALSE(weak.expired());
  EXPECT_EQ(*weak.lock(), 2);
  slot.Set(nullptr);
  EXPECT_TRUE(weak.expired()) << "no thread keeps the old callback";
}

// A callback replaced while another thread runs it lives until that thread leaves it, and
// is then released by that thread, with no further call or replacement.
TEST(CallbackSlot, TheLastThreadToLeaveAReplacedCallbackReleasesIt) {
  CCallbackSlot<Fn> slot;
  auto state = std::make_shared<int>(0);
  std::weak_ptr<int> weak = state;
  platform::CMutex lock;
  platform::CCondition changed;
  bool inside = false, mayLeave = false;
  slot.Set([&, state](int) {
    platform::CMutexLock guard(lock);
    inside = true;
    changed.NotifyAll();
    while (!mayLeave) changed.Wait(guard);
    ++*state;
  });
  state.reset();
  std::thread caller([&] { slot.Call(1); });
  {
    platform::CMutexLock guard(lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!inside && changed.WaitUntil(guard, deadline)) {
    }
    if (!inside) {
      mayLeave = true;
      guard.Unlock();
      caller.join();
      FAIL() << "the call never started";
    }
  }
  slot.Set(nullptr);
  EXPECT_FALSE(weak.expired()) << "released while a thread still runs it";
  {
    platform::CMutexLock guard(lock);
    mayLeave = true;
    changed.NotifyAll();
  }
  caller.join();
  EXPECT_TRUE(weak.expired()) << "the leaving thread did not release it";
}

// Threads that end hand their records on: many short-lived callers leave none inside.
TEST(CallbackSlot, ManyShortLivedCallersLeaveNoneInside) {
  CCallbackSlot<Fn> slot;
  std::atomic<int> calls{0};
  slot.Set([&](int) { ++calls; });
  for (int round = 0; round < 20; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&] { slot.Call(1); });
    for (auto& t : threads) t.join();
  }
  EXPECT_EQ(calls.load(), 80);
  EXPECT_FALSE(callbackslot_detail::AnyThreadInsideACall());
  auto state = std::make_shared<int>(0);
  std::weak_ptr<int> weak = state;
  slot.Set([state](int) {});
  state.reset();
  slot.Set(nullptr);
  EXPECT_TRUE(weak.expired()) << "the setter could not release the replaced callback";
}

#include "components/webpage/engineloop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "webpage/testsink.h"

namespace webpage {
namespace {

using namespace std::chrono_literals;

TEST(WebpageEngineLoop, RunsTasksInOrderOnItsOwnThread) {
  CEngineLoop loop;
  ASSERT_TRUE(loop.Running());
  std::mutex mutex;
  std::vector<int> order;
  webtest::CSignal done;
  std::thread::id seen;
  for (int i = 0; i < 100; ++i) {
    loop.Post([&, i] {
      std::lock_guard<std::mutex> guard(mutex);
      order.push_back(i);
      seen = std::this_thread::get_id();
      if (i == 99) done.Set();
    });
  }
  ASSERT_TRUE(done.Wait());
  std::lock_guard<std::mutex> guard(mutex);
  ASSERT_EQ(100u, order.size());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(i, order[i]);
  EXPECT_NE(std::this_thread::get_id(), seen);
  EXPECT_FALSE(loop.IsLoopThread());
}

TEST(WebpageEngineLoop, DelayedTasksWaitTheirTurn) {
  CEngineLoop loop;
  std::mutex mutex;
  std::vector<std::string> order;
  webtest::CSignal done;
  auto record = [&](const char* what) {
    std::lock_guard<std::mutex> guard(mutex);
    order.push_back(what);
  };
  auto start = std::chrono::steady_clock::now();
  loop.Post([&] { record("now"); });
  loop.PostDelayed(100ms, [&] {
    record("late");
    done.Set();
  });
  loop.PostDelayed(20ms, [&] { record("soon"); });
  ASSERT_TRUE(done.Wait());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  std::lock_guard<std::mutex> guard(mutex);
  EXPECT_EQ((std::vector<std::string>{"now", "soon", "late"}), order);
}

// Waits until the steady clock has moved past the given point: the condition that
// makes a delayed task due, not a guess at how long that takes.
void WaitUntilPast(std::chrono::steady_clock::time_point point) {
  while (std::chrono::steady_clock::now() <= point) std::this_thread::yield();
}

// Tasks run in the order they became runnable, however late the loop gets to them:
// a posted task when it was posted, a delayed one when it fell due.
TEST(WebpageEngineLoop, TasksRunInTheOrderTheyBecameRunnable) {
  CEngineLoop loop;
  std::mutex mutex;
  std::vector<std::string> order;
  auto record = [&](const char* what) {
    std::lock_guard<std::mutex> guard(mutex);
    order.push_back(what);
  };
  webtest::CSignal busy, release, done;
  loop.Post([&] {
    busy.Set();
    release.Wait();
  });
  ASSERT_TRUE(busy.Wait());

  // Posted before the delayed task falls due: runs first, though both wait.
  loop.Post([&] { record("posted first"); });
  auto due = std::chrono::steady_clock::now() + 2ms;
  loop.PostDelayed(2ms, [&] { record("due after it"); });
  WaitUntilPast(due + 1ms);
  // Fell due before this one was posted: runs before it.
  due = std::chrono::steady_clock::now() + 1ms;
  loop.PostDelayed(1ms, [&] { record("due before the next"); });
  WaitUntilPast(due + 1ms);
  loop.Post([&] { record("posted last"); });
  // Due at once: as a post, after everything queued before it.
  loop.PostDelayed(0ms, [&] {
    record("no delay");
    done.Set();
  });
  release.Set();
  ASSERT_TRUE(done.Wait());
  std::lock_guard<std::mutex> guard(mutex);
  EXPECT_EQ((std::vector<std::string>{"posted first", "due after it", "due before the next", "posted last",
                                      "no delay"}),
            order);
}

TEST(WebpageEngineLoop, AnyExceptionFromATaskIsLoggedAndTheLoopGoesOn) {
  CEngineLoop loop;
  webtest::CSignal done;
  loop.Post([] { throw std::runtime_error("bad"); });
  loop.Post([] { throw 42; });
  loop.Post([&] { done.Set(); });
  EXPECT_TRUE(done.Wait());
  EXPECT_TRUE(loop.Running());
}

TEST(WebpageEngineLoop, StopWaitsForTheRunningTaskAndRefusesNewOnes) {
  CEngineLoop loop;
  webtest::CSignal started, release;
  std::atomic<bool> finished{false};
  loop.Post([&] {
    started.Set();
    release.Wait();
    finished = true;
  });
  ASSERT_TRUE(started.Wait());
  std::thread stopper([&] { loop.Stop(); });
  release.Set();
  stopper.join();
  EXPECT_TRUE(finished.load());
  EXPECT_FALSE(loop.Running());
  EXPECT_FALSE(loop.Post([] {}));
  EXPECT_FALSE(loop.PostDelayed(std::chrono::milliseconds(1), [] {}));
}

TEST(WebpageEngineLoop, StoppingWhileTheLoopWaitsForADelayedTaskDropsItSafely) {
  // The loop sleeps until its next delayed task falls due; Stop destroys that task while
  // the loop waits. Repeated, as the loop must be caught asleep (ASan sees a loop that
  // still reads the destroyed entry).
  for (int i = 0; i < 50; ++i) {
    CEngineLoop loop;
    std::atomic<bool> ran{false};
    webtest::CSignal idle;
    ASSERT_TRUE(loop.PostDelayed(std::chrono::hours(1), [&] { ran = true; }));
    ASSERT_TRUE(loop.Post([&] { idle.Set(); }));
    ASSERT_TRUE(idle.Wait());
    loop.Stop();
    EXPECT_FALSE(ran.load());
  }
}

TEST(WebpageEngineLoop, ATaskMayStopItsOwnLoopAndLaterTasksAreDropped) {
  auto loop = std::make_shared<CEngineLoop>();
  webtest::CSignal done;
  std::atomic<int> ran{0};
  loop->Post([&] {
    EXPECT_TRUE(loop->IsLoopThread());
    loop->Stop();  // returns at once: the loop cannot wait for itself
    done.Set();
  });
  loop->Post([&] { ++ran; });
  loop->PostDelayed(std::chrono::milliseconds(1), [&] { ++ran; });
  ASSERT_TRUE(done.Wait());
  EXPECT_FALSE(loop->Running());
  EXPECT_EQ(0, ran.load());
  loop.reset();
}

}  // namespace
}  // namespace webpage

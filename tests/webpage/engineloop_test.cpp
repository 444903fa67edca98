#include "components/webpage/engineloop.h"

#include <gtest/gtest.h>

#include <mutex>
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
  loop.PostDelayed(100ms, [&] {
    record("late");
    done.Set();
  });
  loop.PostDelayed(20ms, [&] { record("soon"); });
  loop.Post([&] { record("now"); });
  ASSERT_TRUE(done.Wait());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  std::lock_guard<std::mutex> guard(mutex);
  EXPECT_EQ((std::vector<std::string>{"now", "soon", "late"}), order);
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

#include "platform/taskfailure.h"
#include "platform/taskloop.h"
#include "platform/thread.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using platform::CTaskLoop;

// A flag one thread sets and another waits for, with a generous deadline.
class Signal {
 public:
  void Set() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = true;
    m_cond.notify_all();
  }
  bool Wait(std::chrono::seconds limit = 30s) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, limit, [this] { return m_set; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_set = false;
};

// What the tasks of a test did, in order; written on the loop's thread.
class Record {
 public:
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_items.push_back(what);
  }
  std::vector<std::string> Items() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_items;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_items;
};

void WaitUntilPast(CTaskLoop::Clock::time_point point) {
  while (CTaskLoop::Clock::now() <= point) std::this_thread::yield();
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

// ---- Order ---------------------------------------------------------------------------

// The loop is drained by the test itself here, so it sees every task waiting at once.
TEST(TaskLoopOrder, ByDueTimeThenByPostingOrder) {
  CTaskLoop loop("test", CTaskLoop::Mode::Drained);
  ASSERT_TRUE(loop.Start());
  Record record;
  loop.Post([&] { record.Add("posted first"); });
  // Each wait is measured from after the post: the loop takes its own clock reading while
  // posting, and a thread slowed down between the two would otherwise wait too little.
  loop.PostDelayed(2ms, [&] { record.Add("due after it"); });
  WaitUntilPast(CTaskLoop::Clock::now() + 3ms);
  loop.PostDelayed(1ms, [&] { record.Add("due before the next post"); });
  WaitUntilPast(CTaskLoop::Clock::now() + 2ms);
  loop.Post([&] { record.Add("posted last"); });
  loop.PostDelayed(0ms, [&] { record.Add("no delay: a post"); });
  loop.PostDelayed(1h, [&] { record.Add("far"); });
  const CTaskLoop::Clock::duration next = loop.RunPending();
  EXPECT_EQ((std::vector<std::string>{"posted first", "due after it", "due before the next post", "posted last",
                                      "no delay: a post"}),
            record.Items());
  EXPECT_GT(next, 59min);
  EXPECT_LE(next, 1h);
}

TEST(TaskLoopOrder, EqualDelaysKeepPostingOrderAndShorterDelaysGoFirst) {
  CTaskLoop loop("test");
  ASSERT_TRUE(loop.Start());
  Record record;
  Signal done;
  Signal release;
  loop.Post([&] { release.Wait(); });  // holds the loop while everything is queued
  for (int i = 0; i < 20; ++i) loop.PostDelayed(30ms, [&, i] { record.Add("30ms #" + std::to_string(i)); });
  loop.PostDelayed(5ms, [&] { record.Add("5ms"); });
  loop.PostDelayed(60ms, [&] {
    record.Add("60ms");
    done.Set();
  });
  release.Set();
  ASSERT_TRUE(done.Wait());
  std::vector<std::string> expected{"5ms"};
  for (int i = 0; i < 20; ++i) expected.push_back("30ms #" + std::to_string(i));
  expected.push_back("60ms");
  EXPECT_EQ(expected, record.Items());
}

TEST(TaskLoopOrder, PostsFromManyThreadsKeepEachPostersOrder) {
  CTaskLoop loop("test");
  ASSERT_TRUE(loop.Start());
  constexpr int kPosters = 4;
  constexpr int kEach = 3000;
  std::vector<std::vector<int>> seen(kPosters);  // written only on the loop's thread
  std::atomic<int> finished{0};
  Signal done;
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) {
        loop.Post([&, p, i] {
          seen[p].push_back(i);
          if (++finished == kPosters * kEach) done.Set();
        });
      }
    });
  }
  for (std::thread& t : posters) t.join();
  ASSERT_TRUE(done.Wait());
  for (int p = 0; p < kPosters; ++p) {
    ASSERT_EQ(static_cast<size_t>(kEach), seen[p].size());
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(i, seen[p][i]) << "poster " << p;
  }
}

// ---- Failures ------------------------------------------------------------------------

struct NotAStdException {
  int code;
};

// Every queue reports a failed task through the one process-wide hook.
class TaskLoopFailures : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetTaskFailureHook(nullptr); }
};

TEST_F(TaskLoopFailures, AnyThrownTypeIsReportedOnceUnderTheLoopsNameAndTheLoopGoesOn) {
  CTaskLoop loop("test loop");
  Record reports;
  platform::SetTaskFailureHook([&](const std::string& line) { reports.Add(line); });
  ASSERT_TRUE(loop.Start());
  Signal done;
  loop.Post([] { throw NotAStdException{7}; });
  loop.Post([] { throw std::runtime_error("disk gone"); });
  loop.Post([] { throw 42; });
  loop.Post([&] { done.Set(); });
  ASSERT_TRUE(done.Wait());
  EXPECT_TRUE(loop.Running());
  EXPECT_EQ((std::vector<std::string>{"test loop: a task failed with an exception of unknown type",
                                      "test loop: a task failed: disk gone",
                                      "test loop: a task failed with an exception of unknown type"}),
            reports.Items());
}

TEST_F(TaskLoopFailures, AThrowingHookFallsBackToStderrAndAnUnsetHookCanBeClaimedOnce) {
  platform::SetTaskFailureHook([](const std::string&) { throw NotAStdException{1}; });
  CTaskLoop loop("test");
  ASSERT_TRUE(loop.Start());
  Signal done;
  loop.Post([] { throw 1; });
  loop.Post([&] { done.Set(); });
  EXPECT_TRUE(done.Wait());

  EXPECT_FALSE(platform::SetTaskFailureHookIfUnset([](const std::string&) {})) << "a hook is set";
  platform::SetTaskFailureHook(nullptr);
  Record reports;
  EXPECT_TRUE(platform::SetTaskFailureHookIfUnset([&](const std::string& line) { reports.Add(line); }));
  EXPECT_FALSE(platform::SetTaskFailureHookIfUnset([](const std::string&) {}));
  platform::RunReportingFailure("direct", [] { throw std::logic_error("x"); });
  EXPECT_EQ(std::vector<std::string>{"direct: a task failed: x"}, reports.Items());
}

// ---- Stop ----------------------------------------------------------------------------

TEST(TaskLoopStop, FromATaskReturnsAtOnceAndDropsWhatWaits) {
  auto loop = std::make_shared<CTaskLoop>("test");
  ASSERT_TRUE(loop->Start());
  Signal done;
  std::atomic<int> ran{0};
  loop->Post([&] {
    loop->Stop();  // cannot wait for itself
    done.Set();
  });
  loop->Post([&] { ++ran; });
  loop->PostDelayed(1ms, [&] { ++ran; });
  ASSERT_TRUE(done.Wait());
  EXPECT_FALSE(loop->Running());
  EXPECT_FALSE(loop->Post([] {}));
  EXPECT_EQ(0, ran.load());
}

TEST(TaskLoopStop, ALoopMayBeDestroyedByItsOwnTask) {
  auto* loop = new CTaskLoop("test");
  ASSERT_TRUE(loop->Start());
  Signal released;
  std::atomic<bool> ran{false};
  struct SetOnRelease {
    Signal* signal = nullptr;
    ~SetOnRelease() { signal->Set(); }
  };
  auto capture = std::make_shared<SetOnRelease>();
  capture->signal = &released;
  Signal posted;
  loop->Post([loop, &posted] {
    posted.Wait();  // the test is done with the loop
    delete loop;
  });
  loop->Post([capture, &ran] { ran = true; });  // dropped with the loop, unrun
  capture.reset();
  posted.Set();
  // The thread ends on its own; the dropped task's capture goes with it.
  ASSERT_TRUE(released.Wait());
  EXPECT_FALSE(ran.load());
}

TEST(TaskLoopStop, WhileWaitingForAFarDelayedTaskReturnsAtOnce) {
  for (int i = 0; i < 20; ++i) {
    CTaskLoop loop("test");
    ASSERT_TRUE(loop.Start());
    std::atomic<bool> ran{false};
    Signal idle;
    ASSERT_TRUE(loop.PostDelayed(std::chrono::hours(1), [&] { ran = true; }));
    ASSERT_TRUE(loop.Post([&] { idle.Set(); }));
    ASSERT_TRUE(idle.Wait());
    const auto start = CTaskLoop::Clock::now();
    loop.Stop();
    EXPECT_LT(CTaskLoop::Clock::now() - start, 30s);
    EXPECT_FALSE(ran.load());
  }
}

TEST(TaskLoopStop, RunPolicyRunsWhatWasPostedBeforeStop) {
  CTaskLoop loop("test", CTaskLoop::Mode::OwnThread, CTaskLoop::OnStop::Run);
  ASSERT_TRUE(loop.Start());
  Signal release;
  std::atomic<int> ran{0};
  loop.Post([&] { release.Wait(); });
  for (int i = 0; i < 100; ++i) loop.Post([&] { ++ran; });
  std::thread stopper([&] { loop.Stop(); });
  // Stop refuses new tasks at once and then waits for the queued ones.
  while (loop.Running()) std::this_thread::yield();
  EXPECT_FALSE(loop.Post([&] { ran += 1000; }));
  release.Set();
  stopper.join();
  EXPECT_EQ(100, ran.load());
}

TEST(TaskLoopStop, ThreadThatCannotStartLeavesAStoppedLoop) {
  CTaskLoop loop("test");
  platform::FailThreadCreationForTest(0, 1);
  EXPECT_FALSE(loop.Start());
  EXPECT_FALSE(loop.Running());
  EXPECT_FALSE(loop.Post([] {}));
}

// ---- Threads -------------------------------------------------------------------------

TEST(TaskLoopThreads, IsCurrentOnlyOnTheLoopsThread) {
  CTaskLoop loop("test");
  EXPECT_FALSE(loop.IsCurrent());
  ASSERT_TRUE(loop.Start());
  EXPECT_FALSE(loop.IsCurrent());
  std::atomic<bool> inside{false};
  Signal done;
  loop.Post([&] {
    inside = loop.IsCurrent();
    done.Set();
  });
  ASSERT_TRUE(done.Wait());
  EXPECT_TRUE(inside.load());

  CTaskLoop drained("drained", CTaskLoop::Mode::Drained);
  ASSERT_TRUE(drained.Start());
  EXPECT_TRUE(drained.IsCurrent());
  bool other = true;
  std::thread([&] { other = drained.IsCurrent(); }).join();
  EXPECT_FALSE(other);
}

TEST(TaskLoopThreads, DrainedLoopsDescriptorIsReadableExactlyWhileTasksWait) {
  CTaskLoop loop("test", CTaskLoop::Mode::Drained);
  ASSERT_TRUE(loop.Start());
  ASSERT_GE(loop.WakeFd(), 0);
  EXPECT_FALSE(Readable(loop.WakeFd()));
  int ran = 0;
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) loop.Post([&] { ++ran; });
  });
  poster.join();
  EXPECT_TRUE(Readable(loop.WakeFd()));
  EXPECT_EQ(CTaskLoop::Clock::duration::max(), loop.RunPending());
  EXPECT_EQ(50, ran);
  EXPECT_FALSE(Readable(loop.WakeFd()));
  // A task posting another: the descriptor says so, and RunPending says to come back now.
  loop.Post([&] { loop.Post([&] { ++ran; }); });
  EXPECT_EQ(CTaskLoop::Clock::duration::zero(), loop.RunPending());
  EXPECT_TRUE(Readable(loop.WakeFd()));
  loop.RunPending();
  EXPECT_EQ(51, ran);
}

// ---- Replacing and dropping ---------------------------------------------------------

TEST(TaskLoopLimits, AKeyedTaskReplacesTheWaitingOneAndMovesToTheEnd) {
  CTaskLoop loop("test", CTaskLoop::Mode::Drained);
  ASSERT_TRUE(loop.Start());
  Record record;
  CTaskLoop::PostOptions progressOfOne;
  progressOfOne.replaceKey = 1;
  CTaskLoop::PostOptions progressOfTwo;
  progressOfTwo.replaceKey = 2;
  loop.PostWith(progressOfOne, [&] { record.Add("1: 10%"); });
  loop.PostWith(progressOfTwo, [&] { record.Add("2: 10%"); });
  loop.Post([&] { record.Add("title"); });
  loop.PostWith(progressOfOne, [&] { record.Add("1: 50%"); });
  loop.PostWith(progressOfOne, [&] { record.Add("1: 90%"); });
  loop.RunPending();
  // Once run, a key starts afresh.
  loop.PostWith(progressOfOne, [&] { record.Add("1: 100%"); });
  loop.RunPending();
  EXPECT_EQ((std::vector<std::string>{"2: 10%", "title", "1: 90%", "1: 100%"}), record.Items());
}

TEST(TaskLoopLimits, PastTheLimitTheOldestDroppableGoesWithOneReportPerBurst) {
  CTaskLoop loop("test", CTaskLoop::Mode::Drained);
  Record reports;
  loop.SetReportHook([&](const std::string& line) { reports.Add(line); });
  loop.SetLimit(100);
  ASSERT_TRUE(loop.Start());
  CTaskLoop::PostOptions droppable;
  droppable.droppable = true;
  std::vector<int> ran;
  // 50 that must stay, among 200 that may go: the newest 50 droppable ones are kept.
  for (int i = 0; i < 250; ++i) {
    if (i % 5 == 0) {
      loop.Post([&, i] { ran.push_back(i); });
    } else {
      loop.PostWith(droppable, [&, i] { ran.push_back(i); });
    }
  }
  loop.RunPending();
  std::vector<int> expected;
  for (int i = 0; i < 250; ++i) {
    if (i % 5 == 0 || i >= 188) expected.push_back(i);  // 188..249 holds 50 droppable ones
  }
  EXPECT_EQ(expected, ran);
  EXPECT_EQ(1u, reports.Items().size());
  // A new burst after the queue was taken is reported again.
  for (int i = 0; i < 102; ++i) loop.PostWith(droppable, [] {});
  EXPECT_EQ(2u, reports.Items().size());
  loop.RunPending();
}

}  // namespace

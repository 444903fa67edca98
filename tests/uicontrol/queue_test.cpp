// The task queue served by a thread of the test's own.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "uicontrol/tabtaskqueue.h"
#include "platform/taskfailure.h"

namespace {

// Runs a function; counts its own destruction.
class CFnTask : public ITabTask {
 public:
  CFnTask(std::function<void()> fn, std::atomic<int>* destroyed = nullptr) : m_fn(std::move(fn)), m_destroyed(destroyed) {}
  ~CFnTask() override {
    if (m_destroyed) ++*m_destroyed;
  }
  bool Execute() override {
    m_fn();
    return true;
  }

 private:
  std::function<void()> m_fn;
  std::atomic<int>* m_destroyed;
};

std::shared_ptr<ITabTask> Task(std::function<void()> fn) { return std::make_shared<CFnTask>(std::move(fn)); }

struct ServedQueue {
  CTabTaskQueue queue;
  std::thread worker;
  void Serve() { worker = std::thread([this] { queue.Run(); }); }
  void StopAndJoin() {
    queue.PostQuit();
    if (worker.joinable()) worker.join();
  }
};

}  // namespace

TEST(TaskQueue, RunsInPostingOrderWhileBusy) {
  ServedQueue q;
  std::promise<void> started, release;
  std::shared_future<void> releaseFuture = release.get_future().share();
  std::vector<int> order;
  std::mutex m;
  q.queue.PostTask(Task([&] {
    started.set_value();
    releaseFuture.wait();
  }));
  q.Serve();
  started.get_future().wait();
  for (int i = 1; i <= 3; ++i) {
    q.queue.PostTask(Task([&, i] {
      std::lock_guard<std::mutex> g(m);
      order.push_back(i);
    }));
  }
  EXPECT_EQ(q.queue.PendingCount(), 3u);
  release.set_value();
  q.StopAndJoin();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(TaskQueue, QuitLeavesLaterTasksForTheNextWorker) {
  ServedQueue q;
  std::atomic<int> ran{0};
  q.queue.PostTask(Task([&] { ++ran; }));
  q.queue.PostQuit();
  q.queue.PostTask(Task([&] { ++ran; }));
  q.Serve();
  q.worker.join();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(q.queue.PendingCount(), 1u);
  // Served again: the waiting task runs.
  q.Serve();
  q.StopAndJoin();
  EXPECT_EQ(ran, 2);
}

TEST(TaskQueue, ASecondRunServesTasksLeftBehindTheQuitWithoutANewPost) {
  ServedQueue q;
  std::promise<void> started, release, leftBehind;
  std::shared_future<void> releaseFuture = release.get_future().share();
  q.queue.PostTask(Task([&] {
    started.set_value();
    releaseFuture.wait();
  }));
  q.Serve();
  started.get_future().wait();
  // Queued while the worker is busy: the quit, then a task behind it.
  q.queue.PostQuit();
  q.queue.PostTask(Task([&] { leftBehind.set_value(); }));
  release.set_value();
  q.worker.join();
  ASSERT_EQ(q.queue.PendingCount(), 1u);
  // Nothing else is posted: the new Run must look at what is already queued.
  q.Serve();
  EXPECT_EQ(leftBehind.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  q.StopAndJoin();
}

TEST(TaskQueue, WakeUpWithEmptyQueueWaitsAgain) {
  ServedQueue q;
  std::atomic<int> ran{0};
  // Two tasks posted before the worker starts leave a second signal behind once the
  // worker has taken both without waiting; the loop must absorb it and keep serving.
  q.queue.PostTask(Task([&] { ++ran; }));
  q.queue.PostTask(Task([&] { ++ran; }));
  q.Serve();
  std::promise<void> third;
  q.queue.PostTask(Task([&] {
    ++ran;
    third.set_value();
  }));
  ASSERT_EQ(third.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  q.StopAndJoin();
  EXPECT_EQ(ran, 3);
}

TEST(TaskQueue, ThrowingTaskIsReportedAndDoesNotStopTheQueue) {
  std::mutex mutex;
  std::vector<std::string> lines;
  platform::SetTaskFailureHook([&](const std::string& line) {
    std::lock_guard<std::mutex> guard(mutex);
    lines.push_back(line);
  });
  ServedQueue q;
  std::atomic<int> ran{0};
  q.queue.PostTask(Task([] { throw std::runtime_error("boom"); }));
  q.queue.PostTask(Task([] { throw 42; }));
  q.queue.PostTask(Task([&] { ++ran; }));
  q.Serve();
  q.StopAndJoin();
  platform::SetTaskFailureHook(nullptr);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ((std::vector<std::string>{"tab task queue: a task failed: boom",
                                      "tab task queue: a task failed with an exception of unknown type"}),
            lines);
}

TEST(TaskQueue, WaitingTaskKeepsItsObjectAlive) {
  ServedQueue q;
  auto object = std::make_shared<int>(7);
  std::weak_ptr<int> weak = object;
  std::atomic<int> seen{0};
  q.queue.PostTask(Task([object, &seen] { seen = *object; }));
  object.reset();
  EXPECT_FALSE(weak.expired());
  q.Serve();
  q.StopAndJoin();
  EXPECT_EQ(seen, 7);
  EXPECT_TRUE(weak.expired()) << "the task is released after it ran";
}

TEST(TaskQueue, UnservedTasksAreDestroyedWithoutRunning) {
  std::atomic<int> destroyed{0}, ran{0};
  {
    CTabTaskQueue queue;
    for (int i = 0; i < 3; ++i) queue.PostTask(std::make_shared<CFnTask>([&] { ++ran; }, &destroyed));
  }
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(ran, 0);
}

TEST(TaskQueue, TasksMayPostToTheirOwnQueue) {
  ServedQueue q;
  std::promise<void> done;
  q.queue.PostTask(Task([&] { q.queue.PostTask(Task([&] { done.set_value(); })); }));
  q.Serve();
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  q.StopAndJoin();
}

TEST(TaskQueue, ReleasePendingLetsWaitingTasksGoWithoutRunningThem) {
  std::atomic<int> destroyed{0}, ran{0};
  CTabTaskQueue queue;
  for (int i = 0; i < 3; ++i) queue.PostTask(std::make_shared<CFnTask>([&] { ++ran; }, &destroyed));
  queue.ReleasePending();
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(queue.PendingCount(), 0u);
  // The queue still serves what comes later.
  ServedQueue q;
  q.queue.PostTask(Task([&] { ++ran; }));
  q.Serve();
  q.StopAndJoin();
  EXPECT_EQ(ran, 1);
}

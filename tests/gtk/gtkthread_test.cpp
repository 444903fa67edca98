// The GTK thread's queue: tasks from any thread run there, in the order they were posted.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "gtk/gtktestenv.h"
#include "platform/gtk/gtkthread.h"
#include "platform/taskfailure.h"

using platform::gtk::IsGtkThread;
using platform::gtk::PostToGtkThread;

TEST(GtkThread, TasksFromManyThreadsRunThereInTheOrderEachPostedThem) {
  constexpr int kThreads = 4, kTasks = 2000;
  std::vector<std::vector<int>> seen(kThreads);  // touched on the GTK thread only
  std::atomic<int> offThread{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kTasks; ++i)
        PostToGtkThread([&, t, i] {
          if (!IsGtkThread()) ++offThread;
          seen[t].push_back(i);
        });
    });
  for (auto& p : posters) p.join();
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));  // queued after every task above
  EXPECT_EQ(0, offThread.load());
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(static_cast<size_t>(kTasks), seen[t].size());
    for (int i = 0; i < kTasks; ++i) ASSERT_EQ(i, seen[t][i]) << "poster " << t;
  }
  EXPECT_FALSE(IsGtkThread());
}

TEST(GtkThread, ATaskPostedOnTheGtkThreadRunsAfterTheCurrentOneNotInsideIt) {
  std::vector<std::string> order;
  ASSERT_TRUE(gtktest::RunOnGtk([&] {
    PostToGtkThread([&] { order.push_back("posted"); });
    order.push_back("poster ends");
  }));
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));
  EXPECT_EQ((std::vector<std::string>{"poster ends", "posted"}), order);
}

TEST(GtkThread, ATaskThatThrowsIsReportedAndDoesNotStopTheOnesAfterIt) {
  std::vector<int> ran;
  std::vector<std::string> failures;  // written on the GTK thread, read after it has run
  platform::SetTaskFailureHook([&](const std::string& line) { failures.push_back(line); });
  PostToGtkThread([&] { ran.push_back(1); });
  PostToGtkThread([] { throw std::runtime_error("a failing task"); });
  PostToGtkThread([] { throw 7; });
  PostToGtkThread([&] { ran.push_back(2); });
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));
  platform::SetTaskFailureHook(nullptr);
  EXPECT_EQ((std::vector<int>{1, 2}), ran);
  EXPECT_EQ((std::vector<std::string>{"GTK thread: a task failed: a failing task",
                                      "GTK thread: a task failed with an exception of unknown type"}),
            failures);
  PostToGtkThread(nullptr);  // ignored
  ASSERT_TRUE(gtktest::RunOnGtk([] {}));
}

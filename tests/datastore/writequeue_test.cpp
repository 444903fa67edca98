// The store's writer queue on its own: order, waiting for earlier jobs, draining at the
// stop (also when the stop comes from a job), the periodic job, and a job that throws.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "components/datastore/writequeue.h"
#include "platform/taskfailure.h"

namespace dstest {
namespace {

using datastore::CLogger;
using datastore::CWriteQueue;
using datastore::LogLevel;

// A gate a job waits at until the test opens it (bounded, so a fault cannot hang the run).
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_cond.notify_all();
  }
  void Pass() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait_for(lock, std::chrono::seconds(30), [&] { return m_open; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_open = false;
};

struct Recorder {
  std::mutex mutex;
  std::condition_variable cond;
  std::vector<int> order;
  std::vector<std::string> log;

  void Add(int n) {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(n);
    cond.notify_all();
  }
  std::vector<int> Order() {
    std::lock_guard<std::mutex> lock(mutex);
    return order;
  }
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return cond.wait_for(lock, std::chrono::seconds(30), [&] { return order.size() >= count; });
  }
  CLogger Logger() {
    return CLogger([this](LogLevel, const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex);
      log.push_back(text);
    });
  }
};

TEST(WriteQueue, JobsRunInQueueOrderAndFlushWaitsForTheEarlierOnes) {
  Recorder rec;
  CWriteQueue queue(rec.Logger());
  ASSERT_TRUE(queue.Start());
  Gate gate;
  ASSERT_TRUE(queue.Push([&] { gate.Pass(); }));
  for (int n = 0; n < 50; ++n) ASSERT_TRUE(queue.Push([&rec, n] { rec.Add(n); }));
  // The gate holds the writer, so nothing has run yet and a flush must wait.
  std::atomic<bool> flushed{false};
  std::thread reader([&] {
    queue.Flush();
    flushed = true;
  });
  EXPECT_TRUE(rec.Order().empty());
  EXPECT_FALSE(flushed);
  gate.Open();
  reader.join();
  std::vector<int> expected(50);
  for (int n = 0; n < 50; ++n) expected[n] = n;
  EXPECT_EQ(rec.Order(), expected);  // everything queued before the flush has run
}

TEST(WriteQueue, FlushInsideAJobDoesNotWaitForItself) {
  Recorder rec;
  CWriteQueue queue(rec.Logger());
  ASSERT_TRUE(queue.Start());
  ASSERT_TRUE(queue.Push([&] {
    queue.Push([&] { rec.Add(2); });
    queue.Flush();  // on the writer thread: returns at once instead of deadlocking
    rec.Add(1);
  }));
  ASSERT_TRUE(rec.WaitFor(2));
  EXPECT_EQ(rec.Order(), (std::vector<int>{1, 2}));
}

TEST(WriteQueue, StopRunsEverythingQueuedAndThenRefusesMore) {
  Recorder rec;
  CWriteQueue queue(rec.Logger());
  ASSERT_TRUE(queue.Start());
  Gate gate;
  queue.Push([&] { gate.Pass(); });
  for (int n = 0; n < 100; ++n) queue.Push([&rec, n] { rec.Add(n); });
  std::thread opener([&] { gate.Open(); });
  queue.Stop();  // waits for the gate, then for all hundred
  opener.join();
  EXPECT_EQ(rec.Order().size(), 100u);
  EXPECT_FALSE(queue.Push([&] { rec.Add(-1); }));
  queue.Flush();  // nothing to wait for
  EXPECT_EQ(rec.Order().size(), 100u);
}

TEST(WriteQueue, StopFromAJobRunsTheRestOnTheWriterThread) {
  Recorder rec;
  auto queue = std::make_unique<CWriteQueue>(rec.Logger());
  ASSERT_TRUE(queue->Start());
  Gate gate;
  std::thread::id writer;
  queue->Push([&] {
    gate.Pass();
    writer = std::this_thread::get_id();
    queue.reset();  // the last owner lets go inside a job: no self-join
    rec.Add(0);
  });
  queue->Push([&rec] { rec.Add(1); });
  gate.Open();
  ASSERT_TRUE(rec.WaitFor(2));
  EXPECT_EQ(rec.Order(), (std::vector<int>{1, 0}));  // the rest ran inside the stop
}

TEST(WriteQueue, ThePeriodicJobRepeatsWhileIdle) {
  Recorder rec;
  CWriteQueue queue(rec.Logger());
  std::atomic<int> runs{0};
  ASSERT_TRUE(queue.Start([&] { rec.Add(++runs); }, std::chrono::milliseconds(5)));
  EXPECT_TRUE(rec.WaitFor(3));
  queue.Stop();
  const int after = runs;
  EXPECT_GE(after, 3);
  EXPECT_EQ(runs, after);  // stopped means stopped
}

TEST(WriteQueue, AThrowingJobIsReportedAndTheQueueGoesOn) {
  Recorder rec;
  std::vector<std::string> failures;  // written on the writer thread, read after Flush
  platform::SetTaskFailureHook([&](const std::string& line) { failures.push_back(line); });
  CWriteQueue queue(rec.Logger());
  ASSERT_TRUE(queue.Start());
  queue.Push([] { throw std::runtime_error("disk on fire"); });
  queue.Push([&] { rec.Add(7); });
  queue.Flush();
  platform::SetTaskFailureHook(nullptr);
  EXPECT_EQ(rec.Order(), std::vector<int>{7});
  EXPECT_EQ(failures, std::vector<std::string>{"store writer: a task failed: disk on fire"});
}

TEST(WriteQueue, AQueueThatNeverStartedTakesNothing) {
  Recorder rec;
  CWriteQueue queue(rec.Logger());
  EXPECT_FALSE(queue.Push([&] { rec.Add(1); }));
  queue.Flush();
  EXPECT_TRUE(rec.Order().empty());
}

// Jobs that wait together run as one batch between the hooks; a batch that an error ended
// or that could not be committed costs no job: its jobs run again one by one.
struct BatchCase {
  const char* name;
  int brokenAfter;  // the job after which the batch no longer holds its jobs (-1: never)
  bool commits;
  std::vector<int> expected;  // -1 begin, -2 end; the jobs 0..3
};

void PrintTo(const BatchCase& c, std::ostream* out) { *out << c.name; }

class WriteQueueBatches : public ::testing::TestWithParam<BatchCase> {};

TEST_P(WriteQueueBatches, WaitingJobsRunTogetherAndALostBatchRunsAgainOneByOne) {
  const BatchCase& c = GetParam();
  Recorder rec;
  int batches = 0;  // on the writer thread only; the first batch holds the gate alone
  std::atomic<bool> intact{true};
  CWriteQueue queue(rec.Logger());
  queue.SetBatchHooks({[&] {
                         if (++batches > 1) rec.Add(-1);
                         intact = true;
                         return true;
                       },
                       [&] { return intact.load(); },
                       [&] {
                         if (batches > 1) rec.Add(-2);
                         return batches == 1 || c.commits;
                       }});
  ASSERT_TRUE(queue.Start());
  // The writer is held inside a first batch while the jobs are queued, so they all wait.
  Gate started, gate;
  ASSERT_TRUE(queue.Push([&] {
    started.Open();
    gate.Pass();
  }));
  started.Pass();
  for (int n = 0; n < 4; ++n) {
    ASSERT_TRUE(queue.Push([&, n] {
      rec.Add(n);
      if (n == c.brokenAfter) intact = false;
    }));
  }
  gate.Open();
  queue.Flush();
  EXPECT_EQ(c.expected, rec.Order());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, WriteQueueBatches,
    ::testing::Values(BatchCase{"Committed", -1, true, {-1, 0, 1, 2, 3, -2}},
                      BatchCase{"EndedByAnError", 1, true, {-1, 0, 1, 0, 1, 2, 3}},
                      BatchCase{"NotCommitted", -1, false, {-1, 0, 1, 2, 3, -2, 0, 1, 2, 3}}),
    [](const ::testing::TestParamInfo<BatchCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dstest

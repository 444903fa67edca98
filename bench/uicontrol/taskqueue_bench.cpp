// CTabTaskQueue and the platform's task loop against a minimal mutex + condition variable
// + deque queue served by one thread: post-to-execute round trip, and single-producer
// throughput.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/bench_wait.h"
#include "common/ratio_reporter.h"
#include "platform/taskloop.h"
#include "uicontrol/tabtaskqueue.h"

namespace {

// Signals the producer that a numbered task has run.
struct Completion {
  std::mutex mutex;
  std::condition_variable cond;
  long done = 0;
  void Mark(long n) {
    {
      std::lock_guard<std::mutex> guard(mutex);
      done = n;
    }
    cond.notify_one();
  }
  void WaitFor(long n) {
    std::unique_lock<std::mutex> guard(mutex);
    if (!cond.wait_for(guard, bench::kEventDeadline, [&] { return done >= n; }))
      bench::FailLoudly("task " + std::to_string(n) + " did not run within 30 s");
  }
};

class CMarkTask : public ITabTask {
 public:
  CMarkTask(Completion* c, long n) : m_c(c), m_n(n) {}
  bool Execute() override {
    if (m_n) m_c->Mark(m_n);
    return true;
  }

 private:
  Completion* m_c;
  long m_n;
};

// The baseline: the smallest queue of the same shape.
class BaselineQueue {
 public:
  void Post(std::shared_ptr<ITabTask> task) {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_tasks.push_back(std::move(task));
    }
    m_cond.notify_one();
  }
  void Run() {
    for (;;) {
      std::shared_ptr<ITabTask> task;
      {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_cond.wait(guard, [&] { return !m_tasks.empty(); });
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
      }
      if (!task->Execute()) return;
    }
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::deque<std::shared_ptr<ITabTask>> m_tasks;
};

struct LibraryQueue {
  CTabTaskQueue queue;
  void Post(std::shared_ptr<ITabTask> task) { queue.PostTask(std::move(task)); }
  void Run() { queue.Run(); }
};

// The platform's loop runs on a thread of its own: Run has nothing to do.
struct PlatformLoop {
  PlatformLoop() { loop.Start(); }
  void Post(std::shared_ptr<ITabTask> task) {
    loop.Post([task] { task->Execute(); });
  }
  void Run() {}
  platform::CTaskLoop loop{"bench"};
};

template <class Queue>
void RoundTrip(benchmark::State& state) {
  Queue q;
  std::thread worker([&] { q.Run(); });
  Completion c;
  long n = 0;
  for (auto _ : state) {
    q.Post(std::make_shared<CMarkTask>(&c, ++n));
    c.WaitFor(n);
  }
  q.Post(std::make_shared<TaskQuitLoop>());
  worker.join();
}

template <class Queue>
void Throughput(benchmark::State& state) {
  const long batch = state.range(0);
  Queue q;
  std::thread worker([&] { q.Run(); });
  Completion c;
  long n = 0;
  for (auto _ : state) {
    for (long i = 1; i < batch; ++i) q.Post(std::make_shared<CMarkTask>(&c, 0));
    q.Post(std::make_shared<CMarkTask>(&c, ++n));
    c.WaitFor(n);
  }
  state.SetItemsProcessed(state.iterations() * batch);
  q.Post(std::make_shared<TaskQuitLoop>());
  worker.join();
}

BENCHMARK_TEMPLATE(RoundTrip, BaselineQueue)->Name("RoundTrip/baseline")->UseRealTime()->Repetitions(5);
BENCHMARK_TEMPLATE(RoundTrip, LibraryQueue)->Name("RoundTrip/CTabTaskQueue")->UseRealTime()->Repetitions(5);
BENCHMARK_TEMPLATE(Throughput, BaselineQueue)->Name("Throughput/baseline")->Arg(1000)->UseRealTime()->Repetitions(5);
BENCHMARK_TEMPLATE(Throughput, LibraryQueue)->Name("Throughput/CTabTaskQueue")->Arg(1000)->UseRealTime()->Repetitions(5);
BENCHMARK_TEMPLATE(RoundTrip, PlatformLoop)->Name("RoundTrip/CTaskLoop")->UseRealTime()->Repetitions(5);
BENCHMARK_TEMPLATE(Throughput, PlatformLoop)->Name("Throughput/CTaskLoop")->Arg(1000)->UseRealTime()->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  reporter.PrintRatio("post-to-execute round trip", "RoundTrip/CTabTaskQueue/real_time", "RoundTrip/baseline/real_time", 1.25);
  reporter.PrintRatio("single-producer throughput (time per batch)", "Throughput/CTabTaskQueue/1000/real_time",
                      "Throughput/baseline/1000/real_time", 1.25);
  reporter.PrintRatio("task loop: post-to-execute round trip", "RoundTrip/CTaskLoop/real_time",
                      "RoundTrip/baseline/real_time", 1.25);
  reporter.PrintRatio("task loop: single-producer throughput (time per batch)", "Throughput/CTaskLoop/1000/real_time",
                      "Throughput/baseline/1000/real_time", 1.25);
  return reporter.ExitCode();
}

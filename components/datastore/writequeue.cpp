#include "components/datastore/writequeue.h"

#include <cstdint>
#include <deque>

#include "platform/mutex.h"
#include "platform/taskfailure.h"
#include "platform/taskloop.h"

namespace datastore {

namespace {

// Runs a job; one that throws is reported as any failed task is, and counts as run.
void RunLogged(const CWriteQueue::Job& job) { platform::RunReportingFailure("store writer", job); }

}  // namespace

// The jobs wait here and the store's task loop runs them: one loop task per job takes the
// oldest. Keeping the jobs here lets a stop on the writer thread run the rest at once
// (the loop may already hold their tasks in the batch it is running), and the counts let
// Flush wait for exactly the jobs queued before it.
struct CWriteQueue::State {
  explicit State(const CLogger& log)
      : logger(log), loop("store writer", platform::CTaskLoop::Mode::OwnThread, platform::CTaskLoop::OnStop::Run) {}

  CLogger logger;
  platform::CTaskLoop loop;
  platform::CMutex mutex;
  platform::CCondition settled;                // readers waiting in Flush
  std::deque<Job> jobs GUARDED_BY(mutex);      // queued, not yet started
  uint64_t queued GUARDED_BY(mutex) = 0;       // jobs ever queued
  uint64_t done GUARDED_BY(mutex) = 0;         // jobs run (the first `done` of them, in order)
  bool accepting GUARDED_BY(mutex) = false;

  // The periodic job, posted again after every run while the loop runs. Due times order
  // it among the writes, so a steady stream of writes cannot hold it off.
  static void SchedulePeriodic(const std::shared_ptr<State>& state, Job job, std::chrono::milliseconds period);

  // Runs the oldest waiting job, if any; false when none waits.
  bool RunOldest() {
    Job job;
    {
      platform::CMutexLock lock(mutex);
      if (jobs.empty()) return false;
      job = std::move(jobs.front());
      jobs.pop_front();
    }
    RunLogged(job);
    job = nullptr;  // what the job holds goes before the readers are told
    {
      platform::CMutexLock lock(mutex);
      ++done;
    }
    settled.NotifyAll();
    return true;
  }
};


void CWriteQueue::State::SchedulePeriodic(const std::shared_ptr<State>& state, Job job,
                                          std::chrono::milliseconds period) {
  std::weak_ptr<State> weak = state;
  state->loop.PostDelayed(period, [weak, job, period] {
    std::shared_ptr<State> alive = weak.lock();
    if (!alive) return;
    RunLogged(job);
    SchedulePeriodic(alive, job, period);
  });
}

CWriteQueue::CWriteQueue(const CLogger& logger) : m_state(std::make_shared<State>(logger)) {}

CWriteQueue::~CWriteQueue() { Stop(); }

bool CWriteQueue::Start(Job periodic, std::chrono::milliseconds period) {
  std::shared_ptr<State> state = m_state;
  // The hook lives in the loop, which lives in the state: it holds the state weakly.
  std::weak_ptr<State> weak = state;
  state->loop.SetReportHook([weak](const std::string& line) {
    if (std::shared_ptr<State> alive = weak.lock()) alive->logger.Write(LogLevel::Error, line);
  });
  if (!state->loop.Start()) return false;
  {
    platform::CMutexLock lock(state->mutex);
    state->accepting = true;
  }
  if (periodic && period.count() > 0) State::SchedulePeriodic(state, std::move(periodic), period);
  return true;
}

bool CWriteQueue::Push(Job job) {
  State& s = *m_state;
  // The loop's post is made under this lock so that a job is queued only with the loop
  // task that will run it; the loop never takes this lock while holding its own.
  platform::CMutexLock lock(s.mutex);
  if (!s.accepting) return false;
  std::weak_ptr<State> weak = m_state;
  if (!s.loop.Post([weak] {
        if (std::shared_ptr<State> alive = weak.lock()) alive->RunOldest();
      })) {
    return false;
  }
  s.jobs.push_back(std::move(job));
  ++s.queued;
  return true;
}

void CWriteQueue::Flush() {
  State& s = *m_state;
  // On the writer thread the jobs queued before the running one have run, and waiting for
  // later ones there could never end.
  if (s.loop.IsCurrent()) return;
  platform::CMutexLock lock(s.mutex);
  const uint64_t target = s.queued;
  while (s.done < target && s.loop.Running()) s.settled.Wait(lock);
}

void CWriteQueue::Stop() {
  State& s = *m_state;
  {
    platform::CMutexLock lock(s.mutex);
    s.accepting = false;
  }
  const bool onWriter = s.loop.IsCurrent();
  // Runs what is queued, then ends the thread. On the writer thread itself (the last
  // store reference dropped inside a job) the rest runs here and now, while the store
  // that the jobs use still exists.
  s.loop.Stop();
  if (onWriter) {
    while (s.RunOldest()) {
    }
  }
  s.settled.NotifyAll();
}

}  // namespace datastore

#include "components/datastore/writequeue.h"

#include <cstdint>
#include <algorithm>
#include <deque>
#include <vector>

#include "components/datastore/tunables.h"
#include "platform/mutex.h"
#include "platform/taskfailure.h"
#include "platform/taskloop.h"

namespace datastore {

namespace {

// Runs a job; one that throws is reported as any failed task is, and counts as run.
void RunLogged(const CWriteQueue::Job& job) { platform::RunReportingFailure("store writer", job); }

}  // namespace

// The jobs wait here and the store's task loop runs them in batches: the first job queued
// while none waits posts one loop task, which takes every job waiting then (up to the
// batch limit) and runs them between the batch hooks, so that a burst of writes costs one
// wake-up and one commit. Keeping the jobs here lets a stop on the writer thread run the
// rest at once, and the counts let Flush wait for exactly the jobs queued before it.
struct CWriteQueue::State {
  explicit State(const CLogger& log)
      : logger(log), loop("store writer", platform::CTaskLoop::Mode::OwnThread, platform::CTaskLoop::OnStop::Run) {}

  CLogger logger;
  platform::CTaskLoop loop;
  BatchHooks hooks;  // set before Start; used on the writer thread only
  platform::CMutex mutex;
  platform::CCondition settled;                // readers waiting in Flush
  std::deque<Job> jobs GUARDED_BY(mutex);      // queued, not yet started
  uint64_t queued GUARDED_BY(mutex) = 0;       // jobs ever queued
  uint64_t done GUARDED_BY(mutex) = 0;         // jobs run (the first `done` of them, in order)
  bool accepting GUARDED_BY(mutex) = false;
  bool scheduled GUARDED_BY(mutex) = false;    // a loop task will take the waiting jobs

  // The periodic job, posted again after every run while the loop runs. Due times order
  // it among the writes, so a steady stream of writes cannot hold it off.
  static void SchedulePeriodic(const std::shared_ptr<State>& state, Job job, std::chrono::milliseconds period);

  // Posts the loop task that takes the waiting jobs; false when the loop takes no more.
  static bool PostBatch(const std::weak_ptr<State>& weak) {
    std::shared_ptr<State> state = weak.lock();
    return state && state->loop.Post([weak] {
      if (std::shared_ptr<State> alive = weak.lock()) alive->RunBatches(weak);
    });
  }

  // One batch, then the next one posted behind whatever else waits on the loop; when the
  // loop is stopping and takes no more tasks, the rest runs here.
  void RunBatches(const std::weak_ptr<State>& weak) {
    if (RunBatch() && !PostBatch(weak)) {
      while (RunBatch()) {
      }
    }
  }

  // The jobs of one batch, run in order from `next`. `together` while they run inside the
  // hooks' batch; a batch that was lost starts again from its first job, each job on its
  // own. Writer thread only.
  struct Batch {
    std::vector<Job> jobs;
    size_t next = 0;
    bool together = false;
    bool finished = false;
  };
  Batch* running = nullptr;  // the batch being run, for a stop from inside one of its jobs

  // Runs the oldest waiting jobs (up to the batch limit) as one batch. True when the limit
  // left jobs waiting: the caller sees that they are taken too. Jobs queued while the
  // batch runs have a loop task of their own (Push posts one once the batch is taken).
  bool RunBatch() {
    Batch batch;
    bool leftSome;
    {
      platform::CMutexLock lock(mutex);
      const size_t count = std::min(jobs.size(), tunables::kWriteBatchLimit);
      batch.jobs.reserve(count);
      for (size_t i = 0; i < count; ++i) {
        batch.jobs.push_back(std::move(jobs.front()));
        jobs.pop_front();
      }
      leftSome = !jobs.empty();
      scheduled = leftSome;
    }
    if (batch.jobs.empty()) return false;
    Batch* const outer = running;
    running = &batch;
    batch.together = hooks.begin && hooks.begin();
    Finish(batch);
    running = outer;
    const size_t count = batch.jobs.size();
    batch.jobs.clear();  // what the jobs hold goes before the readers are told
    {
      platform::CMutexLock lock(mutex);
      done += count;
    }
    settled.NotifyAll();
    return leftSome;
  }

  // Runs the rest of a batch and ends it. A job may stop the queue (the store let go inside
  // it); the stop finishes the batch at once, while what the jobs use still exists, and
  // this call then returns without touching it again.
  void Finish(Batch& b) {
    while (!b.finished) {
      if (b.next < b.jobs.size()) {
        if (b.together && !hooks.intact()) {
          b.together = false;  // an error ended the batch and undid its jobs
          b.next = 0;
          continue;
        }
        RunLogged(b.jobs[b.next++]);
        continue;
      }
      if (b.together && !(hooks.intact() && hooks.end())) {
        b.together = false;  // not committed: every job again, on its own
        b.next = 0;
        continue;
      }
      b.finished = true;
    }
  }

  // A stop on the writer thread: the running batch is finished, then every waiting job runs.
  void RunRestHere() {
    if (running) Finish(*running);
    while (RunBatch()) {
    }
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

void CWriteQueue::SetBatchHooks(BatchHooks hooks) {
  if (hooks.begin && hooks.intact && hooks.end) m_state->hooks = std::move(hooks);
}

bool CWriteQueue::Push(Job job) {
  State& s = *m_state;
  // The loop's post is made under this lock so that a job is queued only with the loop
  // task that will run it; the loop never takes this lock while holding its own.
  platform::CMutexLock lock(s.mutex);
  if (!s.accepting) return false;
  if (!s.scheduled) {
    if (!State::PostBatch(m_state)) return false;
    s.scheduled = true;
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
  if (onWriter) s.RunRestHere();
  s.settled.NotifyAll();
}

}  // namespace datastore

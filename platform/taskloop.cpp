#include "platform/taskloop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <exception>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/mutex.h"
#include "platform/taskfailure.h"
#include "platform/thread.h"

namespace platform {

namespace {

using Clock = CTaskLoop::Clock;
using Task = CTaskLoop::Task;

struct Entry {
  Clock::time_point due;
  uint64_t sequence;
  Task task;  // empty once replaced or dropped
};

// Min-heap order of the delayed tasks: earliest due first, then the earliest posted.
bool DueLater(const Entry& a, const Entry& b) {
  return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
}

bool RunsBefore(const Entry& a, const Entry& b) { return DueLater(b, a); }

}  // namespace

struct CTaskLoop::State {
  State(std::string n, Mode m, OnStop s) : name(std::move(n)), mode(m), onStop(s) {}
  ~State() {
    if (fd >= 0) close(fd);
  }

  const std::string name;
  const Mode mode;
  const OnStop onStop;

  mutable CMutex mutex;
  CCondition wake;
  ReportHook report GUARDED_BY(mutex);
  // Posted tasks in posting order (so also in due order). Replaced and dropped ones stay
  // as empty entries until the loop takes the queue. A vector, swapped with the loop's
  // emptied batch on every take: its storage is reused, where a deque gave back its
  // blocks on every clear and allocated one for every ten tasks posted.
  std::vector<Entry> ready GUARDED_BY(mutex);
  // Drained: the storage of the last batch RunPending ran, kept for the next take.
  std::vector<Entry> spare GUARDED_BY(mutex);
  std::vector<Entry> delayed GUARDED_BY(mutex);  // heap ordered by DueLater
  std::unordered_map<uint64_t, uint64_t> keyed GUARDED_BY(mutex);  // replace key -> sequence of the waiting task
  std::deque<uint64_t> droppable GUARDED_BY(mutex);                // sequences of droppable waiting tasks
  size_t live GUARDED_BY(mutex) = 0;                               // non-empty entries of `ready`
  size_t limit GUARDED_BY(mutex) = 0;
  bool dropReported GUARDED_BY(mutex) = false;
  uint64_t nextSequence GUARDED_BY(mutex) = 0;
  bool started GUARDED_BY(mutex) = false;
  bool stopping GUARDED_BY(mutex) = false;
  // OwnThread: the loop sleeps on `wake` until `waitUntil`; a poster that wakes it clears
  // `waiting`, so the posts that follow before the loop runs do not wake it again.
  bool waiting GUARDED_BY(mutex) = false;
  Clock::time_point waitUntil GUARDED_BY(mutex);
  // Drained: the descriptor was written and the loop has not yet taken the queue.
  bool signalled GUARDED_BY(mutex) = false;
  int fd = -1;  // set once, before the loop is shared
  // Set by Stop when pending tasks are dropped: the rest of a batch the loop took is too.
  std::atomic<bool> dropRest{false};
  std::thread::id threadId GUARDED_BY(mutex);
  ThreadHandle thread GUARDED_BY(mutex);

  Entry* FindReady(uint64_t sequence) REQUIRES(mutex) {
    auto it = std::lower_bound(ready.begin(), ready.end(), sequence,
                               [](const Entry& e, uint64_t s) { return e.sequence < s; });
    return it != ready.end() && it->sequence == sequence && it->task ? &*it : nullptr;
  }

  bool HasDue(Clock::time_point now) const REQUIRES(mutex) {
    return live > 0 || (!delayed.empty() && delayed.front().due <= now);
  }

  // Moves every due task into `batch` (empty; its storage becomes the new queue, so that
  // a busy loop allocates nothing here), in running order. Called under the lock.
  void Take(Clock::time_point now, std::vector<Entry>* batch) REQUIRES(mutex) {
    if (delayed.empty() || delayed.front().due > now) {
      batch->swap(ready);
    } else {
      std::vector<Entry> due;
      while (!delayed.empty() && delayed.front().due <= now) {
        std::pop_heap(delayed.begin(), delayed.end(), DueLater);
        due.push_back(std::move(delayed.back()));
        delayed.pop_back();
      }
      std::merge(std::make_move_iterator(ready.begin()), std::make_move_iterator(ready.end()),
                 std::make_move_iterator(due.begin()), std::make_move_iterator(due.end()), std::back_inserter(*batch),
                 RunsBefore);
      ready.clear();
    }
    if (!keyed.empty()) keyed.clear();
    if (!droppable.empty()) droppable.clear();
    live = 0;
    dropReported = false;
  }

  void Report(const std::string& line) {
    ReportHook hook;
    {
      CMutexLock guard(mutex);
      hook = report;
    }
    if (hook) {
      try {
        hook(line);
        return;
      } catch (...) {
        // A failing hook falls back to stderr below.
      }
    }
    std::fprintf(stderr, "%s: %s\n", name.c_str(), line.c_str());
  }

  void RunOne(Task& task) { RunReportingFailure(name, task); }

  // Runs a taken batch with no lock held; tasks left when the loop is stopped with
  // OnStop::Drop are destroyed unrun. Each task is destroyed right after it ran.
  void RunBatch(std::vector<Entry>& batch) {
    for (Entry& e : batch) {
      if (dropRest.load(std::memory_order_acquire)) break;
      if (!e.task) continue;
      RunOne(e.task);
      e.task = nullptr;
    }
    batch.clear();
  }

  void RunThread() {
    std::vector<Entry> batch;
    CMutexLock lock(mutex);
    for (;;) {
      const Clock::time_point now = Clock::now();
      const bool due = HasDue(now);
      if (stopping && (onStop == OnStop::Drop || !due)) break;
      if (due) {
        Take(now, &batch);
        lock.Unlock();
        RunBatch(batch);
        lock.Lock();
        continue;
      }
      waiting = true;
      if (delayed.empty()) {
        waitUntil = Clock::time_point::max();
        wake.Wait(lock);
      } else {
        // A copy: Stop may destroy the queued entry while this waits on its due time.
        const Clock::time_point until = delayed.front().due;
        waitUntil = until;
        wake.WaitUntil(lock, until);
      }
      waiting = false;
    }
    // Delayed tasks left behind are destroyed outside the lock.
    std::vector<Entry> left;
    left.swap(delayed);
    lock.Unlock();
  }

  // Queues an entry under the lock; returns whether and how the loop must be woken.
  // Replaced or dropped tasks are handed back in `discard`, to be destroyed unlocked.
  bool Push(Clock::duration delay, const PostOptions& options, Task task, std::vector<Task>* discard,
            std::string* dropLine, bool* wakeCondition, bool* wakeFd) REQUIRES(mutex) {
    if (stopping) {
      discard->push_back(std::move(task));
      return false;
    }
    if (!task) return true;  // nothing to run
    const uint64_t sequence = nextSequence++;
    Clock::time_point due;
    if (delay > Clock::duration::zero()) {
      const Clock::time_point now = Clock::now();
      due = delay >= Clock::time_point::max() - now ? Clock::time_point::max() : now + delay;
      delayed.push_back(Entry{due, sequence, std::move(task)});
      std::push_heap(delayed.begin(), delayed.end(), DueLater);
    } else {
      // A posted task's time matters only against delayed tasks waiting now: a delayed
      // task posted later falls due later anyway. Without any, it takes the time of the
      // task before it (or the earliest time), which keeps the queue in due order and
      // saves reading the clock.
      if (!delayed.empty()) {
        due = Clock::now();
      } else if (!ready.empty()) {
        due = ready.back().due;
      } else {
        due = Clock::time_point::min();
      }
      if (options.replaceKey != 0) {
        auto it = keyed.find(options.replaceKey);
        if (it != keyed.end()) {
          if (Entry* old = FindReady(it->second)) {
            discard->push_back(std::move(old->task));
            old->task = nullptr;
            --live;
          }
          it->second = sequence;
        } else {
          keyed.emplace(options.replaceKey, sequence);
        }
      }
      ready.push_back(Entry{due, sequence, std::move(task)});
      ++live;
      if (options.droppable) droppable.push_back(sequence);
      if (limit != 0 && live > limit) DropOldest(discard, dropLine);
      // Replaced and dropped entries are cleared out once they outnumber the live ones.
      if (ready.size() > 64 && ready.size() > 2 * live) {
        ready.erase(std::remove_if(ready.begin(), ready.end(), [](const Entry& e) { return !e.task; }),
                    ready.end());
        droppable.erase(std::remove_if(droppable.begin(), droppable.end(),
                                       [this](uint64_t s) REQUIRES(mutex) { return FindReady(s) == nullptr; }),
                        droppable.end());
      }
    }
    if (mode == Mode::Drained) {
      *wakeFd = !signalled && fd >= 0;
      signalled = true;
    } else if (waiting && due < waitUntil) {
      *wakeCondition = true;
      waiting = false;
    }
    return true;
  }

  void DropOldest(std::vector<Task>* discard, std::string* dropLine) REQUIRES(mutex) {
    while (!droppable.empty()) {
      Entry* oldest = FindReady(droppable.front());
      droppable.pop_front();
      if (!oldest) continue;  // already replaced
      discard->push_back(std::move(oldest->task));
      oldest->task = nullptr;
      --live;
      if (!dropReported) {
        dropReported = true;
        *dropLine = "more than " + std::to_string(limit) + " tasks wait; dropping the oldest droppable ones";
      }
      return;
    }
  }

  bool Post(Clock::duration delay, const PostOptions& options, Task task) {
    std::vector<Task> discard;
    std::string dropLine;
    bool wakeCondition = false, wakeFd = false, queued;
    {
      CMutexLock guard(mutex);
      queued = Push(delay, options, std::move(task), &discard, &dropLine, &wakeCondition, &wakeFd);
    }
    if (wakeCondition) wake.NotifyOne();
    if (wakeFd) {
      const uint64_t one = 1;
      ssize_t written = write(fd, &one, sizeof one);
      (void)written;
    }
    if (!dropLine.empty()) Report(dropLine);
    return queued;
  }
};

CTaskLoop::CTaskLoop(std::string name, Mode mode, OnStop onStop)
    : m_state(std::make_shared<State>(std::move(name), mode, onStop)) {
  if (mode == Mode::Drained) m_state->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CTaskLoop::~CTaskLoop() { Stop(); }

void CTaskLoop::SetReportHook(ReportHook hook) {
  CMutexLock guard(m_state->mutex);
  m_state->report = std::move(hook);
}

void CTaskLoop::SetLimit(size_t maxPending) {
  CMutexLock guard(m_state->mutex);
  m_state->limit = maxPending;
}

bool CTaskLoop::Start() {
  std::shared_ptr<State> state = m_state;
  CMutexLock guard(state->mutex);
  if (state->started || state->stopping) return state->started && !state->stopping;
  if (state->mode == Mode::Drained) {
    state->threadId = std::this_thread::get_id();
    state->started = true;
    return true;
  }
  // The lock is held until the thread's id is known: the thread takes it first thing.
  state->thread = CreateThread([state] { state->RunThread(); });
  if (!state->thread) {
    state->stopping = true;
    return false;
  }
  state->threadId = state->thread->get_id();
  state->started = true;
  return true;
}

bool CTaskLoop::Running() const {
  CMutexLock guard(m_state->mutex);
  return m_state->started && !m_state->stopping;
}

bool CTaskLoop::Post(Task task) { return PostWith(PostOptions(), std::move(task)); }

bool CTaskLoop::PostDelayed(Clock::duration delay, Task task) {
  return m_state->Post(delay, PostOptions(), std::move(task));
}

bool CTaskLoop::PostWith(const PostOptions& options, Task task) {
  return m_state->Post(Clock::duration::zero(), options, std::move(task));
}

bool CTaskLoop::IsCurrent() const {
  CMutexLock guard(m_state->mutex);
  return m_state->started && std::this_thread::get_id() == m_state->threadId;
}

void CTaskLoop::Stop() {
  ThreadHandle thread;
  std::vector<Entry> dropped;
  std::vector<Entry> droppedLater;
  bool onLoop;
  {
    CMutexLock guard(m_state->mutex);
    m_state->stopping = true;
    if (m_state->onStop == OnStop::Drop) {
      m_state->dropRest.store(true, std::memory_order_release);
      dropped.swap(m_state->ready);
      m_state->keyed.clear();
      m_state->droppable.clear();
      m_state->live = 0;
    }
    droppedLater.swap(m_state->delayed);
    thread = std::move(m_state->thread);
    onLoop = thread && std::this_thread::get_id() == m_state->threadId;
  }
  m_state->wake.NotifyAll();
  // Destroyed here, outside the lock: a task's captures may call back into the loop.
  dropped.clear();
  droppedLater.clear();
  if (!thread) return;
  if (onLoop) {
    thread->detach();  // the thread holds the state and ends on its own
  } else {
    JoinAndClose(thread);
  }
}

int CTaskLoop::WakeFd() const { return m_state->fd; }

CTaskLoop::Clock::duration CTaskLoop::RunPending() {
  State& s = *m_state;
  // The descriptor is drained before the queue is taken: a post after the take writes it
  // again, so no post goes unnoticed.
  if (s.fd >= 0) {
    uint64_t count;
    ssize_t got = read(s.fd, &count, sizeof count);
    (void)got;
  }
  std::vector<Entry> batch;
  {
    CMutexLock guard(s.mutex);
    batch.swap(s.spare);
    s.signalled = false;
    const Clock::time_point now = Clock::now();
    if (s.started && !(s.stopping && s.onStop == OnStop::Drop) && s.HasDue(now)) s.Take(now, &batch);
  }
  s.RunBatch(batch);
  CMutexLock guard(s.mutex);
  if (s.spare.capacity() < batch.capacity()) s.spare.swap(batch);
  if (s.live > 0) return Clock::duration::zero();
  if (s.delayed.empty()) return Clock::duration::max();
  return std::max(Clock::duration::zero(), s.delayed.front().due - Clock::now());
}

}  // namespace platform

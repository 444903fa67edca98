#include "components/webpage/engineloop.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "components/webpage/weblog.h"
#include "platform/thread.h"

namespace webpage {

using Clock = std::chrono::steady_clock;

// Tasks run in the order they became runnable: a posted task when it was posted, a
// delayed task when it fell due. A task posted before a delayed task falls due runs
// first, however late the loop gets to either; ties go to the one queued first.
struct CEngineLoop::State {
  struct Runnable {
    Clock::time_point at;  // posting time, or due time of a delayed task
    unsigned long long sequence;
    Task task;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Runnable> ready;  // posting order: times and sequences increase
  std::multimap<std::pair<Clock::time_point, unsigned long long>, Task> delayed;
  unsigned long long nextSequence = 0;
  bool stopping = false;
  std::thread::id threadId;
  platform::ThreadHandle thread;
};

CEngineLoop::CEngineLoop() : m_state(std::make_shared<State>()) {
  std::shared_ptr<State> state = m_state;
  std::lock_guard<std::mutex> guard(state->mutex);
  state->thread = platform::CreateThread([state] { Run(state); });
  if (!state->thread) {
    state->stopping = true;
    LogError("cannot start the engine thread");
  } else {
    state->threadId = state->thread->get_id();
  }
}

CEngineLoop::~CEngineLoop() { Stop(); }

bool CEngineLoop::Running() const {
  std::lock_guard<std::mutex> guard(m_state->mutex);
  return !m_state->stopping;
}

bool CEngineLoop::Post(Task task) {
  {
    std::lock_guard<std::mutex> guard(m_state->mutex);
    if (m_state->stopping) return false;
    m_state->ready.push_back({Clock::now(), m_state->nextSequence++, std::move(task)});
  }
  m_state->wake.notify_one();
  return true;
}

bool CEngineLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
  {
    std::lock_guard<std::mutex> guard(m_state->mutex);
    if (m_state->stopping) return false;
    m_state->delayed.emplace(std::make_pair(Clock::now() + delay, m_state->nextSequence++), std::move(task));
  }
  m_state->wake.notify_one();
  return true;
}

bool CEngineLoop::IsLoopThread() const {
  std::lock_guard<std::mutex> guard(m_state->mutex);
  return m_state->thread && std::this_thread::get_id() == m_state->threadId;
}

void CEngineLoop::Stop() {
  platform::ThreadHandle thread;
  std::deque<State::Runnable> dropped;
  decltype(State::delayed) droppedLater;
  bool onLoop;
  {
    std::lock_guard<std::mutex> guard(m_state->mutex);
    m_state->stopping = true;
    dropped.swap(m_state->ready);
    droppedLater.swap(m_state->delayed);
    thread = std::move(m_state->thread);
    onLoop = thread && std::this_thread::get_id() == m_state->threadId;
  }
  m_state->wake.notify_all();
  // The dropped tasks are destroyed here, outside the lock: they may hold sinks.
  dropped.clear();
  droppedLater.clear();
  if (!thread) return;
  if (onLoop) {
    thread->detach();  // the thread keeps the state alive and ends after this task
  } else {
    platform::JoinAndClose(thread);
  }
}

void CEngineLoop::Run(std::shared_ptr<State> state) {
  std::unique_lock<std::mutex> lock(state->mutex);
  for (;;) {
    if (state->stopping) return;
    const Clock::time_point now = Clock::now();
    const bool delayedDue = !state->delayed.empty() && state->delayed.begin()->first.first <= now;
    // The due delayed task goes first only if it fell due before the oldest posted
    // task was posted (or at the same instant but was queued earlier).
    const bool takeDelayed =
        delayedDue && (state->ready.empty() ||
                       state->delayed.begin()->first <
                           std::make_pair(state->ready.front().at, state->ready.front().sequence));
    Task task;
    if (takeDelayed) {
      task = std::move(state->delayed.begin()->second);
      state->delayed.erase(state->delayed.begin());
    } else if (!state->ready.empty()) {
      task = std::move(state->ready.front().task);
      state->ready.pop_front();
    } else if (!state->delayed.empty()) {
      // A copy: wait_until reads its deadline again after waking, and Stop may have
      // destroyed the queue entry by then.
      const Clock::time_point due = state->delayed.begin()->first.first;
      state->wake.wait_until(lock, due);
      continue;
    } else {
      state->wake.wait(lock);
      continue;
    }
    lock.unlock();
    try {
      task();
    } catch (const std::exception& e) {
      LogError(std::string("engine task failed: ") + e.what());
    } catch (...) {
      LogError("engine task failed with an unknown exception");
    }
    task = nullptr;  // destroy captures before taking the lock again
    lock.lock();
  }
}

}  // namespace webpage

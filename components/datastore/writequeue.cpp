#include "components/datastore/writequeue.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/thread.h"

namespace datastore {

struct CWriteQueue::State {
  explicit State(const CLogger& log) : logger(log) {}

  CLogger logger;
  std::mutex mutex;
  std::condition_variable wake;     // the writer: a job, the stop, or the periodic time
  std::condition_variable settled;  // readers waiting in Flush
  std::deque<Job> queue;
  uint64_t queued = 0;  // jobs ever queued
  uint64_t done = 0;    // jobs run (the first `done` of them, in order)
  bool running = false;
  bool stopping = false;
  std::thread::id writerId;
  platform::ThreadHandle thread;
  Job periodic;
  std::chrono::milliseconds period{0};

  void Run();
  // Runs a job with no lock held; a job that throws is logged and counts as run.
  void RunJob(Job& job);
  // Takes and runs the next job; false when the queue is empty. Called with `lock` held.
  bool RunNext(std::unique_lock<std::mutex>& lock);
};

void CWriteQueue::State::RunJob(Job& job) {
  try {
    job();
  } catch (...) {
    logger.Write(LogLevel::Error, "a queued write failed unexpectedly");
  }
  job = nullptr;  // what the job holds goes here, outside the lock
}

bool CWriteQueue::State::RunNext(std::unique_lock<std::mutex>& lock) {
  if (queue.empty()) return false;
  Job job = std::move(queue.front());
  queue.pop_front();
  lock.unlock();
  RunJob(job);
  lock.lock();
  ++done;
  settled.notify_all();
  return true;
}

void CWriteQueue::State::Run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point next = Clock::now() + period;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    // The periodic job goes first when due, so that a steady stream of writes cannot
    // hold it off.
    if (periodic && !stopping && Clock::now() >= next) {
      Job task = periodic;
      lock.unlock();
      RunJob(task);
      lock.lock();
      next = Clock::now() + period;
      continue;
    }
    if (RunNext(lock)) continue;
    if (stopping) return;  // everything queued has run
    if (periodic) {
      wake.wait_until(lock, next);
    } else {
      wake.wait(lock);
    }
  }
}

CWriteQueue::CWriteQueue(const CLogger& logger) : m_state(std::make_shared<State>(logger)) {}

CWriteQueue::~CWriteQueue() { Stop(); }

bool CWriteQueue::Start(Job periodic, std::chrono::milliseconds period) {
  std::shared_ptr<State> state = m_state;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->periodic = std::move(periodic);
    state->period = period;
  }
  // The thread keeps the state alive, so it can end on its own after the store is gone.
  platform::ThreadHandle thread = platform::CreateThread([state] { state->Run(); });
  if (!thread) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  state->writerId = thread->get_id();
  state->thread = std::move(thread);
  state->running = true;
  return true;
}

bool CWriteQueue::Push(Job job) {
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!m_state->running || m_state->stopping) return false;
    m_state->queue.push_back(std::move(job));
    ++m_state->queued;
  }
  m_state->wake.notify_one();
  return true;
}

void CWriteQueue::Flush() {
  std::unique_lock<std::mutex> lock(m_state->mutex);
  if (std::this_thread::get_id() == m_state->writerId) return;
  const uint64_t target = m_state->queued;
  m_state->settled.wait(lock, [&] { return m_state->done >= target; });
}

void CWriteQueue::Stop() {
  platform::ThreadHandle thread;
  bool onWriter = false;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stopping = true;
    thread = std::move(m_state->thread);
    onWriter = thread && thread->get_id() == std::this_thread::get_id();
  }
  m_state->wake.notify_one();
  if (onWriter) {
    // A thread cannot join itself: the rest runs here, and the thread, back in its loop,
    // finds the queue empty and ends.
    std::unique_lock<std::mutex> lock(m_state->mutex);
    while (m_state->RunNext(lock)) {
    }
    lock.unlock();
    thread->detach();
    return;
  }
  if (thread) platform::JoinAndClose(thread);
}

}  // namespace datastore

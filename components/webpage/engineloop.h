#pragma once
// The engine's own thread: runs posted tasks one at a time, in posting order, and
// delayed tasks when they are due. Page events are delivered on it. A thin face over the
// platform's task loop, whose order and failure rules it keeps (see platform/taskloop.h).
#include <chrono>
#include <functional>

#include "platform/taskloop.h"

namespace webpage {

class CEngineLoop {
 public:
  using Task = std::function<void()>;

  // Starts the thread; check Running() for a thread that could not be created.
  CEngineLoop();
  // Stops the loop (see Stop).
  ~CEngineLoop();
  CEngineLoop(const CEngineLoop&) = delete;
  CEngineLoop& operator=(const CEngineLoop&) = delete;

  bool Running() const { return m_loop.Running(); }
  // Queues a task; false (and the task is dropped) once the loop has stopped.
  bool Post(Task task) { return m_loop.Post(std::move(task)); }
  bool PostDelayed(std::chrono::milliseconds delay, Task task) { return m_loop.PostDelayed(delay, std::move(task)); }
  bool IsLoopThread() const { return m_loop.IsCurrent(); }
  // Ends the loop: tasks not yet started are dropped. Waits for the thread unless it is
  // the calling thread, which then ends after its current task.
  void Stop() { m_loop.Stop(); }

 private:
  platform::CTaskLoop m_loop;
};

}  // namespace webpage

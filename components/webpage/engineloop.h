#pragma once
// The engine's own thread: runs posted tasks one at a time, in posting order, and
// delayed tasks when they are due. Page events are delivered on it.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

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

  bool Running() const;
  // Queues a task; false (and the task is dropped) once the loop has stopped.
  bool Post(Task task);
  bool PostDelayed(std::chrono::milliseconds delay, Task task);
  bool IsLoopThread() const;
  // Ends the loop: tasks not yet started are dropped. Waits for the thread unless it is
  // the calling thread, which then ends after its current task.
  void Stop();

 private:
  struct State;
  static void Run(std::shared_ptr<State> state);

  std::shared_ptr<State> m_state;
};

}  // namespace webpage

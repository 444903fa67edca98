#pragma once
// A task loop: tasks posted from any thread run one at a time on one thread, either a
// thread of the loop's own (Mode::OwnThread) or the thread of an outside loop that drains
// it (Mode::Drained: that loop waits on WakeFd() with its other descriptors and calls
// RunPending()).
//
// Order: by due time, then by posting order. A posted task is due when it is posted, a
// delayed task when its delay ends; so tasks posted at one instant run in posting order,
// and a delayed task never overtakes a task that was posted before it fell due.
//
// Failures: a task that throws anything is caught and reported as every queue reports
// one (platform/taskfailure.h, under the loop's name), and the loop goes on.
//
// Threads: the loop takes every due task at once under its lock and runs them with no
// lock held. A poster wakes the loop only when the loop waits.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/export.h"

namespace platform {

class PLATFORM_API CTaskLoop {
 public:
  using Task = std::function<void()>;
  using Clock = std::chrono::steady_clock;
  // Receives the loop's own notices (one line when tasks are dropped past the limit);
  // called with no lock held, on the posting thread.
  using ReportHook = std::function<void(const std::string& line)>;

  enum class Mode { OwnThread, Drained };
  // What becomes of the tasks not yet started when the loop stops: dropped (destroyed
  // unrun), or run before the loop ends (delayed tasks not yet due are dropped either way).
  enum class OnStop { Drop, Run };

  struct PostOptions {
    // May be dropped, oldest first, while more tasks wait than the limit allows.
    bool droppable = false;
    // Non-zero: replaces the task still waiting that was posted with the same key; the
    // new one takes its place at the end of the queue.
    uint64_t replaceKey = 0;
  };

  // `name` appears in the reported lines, failures included.
  explicit CTaskLoop(std::string name, Mode mode = Mode::OwnThread, OnStop onStop = OnStop::Drop);
  // Stops the loop (see Stop).
  ~CTaskLoop();
  CTaskLoop(const CTaskLoop&) = delete;
  CTaskLoop& operator=(const CTaskLoop&) = delete;

  // Set before Start; the default writes to stderr.
  void SetReportHook(ReportHook hook);
  // The most posted tasks that may wait at once (0: no limit, the default). Past it, the
  // oldest droppable task is dropped; one line is reported per run of drops.
  void SetLimit(size_t maxPending);

  // OwnThread: starts the thread; false (and the loop is stopped) when it cannot be made.
  // Drained: the calling thread becomes the loop's thread.
  bool Start();
  // Started and not yet stopped.
  bool Running() const;

  // Queue a task; false (and the task is dropped) once the loop has stopped. Tasks may be
  // posted before Start; they run once it has started.
  bool Post(Task task);
  bool PostDelayed(Clock::duration delay, Task task);
  bool PostWith(const PostOptions& options, Task task);

  // True on the loop's thread (for checks in debug code and tests).
  bool IsCurrent() const;

  // Ends the loop; posting fails from now on. The tasks not yet started are dropped or
  // run as the loop's OnStop says. Waits for the loop's thread to end, unless called on
  // it (from a task): then it returns at once and the thread ends after the current task
  // (OnStop::Drop) or after the pending tasks (OnStop::Run).
  void Stop();

  // Drained mode. A descriptor that is readable while tasks wait to be run; -1 when it
  // could not be made (the outside loop then has to call RunPending on a timer).
  int WakeFd() const;
  // Runs every task that is due, on the calling thread (the loop's thread). Returns the
  // time until the next delayed task is due, or Clock::duration::max() when none waits.
  Clock::duration RunPending();

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

}  // namespace platform

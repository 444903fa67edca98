#pragma once
// A blocking first-in-first-out queue of tasks served by one worker thread.
#include <deque>
#include <memory>

#include "platform/event.h"
#include "platform/lock.h"
#include "uicontrol/export.h"
#include "uicontrol/tabtask.h"

class UICONTROL_API CTabTaskQueue {
 public:
  CTabTaskQueue() = default;
  // Tasks still waiting are released without being executed.
  ~CTabTaskQueue() = default;
  CTabTaskQueue(const CTabTaskQueue&) = delete;
  CTabTaskQueue& operator=(const CTabTaskQueue&) = delete;

  // Appends the task and wakes the worker. Any thread may post.
  void PostTask(std::shared_ptr<ITabTask> spTask);
  // Posts a TaskQuitLoop.
  void PostQuit();
  // The serving loop: runs tasks one at a time, in posting order, until one returns false.
  // A task that throws is a programming error: the loop logs it, drops the task and goes
  // on, so the queue never stops being served silently.
  void Run();

  // Releases the tasks still waiting without executing them, outside the queue's lock.
  // For an owner that goes away before the queue does: what those tasks hold (a
  // component, a record) is let go while the things they refer to still exist.
  void ReleasePending();

  // Number of tasks waiting (for tests and diagnostics).
  size_t PendingCount();

 private:
  std::deque<std::shared_ptr<ITabTask>> m_dequeTask;
  CLock m_lock;
  CAutoResetEvent m_hEvent;
};

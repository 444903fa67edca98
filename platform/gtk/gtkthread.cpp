#include "platform/gtk/gtkthread.h"

#include <glib.h>

#include <cstdio>
#include <deque>
#include <exception>
#include <utility>

#include "platform/mutex.h"
#include "platform/taskfailure.h"

namespace platform::gtk {
namespace {

// One queue for the process: one idle source is attached while tasks wait, and it runs
// every task that is queued when it fires, one at a time, unlocked.
struct TaskQueue {
  CMutex mutex;
  std::deque<std::function<void()>> tasks GUARDED_BY(mutex);
  bool sourceAttached GUARDED_BY(mutex) = false;
};

TaskQueue& Queue() {
  static TaskQueue* queue = new TaskQueue;  // lives to the end: posts may come at exit
  return *queue;
}

gboolean RunQueuedTasks(gpointer) {
  TaskQueue& q = Queue();
  for (;;) {
    std::function<void()> task;
    {
      CMutexLock guard(q.mutex);
      if (q.tasks.empty()) {
        q.sourceAttached = false;
        return G_SOURCE_REMOVE;
      }
      task = std::move(q.tasks.front());
      q.tasks.pop_front();
    }
    RunReportingFailure("GTK thread", task);
  }
}

}  // namespace

void PostToGtkThread(std::function<void()> task) {
  if (!task) return;
  TaskQueue& q = Queue();
  bool attach = false;
  {
    CMutexLock guard(q.mutex);
    q.tasks.push_back(std::move(task));
    if (!q.sourceAttached) q.sourceAttached = attach = true;
  }
  if (attach) {
    // Attaching wakes the context if it sleeps in poll.
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, RunQueuedTasks, nullptr, nullptr);
    g_source_attach(source, g_main_context_default());
    g_source_unref(source);
  }
}

bool IsGtkThread() { return g_main_context_is_owner(g_main_context_default()) != FALSE; }

size_t PendingGtkTasks() {
  TaskQueue& q = Queue();
  CMutexLock guard(q.mutex);
  return q.tasks.size();
}

}  // namespace platform::gtk

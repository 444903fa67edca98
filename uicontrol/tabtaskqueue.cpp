#include "uicontrol/tabtaskqueue.h"

#include <exception>

#include "logging/logging.h"
#include "platform/taskfailure.h"

void CTabTaskQueue::PostTask(std::shared_ptr<ITabTask> spTask) {
  {
    CAutoLock guard(m_lock);
    m_dequeTask.push_back(std::move(spTask));
  }
  // Signalled after the lock is released, so that the woken worker does not at once
  // block on the lock that the poster still holds.
  m_hEvent.Set();
}

void CTabTaskQueue::PostQuit() { PostTask(std::make_shared<TaskQuitLoop>()); }

void CTabTaskQueue::ReleasePending() {
  std::deque<std::shared_ptr<ITabTask>> dequeTask;
  {
    CAutoLock guard(m_lock);
    dequeTask.swap(m_dequeTask);
  }
}

size_t CTabTaskQueue::PendingCount() {
  CAutoLock guard(m_lock);
  return m_dequeTask.size();
}

void CTabTaskQueue::Run() {
  // Look at the queue before the first wait: tasks posted behind the quit task that
  // ended an earlier Run are already there, and their signal was consumed by it.
  size_t uRemaining = 1;
  for (;;) {
    if (uRemaining == 0) m_hEvent.Wait();
    std::shared_ptr<ITabTask> spTask;
    {
      CAutoLock guard(m_lock);
      if (m_dequeTask.empty()) {
        // A signal left over from tasks taken without waiting.
        uRemaining = 0;
        continue;
      }
      spTask = std::move(m_dequeTask.front());
      m_dequeTask.pop_front();
      uRemaining = m_dequeTask.size();
    }
    bool bContinue = true;
    platform::RunReportingFailure("tab task queue", [&] { bContinue = spTask->Execute(); });
    spTask.reset();
    if (!bContinue) break;
  }
}

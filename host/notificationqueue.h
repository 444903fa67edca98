#pragma once
// Hands the library's notifications, which arrive on worker, page and store threads, to
// the thread that runs Lua. Producers push from any thread; that thread's own loop waits
// on ReadableFd() with its other descriptors and calls Dispatch, which hands over what
// waits, in order. A drained platform task loop carries them (platform/taskloop.h).
//
// A slow interface does not let the queue grow without end: a tab's newer progress
// replaces its progress still waiting (moving to the end, so that it stays after what was
// pushed before it), and past the limit the oldest progress and status text notifications
// are dropped, with one log line per run of drops. Nothing else is ever dropped.
#include <cstddef>
#include <functional>
#include <string>

#include "platform/taskloop.h"

struct HostNotification {
  enum Kind { Tab, Data } kind = Tab;
  unsigned int uID = 0;  // Tab only
  std::wstring key;
  std::wstring value;  // the value text of a tab event, or the data text
};

class CNotificationQueue {
 public:
  using Handler = std::function<void(const HostNotification&)>;
  static constexpr size_t kDefaultLimit = 10000;

  // The constructing thread is the one that dispatches.
  explicit CNotificationQueue(size_t limit = kDefaultLimit);
  ~CNotificationQueue();
  CNotificationQueue(const CNotificationQueue&) = delete;
  CNotificationQueue& operator=(const CNotificationQueue&) = delete;

  void Push(HostNotification notification);
  // On the dispatching thread: hands every waiting notification to `handler`, in order.
  // Returns how many it handed over.
  size_t Dispatch(const Handler& handler);
  // A descriptor that is readable while notifications wait, for hosts that wait on it
  // together with other descriptors (poll); -1 when it could not be made.
  int ReadableFd();
  // Drains the descriptor after it became readable (Dispatch does so too).
  void ClearReadable();

 private:
  platform::CTaskLoop m_loop;
  // Set only while Dispatch runs, and read only by the tasks it runs: both on the
  // dispatching thread.
  const Handler* m_handler = nullptr;
  size_t m_handed = 0;
};

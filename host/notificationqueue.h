#pragma once
// Hands the library's notifications, which arrive on worker, page and store threads, to
// the thread that runs Lua. Producers push; the Lua thread waits and takes them in order.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

struct HostNotification {
  enum Kind { Tab, Data } kind = Tab;
  unsigned int uID = 0;  // Tab only
  std::wstring key;
  std::wstring value;  // the value text of a tab event, or the data text
};

class CNotificationQueue {
 public:
  void Push(HostNotification notification);
  // Waits up to `timeout` for a notification; false when none came.
  bool WaitPop(HostNotification* out, std::chrono::milliseconds timeout);
  bool TryPop(HostNotification* out);
  // Wakes a waiter without a notification (for example to look at the terminal).
  void Wake();
  // A descriptor that becomes readable whenever a notification is pushed, for hosts that
  // wait on it together with other descriptors (poll); -1 when it could not be made.
  int ReadableFd();
  // Drains the descriptor after it became readable.
  void ClearReadable();
  ~CNotificationQueue();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::deque<HostNotification> m_items;
  bool m_woken = false;
  int m_fd = -2;  // eventfd, made on first use
};

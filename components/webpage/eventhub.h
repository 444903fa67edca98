#pragma once
// The sinks of one page and the delivery of its events, always on the engine thread.
// An event emitted there is delivered at once, unless deliveries posted earlier are still
// waiting; any other is posted to the engine thread while the hub's lock is held. Either
// way each sink sees events in the order in which they were emitted. State-like events (the page's window, title, progress and so
// on) are kept, and a sink that subscribes later receives the kept value first: the
// host subscribes after NewPage has returned and must still learn the page's window.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uicontrol/interfaces/notifystub.h"
#include "platform/mutex.h"

namespace webpage {

class CEventHub {
 public:
  using Poster = std::function<bool(std::function<void()>)>;
  using ThreadCheck = std::function<bool()>;

  // `post` queues a task on the engine thread; `onEngineThread` says whether the caller
  // is on it (without it, every delivery is posted).
  explicit CEventHub(Poster post, ThreadCheck onEngineThread = nullptr);
  CEventHub(const CEventHub&) = delete;
  CEventHub& operator=(const CEventHub&) = delete;

  // Returns the subscription's cookie (never 0).
  uintptr_t Subscribe(const std::wstring& key, std::shared_ptr<INotifOrderStub> sink);
  void Emit(const std::wstring& key, const std::wstring& value);
  // Drops the kept value of a key (a new document has begun).
  void Forget(const std::wstring& key);
  // The kept value of a key, if any.
  bool Kept(const std::wstring& key, std::wstring* value) const;
  // Lets the sinks go (the page is gone); later subscriptions only get kept values.
  void ReleaseSinks();

  // Keys whose last value is kept and replayed.
  static bool IsKept(const std::wstring& key);
  // Keys this engine emits.
  static bool IsKnown(const std::wstring& key);

 private:
  using Sinks = std::vector<std::shared_ptr<INotifOrderStub>>;
  static void Deliver(const Sinks& sinks, const std::wstring& key, const std::wstring& value);
  // Queues a delivery.
  void PostDelivery(Sinks sinks, const std::wstring& key, const std::wstring& value) REQUIRES(m_mutex);

  Poster m_post;
  ThreadCheck m_onEngineThread;
  // Deliveries posted and not yet finished; shared with them, as they may outlive the hub.
  std::shared_ptr<std::atomic<int>> m_waiting = std::make_shared<std::atomic<int>>(0);
  mutable platform::CMutex m_mutex;
  std::map<std::wstring, Sinks> m_sinks GUARDED_BY(m_mutex);
  std::map<std::wstring, std::wstring> m_kept GUARDED_BY(m_mutex);
  bool m_released GUARDED_BY(m_mutex) = false;
  uintptr_t m_nextCookie GUARDED_BY(m_mutex) = 1;
};

}  // namespace webpage

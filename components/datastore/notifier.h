#pragma once
// Change notifications: subscriptions of sinks to notification names, and a task loop of
// the store's own that calls the sinks. Changes are posted in commit order (the store posts
// while it still holds its database lock) and delivered in that order, one at a time, to
// every sink that was subscribed to the name when the change was posted, in subscription
// order. A change nobody listens to costs no more than a look at the subscriptions. No
// lock is held while a sink runs, so a sink may call back into the store at once.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/datastore/logger.h"
#include "platform/mutex.h"
#include "platform/taskloop.h"
#include "uicontrol/interfaces/notifystub.h"

namespace datastore {

class CNotifier {
 public:
  explicit CNotifier(const CLogger& logger);
  // Stops the thread after it has delivered what was posted.
  ~CNotifier();
  CNotifier(const CNotifier&) = delete;
  CNotifier& operator=(const CNotifier&) = delete;

  // Starts the notifying thread; false when it cannot be created.
  bool Start();
  // Holds a reference to the sink until the notifier is gone. Subscribing the same sink
  // to the same name again returns the first cookie and adds nothing.
  void Subscribe(const std::wstring& name, INotifierStub* sink, uintptr_t* cookie);
  void Post(const std::wstring& name, const std::wstring& value, const std::wstring& extra = std::wstring());
  // Delivers what was posted, then ends the thread and joins it. Called on the
  // notifying thread itself (a sink dropped the last store reference), it lets the
  // thread finish on its own instead.
  void Stop();

 private:
  struct SinkRef;
  struct Subscription;

  std::shared_ptr<const CLogger> m_logger;
  platform::CMutex m_mutex;
  std::vector<Subscription> m_subscriptions GUARDED_BY(m_mutex);
  uintptr_t m_nextCookie GUARDED_BY(m_mutex) = 1;
  platform::CTaskLoop m_loop;
};

}  // namespace datastore

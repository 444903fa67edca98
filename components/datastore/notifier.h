#pragma once
// Change notifications: subscriptions of sinks to notification names, and a thread of the
// store's own that calls the sinks. Changes are posted in commit order (the store posts
// while it still holds its database lock) and delivered in that order, one at a time, to
// every sink subscribed to the name, in subscription order. No lock is held while a sink
// runs, so a sink may call back into the store at once.
#include <cstdint>
#include <memory>
#include <string>

#include "components/datastore/logger.h"
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
  struct State;
  std::shared_ptr<State> m_state;
};

}  // namespace datastore

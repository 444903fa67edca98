#pragma once
// Events of which only the newest matters, kept one per key between Chromium's reader
// thread and the engine thread. Chromium tells of every change of a target's title
// ("Target.targetInfoChanged"), so a page setting document.title in a loop sends
// thousands a second; queued one by one they would stand in the engine's queue ahead of
// every other page's events and replies. Kept here, each target has at most one waiting,
// and the engine reads the newest when it comes to it.
#include <map>
#include <string>

#include "components/webpage/cdpconnection.h"
#include "platform/mutex.h"

namespace webpage {

class CNewestEvents {
 public:
  // Keeps `event` as the newest for `key`. True when none was waiting: the caller then
  // has the engine take it (Take) later; false when a take is already on its way.
  bool Offer(const std::string& key, Json event);
  // The newest event for `key`, no longer kept; false when there is none.
  bool Take(const std::string& key, Json* event);

  // The key an event is kept under, or "" for events that each count: a target's info
  // changes, per target.
  static std::string KeyOf(const Json& event);

 private:
  platform::CMutex m_mutex;
  std::map<std::string, Json> m_waiting GUARDED_BY(m_mutex);
};

}  // namespace webpage

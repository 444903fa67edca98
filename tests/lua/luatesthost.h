#pragma once
// A Lua state set up as the browser's host sets it up, with the test doubles as the
// outside components, plus a "test" table through which Lua tests drive the doubles.
#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include <lua.hpp>

#include "doubles/fakedatastore.h"
#include "doubles/fakewebpage.h"
#include "host/notificationqueue.h"
#include "uibind/host.h"

class LuaTestHost {
 public:
  // installTabInfo: whether CLuaTabInfo::InstallToLua runs (tests of its absence say no).
  explicit LuaTestHost(bool installTabInfo = true);
  ~LuaTestHost();

  lua_State* L() const { return m_L; }
  // Runs a chunk; returns the error text, or empty on success.
  std::string Run(const std::string& code, const std::string& chunkName);

  qxdk::UTIL::com_ptr<FakeWebPageManager> pages;
  qxdk::UTIL::com_ptr<FakeDataStore> store;
  CNotificationQueue queue;
  // Waits up to `timeout` for the next notification of the queue; false when none came.
  bool NextNotification(HostNotification* out, std::chrono::milliseconds timeout);

 private:
  void InstallTestTable();
  lua_State* m_L = nullptr;
  std::deque<HostNotification> m_taken;  // dispatched by the queue, not yet handed to Lua
  std::unique_ptr<uibind::CHost> m_host;
};

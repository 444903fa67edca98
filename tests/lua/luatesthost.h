#pragma once
// A Lua state set up as the browser's host sets it up, with the test doubles as the
// outside components, plus a "test" table through which Lua tests drive the doubles.
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

 private:
  void InstallTestTable();
  lua_State* m_L = nullptr;
  std::unique_ptr<uibind::CHost> m_host;
};

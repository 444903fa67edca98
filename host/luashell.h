#pragma once
// The Lua side of the shell: the state with the binding host, the host's classes and the
// library's API, the "host" table the script uses, and calls into the script's functions.
//
// The script may define: OnStart(), OnTabNotify(id, key, value), OnDataNotify(key, data),
// OnInput(line) (nil at the end of input) and OnQuit(). Texts are UTF-8 Lua strings.
// The "host" table offers: host.quit([status]), host.after(ms, fn) (a one-shot timer),
// host.base_url, host.profile, host.home, host.args (the script's arguments).
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "uibind/host.h"

class CLuaShell {
 public:
  CLuaShell();
  ~CLuaShell();
  CLuaShell(const CLuaShell&) = delete;
  CLuaShell& operator=(const CLuaShell&) = delete;

  // Registers the host's classes and installs both APIs of the library.
  bool InstallAPIs(std::string* error);
  void SetHostString(const char* name, const std::string& value);
  void SetHostArgs(const std::vector<std::string>& args);
  bool RunScript(const std::string& path, std::string* error);

  // Each calls the script's function when it is defined; an error is reported on standard
  // error (its first line only) and the shell goes on.
  void CallStart();
  void CallTab(unsigned int uID, const std::wstring& key, const std::wstring& value);
  void CallData(const std::wstring& key, const std::wstring& data);
  void CallInput(const std::string* line);
  void CallQuit();

  // host.after's longest delay: a year; longer ones are cut to it.
  static constexpr double kLongestDelayMs = 365.0 * 24 * 3600 * 1000;

  bool QuitRequested() const { return m_quit; }
  int ExitStatus() const { return m_status; }
  // Milliseconds until the next timer is due (-1: none); runs the due ones.
  int RunDueTimers();

 private:
  static int LuaQuit(lua_State* L);
  static int LuaAfter(lua_State* L);
  // Calls the function on the stack top with n arguments below it (already pushed).
  void Protected(int nargs, const char* what);
  bool PushGlobalFunction(const char* name);

  lua_State* m_L = nullptr;
  std::unique_ptr<uibind::CHost> m_host;
  bool m_quit = false;
  int m_status = 0;
  // Timers: due time -> registry reference of the function.
  std::multimap<std::chrono::steady_clock::time_point, int> m_timers;
};

#pragma once
// The Lua side of the shell: the state with the binding host, the host's classes and the
// library's API, the "host" table the script uses, and calls into the script's functions.
//
// The script may define: OnStart(), OnTabNotify(id, key, value), OnDataNotify(key, data),
// OnInput(line) (nil at the end of input), OnQuit(), OnComplete(word, before) (a list of
// completions for a word typed at the prompt), OnRemoteCommand(request) (a command of
// another program: remoteprotocol.h) and OnError(text) (an error the script did not
// catch, with its traceback). Texts are UTF-8 Lua strings.
// The "host" table offers: host.quit([status]), host.after(ms, fn) (a one-shot timer),
// host.order(id, text) (an order text to a tab's page), host.prompt(text),
// host.pager(on) (space and q answer the prompt at once), host.terminal_size() (columns,
// rows), host.base_url, host.profile, host.home, host.ui_dir, host.interactive,
// host.session (the tabs open when the last run ended), host.args,
// host.blocking(site) (whether content blocking is on for a site, and the site's host
// name; nil for no site) and host.set_blocking(site, on) (true, or nil and why; kept in the
// store).
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "host/luamemory.h"
#include "platform/threadcheck.h"
#include "uibind/host.h"

class CLineEditor;

// A tab that was open when the last run ended (kept in the store's saved session); its
// uuid is the key a page's recover order brings it back with.
struct SessionTab {
  std::string uuid, title, url;
};

class CLuaShell {
 public:
  // `memoryLimit`: the most bytes the state (with its native arrays) may hold; past it a
  // script's call fails with Lua's "not enough memory" and the shell goes on.
  explicit CLuaShell(size_t memoryLimit = CLuaMemoryLimit::kDefaultLimit);
  ~CLuaShell();
  CLuaShell(const CLuaShell&) = delete;
  CLuaShell& operator=(const CLuaShell&) = delete;

  // Registers the host's classes and installs both APIs of the library.
  bool InstallAPIs(std::string* error);
  // The binding host, for a host that adds classes of its own.
  uibind::CHost& Host() { return *m_host; }
  void SetHostString(const char* name, const std::string& value);
  void SetHostArgs(const std::vector<std::string>& args);
  void SetHostFlag(const char* name, bool value);
  void SetHostSession(const std::vector<SessionTab>& tabs);
  // Puts `folder`/?.lua first on package.path, so that any script can require the
  // interface's modules.
  void AddModuleFolder(const std::string& folder);
  // What host.blocking and host.set_blocking ask (luablocking.cpp): `state` gives whether
  // blocking is on for a site (an address or a host name) and its host (false for no
  // site); `set` turns it on or off and gives "" or why not. Without them both answer nil.
  struct BlockingHooks {
    std::function<bool(const std::string& site, bool* on, std::string* host)> state;
    std::function<std::string(const std::string& site, bool on)> set;
  };
  void SetBlockingHooks(BlockingHooks hooks) { m_blocking = std::move(hooks); }
  // The editor that host.prompt and host.pager talk to (may be null).
  void SetEditor(CLineEditor* editor) { m_editor = editor; }
  bool RunScript(const std::string& path, std::string* error);

  // Each calls the script's function when it is defined; an error is handed to OnError
  // (or written to standard error) whole, with its traceback, and the shell goes on.
  void CallStart();
  void CallTab(unsigned int uID, const std::wstring& key, const std::wstring& value);
  void CallData(const std::wstring& key, const std::wstring& data);
  void CallInput(const std::string* line);
  void CallQuit();
  std::vector<std::string> CallComplete(const std::string& word, const std::string& before);
  // OnWidgetSignal(id, signal, arg) of a graphical interface: true when the script
  // returned a true value (it handled the signal, e.g. a key that then goes no further).
  bool CallSignal(unsigned int id, const std::string& signal, const std::string& arg);
  // OnRemoteCommand(request) with a checked remote request (a JSON line, remoteprotocol.h)
  // as a table; the table it returns is the answer, as a JSON line (luaremote.cpp).
  std::string CallRemote(const std::string& request);
  // What the state holds now, and whether its limit is in force.
  size_t MemoryUsed() const { return m_memory->Used(); }
  bool MemoryLimited() const { return m_memoryLimited; }
  // Errors the script did not catch so far.
  int ScriptErrors() const { return m_errors; }
  // Ends the run as host.quit(status) does.
  void RequestQuit(int status) {
    m_quit = true;
    m_status = status;
  }

  // host.after's longest delay: a year; longer ones are cut to it.
  static constexpr double kLongestDelayMs = 365.0 * 24 * 3600 * 1000;

  bool QuitRequested() const { return m_quit; }
  int ExitStatus() const { return m_status; }
  // Milliseconds until the next timer is due (-1: none); runs the due ones.
  int RunDueTimers();
  bool TimerDue() const;

 private:
  static int LuaQuit(lua_State* L);
  static int LuaAfter(lua_State* L);
  static int LuaOrder(lua_State* L);
  static int LuaPrompt(lua_State* L);
  static int LuaPager(lua_State* L);
  static int LuaTerminalSize(lua_State* L);
  static int LuaBlocking(lua_State* L);
  static int LuaSetBlocking(lua_State* L);
  // Calls the function below n arguments (already pushed); false after an error, which is
  // reported. `results` values are left on the stack on success.
  bool Protected(int nargs, const char* what, int results = 0);
  void ReportError(const char* what, const std::string& text);
  bool PushGlobalFunction(const char* name);

  // One thread per Lua state: the first thread that runs Lua code owns it, and every later
  // call into the state is checked against it.
  platform::CThreadChecker m_luaThread;
  std::unique_ptr<CLuaMemoryLimit> m_memory;
  bool m_memoryLimited = false;
  lua_State* m_L = nullptr;
  std::unique_ptr<uibind::CHost> m_host;
  CLineEditor* m_editor = nullptr;
  BlockingHooks m_blocking;
  int m_errors = 0;
  bool m_reporting = false;  // inside OnError
  bool m_quit = false;
  int m_status = 0;
  // Timers: due time -> registry reference of the function.
  std::multimap<std::chrono::steady_clock::time_point, int> m_timers;
};

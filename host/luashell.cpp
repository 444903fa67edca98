#include "host/luashell.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "host/lineeditor.h"
#include "host/luaclasses.h"
#include "host/pageevents.h"
#include "platform/text.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

CLuaShell* Self(lua_State* L) { return static_cast<CLuaShell*>(lua_touserdata(L, lua_upvalueindex(1))); }

void PushWide(lua_State* L, const std::wstring& text) {
  const std::string utf8 = platform::WideToUtf8(text);
  lua_pushlstring(L, utf8.data(), utf8.size());
}

// The message handler of protected calls: the error with the stack where it arose.
int Traceback(lua_State* L) {
  const char* message = lua_tostring(L, 1);
  std::string text = message ? message : "(an error that is not a text)";
  lua_getglobal(L, "debug");
  if (lua_istable(L, -1)) {
    lua_getfield(L, -1, "traceback");
    if (lua_isfunction(L, -1)) {
      lua_pushlstring(L, text.data(), text.size());
      lua_pushinteger(L, 2);
      if (lua_pcall(L, 2, 1, 0) == 0 && lua_isstring(L, -1)) return 1;
    }
  }
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

void SetFunction(lua_State* L, CLuaShell* self, const char* name, lua_CFunction fn) {
  lua_pushlightuserdata(L, self);
  lua_pushcclosure(L, fn, 1);
  lua_setfield(L, -2, name);
}

}  // namespace

CLuaShell::CLuaShell(size_t memoryLimit) : m_memory(std::make_unique<CLuaMemoryLimit>(memoryLimit)) {
  m_L = m_memory->NewState();
  m_memoryLimited = m_L != nullptr;
  if (!m_L) {
    // A Lua that takes no allocator of the host's: the state runs without a ceiling.
    std::fprintf(stderr, "uicontrol: this Lua takes no allocator of the host's; the interface has no memory limit\n");
    m_L = luaL_newstate();
  }
  luaL_openlibs(m_L);
  m_host.reset(new uibind::CHost(m_L));

  lua_newtable(m_L);
  SetFunction(m_L, this, "quit", &CLuaShell::LuaQuit);
  SetFunction(m_L, this, "after", &CLuaShell::LuaAfter);
  SetFunction(m_L, this, "order", &CLuaShell::LuaOrder);
  SetFunction(m_L, this, "prompt", &CLuaShell::LuaPrompt);
  SetFunction(m_L, this, "pager", &CLuaShell::LuaPager);
  SetFunction(m_L, this, "terminal_size", &CLuaShell::LuaTerminalSize);
  SetFunction(m_L, this, "blocking", &CLuaShell::LuaBlocking);
  SetFunction(m_L, this, "set_blocking", &CLuaShell::LuaSetBlocking);
  lua_pushboolean(m_L, 0);
  lua_setfield(m_L, -2, "interactive");
  lua_newtable(m_L);
  lua_setfield(m_L, -2, "session");
  lua_setglobal(m_L, "host");
}

CLuaShell::~CLuaShell() {
  lua_close(m_L);
  m_host.reset();
}

bool CLuaShell::InstallAPIs(std::string* error) {
  if (!RegisterHostClasses(*m_host) || !CLuaTabInfo::InstallToLua(m_L) || !CTabManager::InstallToLua(m_L)) {
    *error = "the Lua classes could not be installed";
    return false;
  }
  return true;
}

void CLuaShell::SetHostString(const char* name, const std::string& value) {
  lua_getglobal(m_L, "host");
  lua_pushlstring(m_L, value.data(), value.size());
  lua_setfield(m_L, -2, name);
  lua_pop(m_L, 1);
}

void CLuaShell::SetHostArgs(const std::vector<std::string>& args) {
  lua_getglobal(m_L, "host");
  lua_createtable(m_L, static_cast<int>(args.size()), 0);
  for (size_t i = 0; i < args.size(); ++i) {
    lua_pushstring(m_L, args[i].c_str());
    lua_rawseti(m_L, -2, static_cast<int>(i + 1));
  }
  lua_setfield(m_L, -2, "args");
  lua_pop(m_L, 1);
}

void CLuaShell::SetHostFlag(const char* name, bool value) {
  lua_getglobal(m_L, "host");
  lua_pushboolean(m_L, value ? 1 : 0);
  lua_setfield(m_L, -2, name);
  lua_pop(m_L, 1);
}

void CLuaShell::SetHostSession(const std::vector<SessionTab>& tabs) {
  lua_getglobal(m_L, "host");
  lua_createtable(m_L, static_cast<int>(tabs.size()), 0);
  for (size_t i = 0; i < tabs.size(); ++i) {
    lua_createtable(m_L, 0, 3);
    lua_pushstring(m_L, tabs[i].uuid.c_str());
    lua_setfield(m_L, -2, "uuid");
    lua_pushstring(m_L, tabs[i].title.c_str());
    lua_setfield(m_L, -2, "title");
    lua_pushstring(m_L, tabs[i].url.c_str());
    lua_setfield(m_L, -2, "url");
    lua_rawseti(m_L, -2, static_cast<int>(i + 1));
  }
  lua_setfield(m_L, -2, "session");
  lua_pop(m_L, 1);
}

void CLuaShell::AddModuleFolder(const std::string& folder) {
  lua_getglobal(m_L, "package");
  lua_getfield(m_L, -1, "path");
  const char* path = lua_tostring(m_L, -1);
  const std::string joined = folder + "/?.lua;" + (path ? path : "");
  lua_pop(m_L, 1);
  lua_pushlstring(m_L, joined.data(), joined.size());
  lua_setfield(m_L, -2, "path");
  lua_pop(m_L, 1);
}

bool CLuaShell::RunScript(const std::string& path, std::string* error) {
  UICONTROL_CHECK_THREAD(m_luaThread.CalledOnValidThread());
  lua_pushcfunction(m_L, &Traceback);
  int status = luaL_loadfile(m_L, path.c_str());
  if (status == 0) {
    CLuaMemoryLimit::Enforced limited(*m_memory);
    status = lua_pcall(m_L, 0, 0, -2);
  }
  if (status != 0) {
    *error = lua_tostring(m_L, -1) ? lua_tostring(m_L, -1) : "the script could not be run";
    lua_pop(m_L, 2);
    if (status == LUA_ERRMEM) lua_gc(m_L, LUA_GCCOLLECT, 0);
    return false;
  }
  lua_pop(m_L, 1);
  return true;
}

bool CLuaShell::PushGlobalFunction(const char* name) {
  lua_getglobal(m_L, name);
  if (lua_isfunction(m_L, -1)) return true;
  lua_pop(m_L, 1);
  return false;
}

bool CLuaShell::Protected(int nargs, const char* what, int results) {
  UICONTROL_CHECK_THREAD(m_luaThread.CalledOnValidThread());
  // The handler goes below the function and its arguments.
  const int base = lua_gettop(m_L) - nargs;
  lua_pushcfunction(m_L, &Traceback);
  lua_insert(m_L, base);
  int status;
  {
    // OnError reports what may be an error of the full state: it gets a little room.
    CLuaMemoryLimit::Enforced limited(*m_memory, m_reporting ? CLuaMemoryLimit::kErrorReserve : 0);
    status = lua_pcall(m_L, nargs, results, base);
  }
  if (status != 0) {
    const char* text = lua_tostring(m_L, -1);
    const std::string message = text ? text : "(an error that is not a text)";
    lua_settop(m_L, base - 1);
    // Lua 5.1 does not collect when an allocation fails: what the failed call made is
    // garbage now, and is collected before the script's next call needs the room.
    if (status == LUA_ERRMEM) lua_gc(m_L, LUA_GCCOLLECT, 0);
    ReportError(what, message);
    return false;
  }
  lua_remove(m_L, base);
  return true;
}

void CLuaShell::ReportError(const char* what, const std::string& text) {
  ++m_errors;
  const std::string full = std::string("ui error in ") + what + ": " + text;
  if (!m_reporting && PushGlobalFunction("OnError")) {
    // OnError shows it; an error in OnError itself goes to standard error.
    m_reporting = true;
    lua_pushlstring(m_L, full.data(), full.size());
    const bool shown = Protected(1, "OnError");
    m_reporting = false;
    if (shown) return;
  }
  std::fprintf(stderr, "%s\n", full.c_str());
  std::fflush(stderr);
}

void CLuaShell::CallStart() {
  if (PushGlobalFunction("OnStart")) Protected(0, "OnStart");
}

void CLuaShell::CallTab(unsigned int uID, const std::wstring& key, const std::wstring& value) {
  if (!PushGlobalFunction("OnTabNotify")) return;
  lua_pushnumber(m_L, uID);
  PushWide(m_L, key);
  PushWide(m_L, value);
  Protected(3, "OnTabNotify");
}

void CLuaShell::CallData(const std::wstring& key, const std::wstring& data) {
  if (!PushGlobalFunction("OnDataNotify")) return;
  PushWide(m_L, key);
  PushWide(m_L, data);
  Protected(2, "OnDataNotify");
}

void CLuaShell::CallInput(const std::string* line) {
  if (!PushGlobalFunction("OnInput")) return;
  if (line) {
    lua_pushlstring(m_L, line->data(), line->size());
  } else {
    lua_pushnil(m_L);
  }
  Protected(1, "OnInput");
}

void CLuaShell::CallQuit() {
  if (PushGlobalFunction("OnQuit")) Protected(0, "OnQuit");
}

std::vector<std::string> CLuaShell::CallComplete(const std::string& word, const std::string& before) {
  std::vector<std::string> out;
  if (!PushGlobalFunction("OnComplete")) return out;
  lua_pushlstring(m_L, word.data(), word.size());
  lua_pushlstring(m_L, before.data(), before.size());
  if (!Protected(2, "OnComplete", 1)) return out;
  if (lua_istable(m_L, -1)) {
    for (int i = 1;; ++i) {
      lua_rawgeti(m_L, -1, i);
      if (!lua_isstring(m_L, -1)) {
        lua_pop(m_L, 1);
        break;
      }
      size_t length = 0;
      const char* text = lua_tolstring(m_L, -1, &length);
      out.emplace_back(text, length);
      lua_pop(m_L, 1);
    }
  }
  lua_pop(m_L, 1);
  return out;
}

bool CLuaShell::CallSignal(unsigned int id, const std::string& signal, const std::string& arg) {
  if (!PushGlobalFunction("OnWidgetSignal")) return false;
  lua_pushnumber(m_L, id);
  lua_pushlstring(m_L, signal.data(), signal.size());
  lua_pushlstring(m_L, arg.data(), arg.size());
  if (!Protected(3, "OnWidgetSignal", 1)) return false;
  const bool handled = lua_toboolean(m_L, -1) != 0;
  lua_pop(m_L, 1);
  return handled;
}

int CLuaShell::LuaOrder(lua_State* L) {
  const lua_Number id = luaL_checknumber(L, 1);
  size_t length = 0;
  const char* text = luaL_checklstring(L, 2, &length);
  if (!(id >= 1 && id <= 4294967295.0) || id != static_cast<lua_Number>(static_cast<unsigned int>(id)))
    return luaL_argerror(L, 1, "a tab id is a whole number from 1 to 4294967295");
  lua_pushboolean(L, CPageEvents::SendOrder(static_cast<unsigned int>(id),
                                            platform::Utf8ToWide(std::string(text, length))));
  return 1;
}

int CLuaShell::LuaPrompt(lua_State* L) {
  CLuaShell* self = Self(L);
  const char* text = luaL_checkstring(L, 1);
  if (self->m_editor) self->m_editor->SetPrompt(CLineEditor::CleanLine(text));
  return 0;
}

int CLuaShell::LuaPager(lua_State* L) {
  CLuaShell* self = Self(L);
  if (self->m_editor) self->m_editor->SetPagerKeys(lua_toboolean(L, 1) != 0);
  return 0;
}

int CLuaShell::LuaTerminalSize(lua_State* L) {
  winsize size{};
  int columns = 80, rows = 24;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    columns = size.ws_col;
    rows = size.ws_row;
  }
  lua_pushinteger(L, columns);
  lua_pushinteger(L, rows);
  return 2;
}

int CLuaShell::LuaQuit(lua_State* L) {
  CLuaShell* self = Self(L);
  self->m_quit = true;
  self->m_status = static_cast<int>(luaL_optinteger(L, 1, 0));
  return 0;
}

int CLuaShell::LuaAfter(lua_State* L) {
  CLuaShell* self = Self(L);
  lua_Number ms = luaL_checknumber(L, 1);
  if (ms != ms) return luaL_argerror(L, 1, "the delay is not a number");
  luaL_checktype(L, 2, LUA_TFUNCTION);
  // Any delay is accepted; a longer one than a timer can hold waits as long as it can.
  ms = ms < 0 ? 0 : ms > kLongestDelayMs ? kLongestDelayMs : ms;
  lua_pushvalue(L, 2);
  const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(ms));
  self->m_timers.emplace(due, ref);
  return 0;
}

bool CLuaShell::TimerDue() const {
  return !m_timers.empty() && m_timers.begin()->first <= std::chrono::steady_clock::now();
}

int CLuaShell::RunDueTimers() {
  for (;;) {
    if (m_timers.empty()) return -1;
    auto first = m_timers.begin();
    const auto now = std::chrono::steady_clock::now();
    if (first->first > now) {
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(first->first - now).count();
      return wait >= INT_MAX ? INT_MAX : static_cast<int>(wait + 1);
    }
    const int ref = first->second;
    m_timers.erase(first);
    lua_rawgeti(m_L, LUA_REGISTRYINDEX, ref);
    luaL_unref(m_L, LUA_REGISTRYINDEX, ref);
    Protected(0, "a timer");
  }
}

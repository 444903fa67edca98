#include "host/luashell.h"

#include <climits>

#include <cstdio>

#include "host/luaclasses.h"
#include "platform/text.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

CLuaShell* Self(lua_State* L) { return static_cast<CLuaShell*>(lua_touserdata(L, lua_upvalueindex(1))); }

void PushWide(lua_State* L, const std::wstring& text) {
  const std::string utf8 = platform::WideToUtf8(text);
  lua_pushlstring(L, utf8.data(), utf8.size());
}

// The first line of an error: an ordinary mistake is shown as a message, not a traceback.
std::string FirstLine(const char* text) {
  std::string s = text ? text : "(error without text)";
  size_t eol = s.find('\n');
  return eol == std::string::npos ? s : s.substr(0, eol);
}

}  // namespace

CLuaShell::CLuaShell() {
  m_L = luaL_newstate();
  luaL_openlibs(m_L);
  m_host.reset(new uibind::CHost(m_L));

  lua_newtable(m_L);
  lua_pushlightuserdata(m_L, this);
  lua_pushcclosure(m_L, &CLuaShell::LuaQuit, 1);
  lua_setfield(m_L, -2, "quit");
  lua_pushlightuserdata(m_L, this);
  lua_pushcclosure(m_L, &CLuaShell::LuaAfter, 1);
  lua_setfield(m_L, -2, "after");
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

bool CLuaShell::RunScript(const std::string& path, std::string* error) {
  if (luaL_loadfile(m_L, path.c_str()) != 0 || lua_pcall(m_L, 0, 0, 0) != 0) {
    *error = lua_tostring(m_L, -1) ? lua_tostring(m_L, -1) : "the script could not be run";
    lua_pop(m_L, 1);
    return false;
  }
  return true;
}

bool CLuaShell::PushGlobalFunction(const char* name) {
  lua_getglobal(m_L, name);
  if (lua_isfunction(m_L, -1)) return true;
  lua_pop(m_L, 1);
  return false;
}

void CLuaShell::Protected(int nargs, const char* what) {
  if (lua_pcall(m_L, nargs, 0, 0) != 0) {
    std::fprintf(stderr, "ui error in %s: %s\n", what, FirstLine(lua_tostring(m_L, -1)).c_str());
    std::fflush(stderr);
    lua_pop(m_L, 1);
  }
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

// The session functions of the "host" table: the interface tells the session keeper its
// tabs as they change, when the user closes one, and when a restore happened.
#include "host/luasession.h"

#include "platform/text.h"

namespace {

CSessionKeeper* Keeper(lua_State* L) { return static_cast<CSessionKeeper*>(lua_touserdata(L, lua_upvalueindex(1))); }

unsigned int IdArgument(lua_State* L, int index) {
  const lua_Number id = luaL_checknumber(L, index);
  return id >= 1 && id <= 4294967295.0 ? static_cast<unsigned int>(id) : 0;
}

// host.session_tabs({{id=, url=, private=, key=}, ...}, selected_id)
int SessionTabs(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  const unsigned int selected = lua_isnoneornil(L, 2) ? 0 : IdArgument(L, 2);
  std::vector<CSessionKeeper::OpenTab> tabs;
  const size_t count = lua_objlen(L, 1);
  for (size_t i = 1; i <= count; ++i) {
    lua_rawgeti(L, 1, static_cast<int>(i));
    if (lua_istable(L, -1)) {
      CSessionKeeper::OpenTab tab;
      lua_getfield(L, -1, "id");
      tab.id = lua_isnumber(L, -1) ? static_cast<unsigned int>(lua_tonumber(L, -1)) : 0;
      lua_getfield(L, -2, "url");
      const char* url = lua_tostring(L, -1);
      tab.url = platform::Utf8ToWide(url ? url : "");
      lua_getfield(L, -3, "private");
      tab.isPrivate = lua_toboolean(L, -1) != 0;
      lua_getfield(L, -4, "key");
      const char* key = lua_tostring(L, -1);
      tab.key = platform::Utf8ToWide(key ? key : "");
      lua_pop(L, 4);
      if (tab.id != 0) tabs.push_back(std::move(tab));
    }
    lua_pop(L, 1);
  }
  Keeper(L)->SetTabs(tabs, selected);
  return 0;
}

int SessionArm(lua_State* L) {
  Keeper(L)->Arm();
  return 0;
}

// host.session_closing(id[, discard]): discard keeps the tab out of the closed list.
int SessionClosing(lua_State* L) {
  const unsigned int id = IdArgument(L, 1);
  if (id != 0) Keeper(L)->UserClosing(id, lua_toboolean(L, 2) != 0);
  return 0;
}

int SessionRestored(lua_State* L) {
  Keeper(L)->Restored();
  return 0;
}

}  // namespace

void InstallSessionFunctions(lua_State* L, CSessionKeeper* keeper, const LastRun& last) {
  lua_getglobal(L, "host");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  const struct {
    const char* name;
    lua_CFunction function;
  } functions[] = {{"session_tabs", SessionTabs},
                   {"session_arm", SessionArm},
                   {"session_closing", SessionClosing},
                   {"session_restored", SessionRestored}};
  for (const auto& f : functions) {
    lua_pushlightuserdata(L, keeper);
    lua_pushcclosure(L, f.function, 1);
    lua_setfield(L, -2, f.name);
  }
  lua_pushboolean(L, last.unclean ? 1 : 0);
  lua_setfield(L, -2, "unclean_end");
  lua_pushboolean(L, last.crashLoop ? 1 : 0);
  lua_setfield(L, -2, "crash_loop");
  lua_pushinteger(L, last.selected + 1);  // 0: none
  lua_setfield(L, -2, "session_selected");
  lua_pop(L, 1);
}

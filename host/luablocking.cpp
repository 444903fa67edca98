// host.blocking and host.set_blocking: content blocking per site, as the session's hooks
// decide it (luashell.h).
#include "host/luashell.h"

namespace {

CLuaShell* Self(lua_State* L) { return static_cast<CLuaShell*>(lua_touserdata(L, lua_upvalueindex(1))); }

}  // namespace

int CLuaShell::LuaBlocking(lua_State* L) {
  CLuaShell* self = Self(L);
  size_t length = 0;
  const char* site = luaL_checklstring(L, 1, &length);
  bool on = false;
  std::string host;
  if (!self->m_blocking.state || !self->m_blocking.state(std::string(site, length), &on, &host)) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushboolean(L, on);
  lua_pushlstring(L, host.data(), host.size());
  return 2;
}

int CLuaShell::LuaSetBlocking(lua_State* L) {
  CLuaShell* self = Self(L);
  size_t length = 0;
  const char* site = luaL_checklstring(L, 1, &length);
  luaL_checktype(L, 2, LUA_TBOOLEAN);
  const bool on = lua_toboolean(L, 2) != 0;
  const std::string why = self->m_blocking.set ? self->m_blocking.set(std::string(site, length), on)
                                               : std::string("content blocking is not set up");
  if (why.empty()) {
    lua_pushboolean(L, 1);
    return 1;
  }
  lua_pushnil(L);
  lua_pushlstring(L, why.data(), why.size());
  return 2;
}

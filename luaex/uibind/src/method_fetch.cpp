// Fetching a method from an object: the function that carries the object, kept in the
// object's environment table so that fetching the same name again allocates nothing.
#include <string_view>

#include "uibind/host.h"
#include "uibind/impl/dispatch.h"

namespace uibind {
namespace impl {
namespace {

// Pushes the function an earlier fetch kept under the name at nameIdx, or nothing.
bool PushKeptMethod(lua_State* L, int udIdx, int nameIdx) {
  lua_getfenv(L, udIdx);
  lua_pushvalue(L, nameIdx);
  lua_rawget(L, -2);
  if (lua_type(L, -1) == LUA_TFUNCTION) {
    lua_remove(L, -2);
    return true;
  }
  lua_pop(L, 2);
  return false;
}

// Keeps the function at the top under the name at nameIdx. The environment table is
// reachable only from the userdata, so the function (which refers back to the
// userdata) never keeps the object alive by itself.
void KeepMethod(lua_State* L, int udIdx, CustomLuaVariable& block, int nameIdx) {
  if (block.m_bOwnEnvironment) {
    lua_getfenv(L, udIdx);
  } else {
    // Until now the userdata had the environment every new userdata gets (shared).
    lua_createtable(L, 0, 2);
    lua_pushvalue(L, -1);
    lua_setfenv(L, udIdx);
    block.m_bOwnEnvironment = 1;
  }
  lua_pushvalue(L, nameIdx);
  lua_pushvalue(L, -3);
  lua_rawset(L, -3);
  lua_pop(L, 1);
}

}  // namespace

bool PushMethod(CHost& host, lua_State* L, int udIdx, CustomLuaVariable& block, int nameIdx) {
  // Absolute indexes: the pushes below would move relative ones.
  if (udIdx < 0 && udIdx > LUA_REGISTRYINDEX) udIdx = lua_gettop(L) + udIdx + 1;
  if (nameIdx < 0 && nameIdx > LUA_REGISTRYINDEX) nameIdx = lua_gettop(L) + nameIdx + 1;
  if (block.m_bOwnEnvironment && PushKeptMethod(L, udIdx, nameIdx)) return true;

  size_t length = 0;
  const char* key = lua_tolstring(L, nameIdx, &length);
  void* object = block.m_pObject;
  bool fixed = true;
  const MethodGroup* group = block.m_pClass->FindMethod(host, std::string_view(key, length), &object, &fixed);
  if (group == nullptr) return false;

  void* memory = lua_newuserdata(L, sizeof(MethodBinding));
  *static_cast<MethodBinding*>(memory) = MethodBinding{&block, group, object};
  lua_pushvalue(L, udIdx);
  lua_pushcclosure(L, &LuaMethodCallProxieFunction, 2);
  if (fixed) KeepMethod(L, udIdx, block, nameIdx);
  return true;
}

}  // namespace impl
}  // namespace uibind

// "__index" and "__newindex" of every object: methods, members, class values.
#include <string_view>

#include "uibind/host.h"
#include "uibind/impl/dispatch.h"
#include "uibind/impl/errors.h"

namespace uibind {
namespace impl {
namespace {

// Lua code can call a metamethod taken with getmetatable on anything; without one of
// the layer's userdata there is no host to raise through.
int RaiseNotAnObject(lua_State* L, const char* where) {
  lua_pushfstring(L, "%s: panic - the first argument is not an object of a bound class.\n", where);
  return lua_error(L);
}

// Everything but a method fetched before: checks, method lookup, members, errors.
[[gnu::noinline]] int IndexObject(lua_State* L, CustomLuaVariable* block) {
  GenericClass* cls = block->m_pClass;
  CHost& host = *cls->m_pHost;
  return GuardedInvoke(host, "__index", [&] {
    if (lua_type(L, 2) != LUA_TSTRING) host.Error("MetaOperatorIndex: panic - currently supports only string indexes.\n");
    const ObjectPin pin = UseObject(host, L, 1, *block);
    if (PushMethod(host, L, 1, *block, 2)) return 1;
    size_t length = 0;
    const char* key = lua_tolstring(L, 2, &length);
    if (cls->PushMember(host, L, std::string_view(key, length), block->m_pObject, 1, block->m_bConst != 0)) return 1;
    host.Error("MetaOperatorIndex: error - unknown symbol %s.\n", key);
  });
}

}  // namespace

int MetaOperatorIndex(lua_State* L) {
  CustomLuaVariable* block = ToCustomLuaVariable(L, 1);
  if (block == nullptr) return RaiseNotAnObject(L, "MetaOperatorIndex");
  // A method fetched before from this usable object: a lookup in its environment table
  // (no native code runs, so nothing needs a pin).
  if (block->m_bOwnEnvironment && block->m_pObject != nullptr && !block->m_bAnchored &&
      lua_type(L, 2) == LUA_TSTRING) {
    lua_getfenv(L, 1);
    lua_pushvalue(L, 2);
    lua_rawget(L, -2);
    if (lua_type(L, -1) == LUA_TFUNCTION) return 1;
    lua_settop(L, 2);
  }
  return IndexObject(L, block);
}

int MetaOperatorNewIndex(lua_State* L) {
  CustomLuaVariable* block = ToCustomLuaVariable(L, 1);
  if (block == nullptr) return RaiseNotAnObject(L, "MetaOperatorNewIndex");
  GenericClass* cls = block->m_pClass;
  CHost& host = *cls->m_pHost;
  return GuardedInvoke(host, "__newindex", [&] {
    if (lua_type(L, 2) != LUA_TSTRING) {
      host.Error("MetaOperatorNewIndex: panic - currently supports only string indexes.\n");
    }
    size_t length = 0;
    const char* key = lua_tolstring(L, 2, &length);
    if (block->m_bConst) {
      host.Error("MetaOperatorNewIndex: can't assign a value to a member '%s' of a const object.\n", key);
    }
    const ObjectPin pin = UseObject(host, L, 1, *block);

    void* object = block->m_pObject;
    GenericMember* member = cls->FindMemberForAssign(host, std::string_view(key, length), &object);
    if (member == nullptr) host.Error("MetaOperatorIndex: error - unknown symbol %s.\n", key);
    lua_settop(L, 3);
    member->PerformNewIndexOperator(host, L, object, 1, false, 3);
    return 0;
  });
}

}  // namespace impl
}  // namespace uibind

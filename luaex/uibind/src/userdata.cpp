// Creating userdata blocks, their shared per-class metatables, and anchors.
#include <new>

#include "uibind/host.h"
#include "uibind/impl/class_record.h"
#include "uibind/impl/dispatch.h"
#include "uibind/impl/userdata.h"

namespace uibind {
namespace impl {
namespace {

void BuildMetatable(CHost& host, lua_State* L, GenericClass* cls) {
  lua_newtable(L);
  lua_pushcfunction(L, cls->m_Destructor);
  lua_setfield(L, -2, "__gc");
  lua_pushcfunction(L, &MetaOperatorIndex);
  lua_setfield(L, -2, "__index");
  lua_pushcfunction(L, &MetaOperatorNewIndex);
  lua_setfield(L, -2, "__newindex");
  for (const auto& entry : cls->m_Operators) {
    lua_pushinteger(L, entry.first);
    lua_pushlightuserdata(L, &host);
    lua_pushcclosure(L, &LuaOperatorCallProxieFunction, 2);
    lua_setfield(L, -2, OperatorMetamethodName(entry.first));
  }
}

// Sets the class's metatable, kept in the storage global, on the userdata at the top.
void SetClassMetatable(CHost& host, lua_State* L, GenericClass* cls) {
  lua_pushstring(L, kOperatorStorageGlobalName);
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushstring(L, kOperatorStorageGlobalName);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_GLOBALSINDEX);
  }
  lua_pushlstring(L, cls->m_LuaName.data(), cls->m_LuaName.size());
  lua_rawget(L, -2);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    BuildMetatable(host, L, cls);
    lua_pushlstring(L, cls->m_LuaName.data(), cls->m_LuaName.size());
    lua_pushvalue(L, -2);
    lua_rawset(L, -4);
  }
  lua_remove(L, -2);  // storage
  if (lua_setmetatable(L, -2) == 0) host.Error("can't set metatable!\n");
}

CustomLuaVariable* NewBlock(CHost& host, lua_State* L, GenericClass* cls) {
  void* memory = lua_newuserdata(L, sizeof(CustomLuaVariable));
  auto* block = new (memory) CustomLuaVariable{nullptr, cls, 0, 0, 0, kCustomLuaVariableMagic, nullptr};
  SetClassMetatable(host, L, cls);
  return block;
}

}  // namespace

void PushOwnedObject(CHost& host, lua_State* L, GenericClass* cls, ObjectPtr object) {
  // The block takes the object only once the userdata can collect it.
  CustomLuaVariable* block = NewBlock(host, L, cls);
  block->m_pDeleter = object.get_deleter();
  block->m_pObject = object.release();
  block->m_bOwned = 1;
}

int CollectObject(lua_State* L) {
  CustomLuaVariable* block = ToCustomLuaVariable(L, 1);
  if (block == nullptr || !block->m_bOwned || block->m_pObject == nullptr || block->m_pDeleter == nullptr) return 0;
  void* object = block->m_pObject;
  // Cleared first: a second "__gc" call made by Lua code must not delete again.
  block->m_pObject = nullptr;
  block->m_bOwned = 0;
  block->m_pDeleter(object);
  return 0;
}

void PushReferenceObject(CHost& host, lua_State* L, GenericClass* cls, void* object, bool isConst, int anchorIdx) {
  CustomLuaVariable* block = NewBlock(host, L, cls);
  block->m_pObject = object;
  block->m_bConst = isConst ? 1 : 0;
  if (anchorIdx != 0) AnchorTopTo(L, anchorIdx);
}

void AnchorTopTo(lua_State* L, int anchorIdx) {
  CustomLuaVariable* source = ToCustomLuaVariable(L, anchorIdx);
  if (source == nullptr) return;
  if (source->m_bAnchored) {
    lua_getfenv(L, anchorIdx);
    lua_rawgeti(L, -1, 1);
    lua_remove(L, -2);
  } else if (source->m_bOwned) {
    lua_pushvalue(L, anchorIdx);
  } else {
    return;  // refers to memory nobody in Lua owns
  }
  lua_createtable(L, 1, 0);
  lua_insert(L, -2);
  lua_rawseti(L, -2, 1);
  lua_setfenv(L, -2);
  static_cast<CustomLuaVariable*>(lua_touserdata(L, -1))->m_bAnchored = 1;
}

}  // namespace impl
}  // namespace uibind

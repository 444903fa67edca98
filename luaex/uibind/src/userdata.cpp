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
  auto* block = new (memory) CustomLuaVariable{nullptr, cls, 0, 0, 0, 0, kCustomLuaVariableMagic, nullptr, 0};
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
  // Only a "__gc" called by hand can meet a pinned object: the collector never collects
  // one, since the running call keeps it reachable. The host is alive during that call.
  if (block->m_Pins != 0) {
    block->m_pClass->m_pHost->Error("UIBind: the object of class '%s' is in use by a native call and can't be destroyed.\n",
                                    block->m_pClass->m_LuaName.c_str());
  }
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
  if (anchorIdx != 0) AnchorTopTo(L, anchorIdx, AnchorKind::Reference);
}

void AnchorTopTo(lua_State* L, int anchorIdx, AnchorKind kind) {
  // Relative indexes would move with the pushes below.
  if (anchorIdx < 0 && anchorIdx > LUA_REGISTRYINDEX) anchorIdx = lua_gettop(L) + anchorIdx + 1;
  CustomLuaVariable* source = ToCustomLuaVariable(L, anchorIdx);
  if (source == nullptr) return;
  if (!source->m_bAnchored && !source->m_bOwned) return;  // refers to memory nobody in Lua owns
  const int target = lua_gettop(L);
  lua_createtable(L, 2, 0);
  if (!source->m_bAnchored) {
    lua_pushvalue(L, anchorIdx);
    lua_rawseti(L, -2, kAnchorOwner);
  } else {
    lua_getfenv(L, anchorIdx);
    lua_rawgeti(L, -1, kAnchorOwner);
    lua_rawseti(L, -3, kAnchorOwner);
    if (kind == AnchorKind::Reference) {
      // Into an owned dependant (a cast of an iterator): that one too; into a reference:
      // whatever that reference depends on.
      if (source->m_bOwned) {
        lua_pushvalue(L, anchorIdx);
      } else {
        lua_rawgeti(L, -1, kAnchorDependant);
      }
      lua_rawseti(L, -3, kAnchorDependant);
    }
    lua_pop(L, 1);  // the source's table
  }
  lua_setfenv(L, target);
  auto* block = static_cast<CustomLuaVariable*>(lua_touserdata(L, target));
  block->m_bAnchored = 1;
  block->m_bOwnEnvironment = 1;
}

const CustomLuaVariable* FindDestroyedDependency(lua_State* L, int idx, const CustomLuaVariable& block,
                                                 CustomLuaVariable* usable[2]) {
  lua_getfenv(L, idx);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return &block;
  }
  const CustomLuaVariable* destroyed = nullptr;
  for (int slot = kAnchorOwner; slot <= kAnchorDependant && destroyed == nullptr; ++slot) {
    lua_rawgeti(L, -1, slot);
    CustomLuaVariable* dependency = ToCustomLuaVariable(L, -1);
    if (dependency == nullptr) {
      // Only the owner is required; anything else there means the table was replaced.
      if (slot == kAnchorOwner || !lua_isnil(L, -1)) destroyed = &block;
    } else if (dependency->m_pObject == nullptr) {
      destroyed = dependency;
    } else if (usable != nullptr) {
      usable[slot - kAnchorOwner] = dependency;
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return destroyed;
}

ObjectPin::ObjectPin(lua_State* L, int idx, CustomLuaVariable& block) {
  CustomLuaVariable* dependencies[2] = {nullptr, nullptr};
  if (block.m_bAnchored) FindDestroyedDependency(L, idx, block, dependencies);
  *this = ObjectPin(&block, dependencies[0], dependencies[1]);
}

ObjectPin UseObjectChecked(CHost& host, lua_State* L, int idx, CustomLuaVariable& block) {
  if (block.m_pObject == nullptr) RaiseDestroyedObject(host, block);
  CustomLuaVariable* dependencies[2] = {nullptr, nullptr};
  if (block.m_bAnchored) {
    const CustomLuaVariable* destroyed = FindDestroyedDependency(L, idx, block, dependencies);
    if (destroyed == &block) RaiseDestroyedObject(host, block);
    if (destroyed != nullptr) RaiseDestroyedOwner(host, block, *destroyed);
  }
  return ObjectPin(&block, dependencies[0], dependencies[1]);
}

}  // namespace impl
}  // namespace uibind

// The cast and type-query globals.
#include <cstring>

#include "uibind/host.h"
#include "uibind/impl/dispatch.h"
#include "uibind/impl/errors.h"

namespace uibind {
namespace impl {
namespace {

CHost& HostOf(lua_State* L) { return *static_cast<CHost*>(lua_touserdata(L, lua_upvalueindex(1))); }

// The target class name: a string, or the tag of a class table.
const char* TargetName(lua_State* L, int idx) {
  if (lua_type(L, idx) == LUA_TSTRING) return lua_tostring(L, idx);
  if (lua_type(L, idx) == LUA_TTABLE) {
    lua_pushstring(L, kClassTagName);
    lua_rawget(L, idx);
    const char* name = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
    // The table still holds the string, so the pointer stays valid after the pop.
    lua_pop(L, 1);
    return name;
  }
  return nullptr;
}

// Down from the object's class to a class that reaches it, every step an inheritance.
void* DownCastAlong(const ReachPath& path, void* object) {
  for (auto step = path.rbegin(); step != path.rend() && object != nullptr; ++step) {
    if (!step->m_pAdapter->IsInheritance()) return nullptr;
    object = step->m_pAdapter->DownCast(object);
  }
  return object;
}

void PushTypeName(lua_State* L, bool extended, bool rtti) {
  const int top = lua_gettop(L);
  if (top == 0) {
    lua_pushstring(L, "nil");
    return;
  }
  if (CustomLuaVariable* block = ToCustomLuaVariable(L, top)) {
    if (rtti) {
      lua_pushstring(L, block->m_pClass->m_TypeName.c_str());
      return;
    }
    std::string name = block->m_pClass->m_LuaName;
    if (extended && block->m_bConst) name += " const";
    if (extended && block->m_bOwned) name += " owned";
    lua_pushlstring(L, name.data(), name.size());
    return;
  }
  if (lua_type(L, top) == LUA_TLIGHTUSERDATA) {
    lua_pushstring(L, "raw pointer");
    return;
  }
  lua_pushstring(L, lua_typename(L, lua_type(L, top)));
}

}  // namespace

void* CastObject(CHost& host, GenericClass* from, void* object, GenericClass* to) {
  if (object == nullptr) return nullptr;
  if (from->IsType(to->m_TypeKey)) return object;
  if (from->FindPath(to->m_TypeKey) != nullptr) return from->ConvertTo(object, to->m_TypeKey);
  if (const ReachPath* down = to->FindPath(from->m_TypeKey)) return DownCastAlong(*down, object);
  for (auto& entry : from->m_Converters) {
    GenericClass* base = entry.second->GetTargetGenericClass(host);
    if (void* result = CastObject(host, base, entry.second->UpCast(object), to)) return result;
  }
  return nullptr;
}

// A destroyed object, or one whose owner was destroyed, casts to nil.
int LuaCast(lua_State* L) {
  CHost& host = HostOf(L);
  return GuardedInvoke(host, "__cast", [&] {
    CustomLuaVariable* block = lua_gettop(L) >= 2 ? ToCustomLuaVariable(L, 1) : nullptr;
    if (block == nullptr) host.Error("LuaCast: missings parameters");
    const char* name = TargetName(L, 2);
    if (name == nullptr) host.Error("LuaCast: can't retreive target type name");
    GenericClass* target = host.FindClassByLuaName(name);
    if (target == nullptr) host.Error("LuaCast: can't target generic class for %s", name);
    void* object = IsUsable(L, 1, *block) ? CastObject(host, block->m_pClass, block->m_pObject, target) : nullptr;
    if (object == nullptr) {
      lua_pushnil(L);
    } else {
      PushReferenceObject(host, L, target, object, block->m_bConst != 0, 1);
    }
    return 1;
  });
}

int LuaCastUnsafe(lua_State* L) {
  CHost& host = HostOf(L);
  return GuardedInvoke(host, "__cast_unsafe", [&] {
    if (lua_gettop(L) < 2) host.Error("LuaCastUnsafe: missings parameters");
    void* object = nullptr;
    bool isConst = false;
    int anchor = 0;
    if (CustomLuaVariable* block = ToCustomLuaVariable(L, 1)) {
      object = IsUsable(L, 1, *block) ? block->m_pObject : nullptr;
      isConst = block->m_bConst != 0;
      anchor = 1;
    } else if (lua_type(L, 1) == LUA_TLIGHTUSERDATA) {
      object = lua_touserdata(L, 1);
    } else {
      host.Error("LuaCastUnsafe: missings parameters");
    }
    const char* name = TargetName(L, 2);
    if (name == nullptr) host.Error("LuaCastUnsafe: can't retreive target type name");
    GenericClass* target = host.FindClassByLuaName(name);
    if (target == nullptr || object == nullptr) {
      lua_pushnil(L);
    } else {
      PushReferenceObject(host, L, target, object, isConst, anchor);
    }
    return 1;
  });
}

int LuaConst(lua_State* L) {
  const int top = lua_gettop(L);
  if (top == 0) {
    lua_pushnil(L);
    return 1;
  }
  if (CustomLuaVariable* block = ToCustomLuaVariable(L, 1)) {
    block->m_bConst = (top < 2 || lua_isnil(L, 2) || lua_toboolean(L, 2)) ? 1 : 0;
  }
  lua_pushvalue(L, 1);
  return 1;
}

int LuaGetType(lua_State* L) {
  return GuardedInvoke(HostOf(L), "__get_type", [&] {
    PushTypeName(L, false, false);
    return 1;
  });
}
int LuaGetTypeEx(lua_State* L) {
  return GuardedInvoke(HostOf(L), "__get_typeex", [&] {
    PushTypeName(L, true, false);
    return 1;
  });
}
int LuaGetRttiType(lua_State* L) {
  return GuardedInvoke(HostOf(L), "__get_rtti_type", [&] {
    PushTypeName(L, false, true);
    return 1;
  });
}

}  // namespace impl
}  // namespace uibind

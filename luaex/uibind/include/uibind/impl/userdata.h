#pragma once
#include <type_traits>
// The block inside every full userdata the layer creates, and how such userdata are made.
#include <cstdint>
#include <memory>

#include <lua.hpp>

namespace uibind {
class CHost;
namespace impl {

class GenericClass;

struct CustomLuaVariable {
  void* m_pObject;          // null once a manual "__gc" call destroyed the object
  GenericClass* m_pClass;
  unsigned char m_bOwned;   // the object is deleted when the userdata is collected
  unsigned char m_bConst;   // only const methods apply and no member may be written
  unsigned char m_bAnchored;  // the environment table holds the userdata owning the memory
  std::uint32_t m_Magic;    // tells the layer's userdata from other libraries' ones
  // Deletes an owned object. Kept in the block so that collection needs neither the
  // class record (the host may be gone) nor the metatable (Lua code can swap those).
  void (*m_pDeleter)(void*);
};

constexpr std::uint32_t kCustomLuaVariableMagic = 0x55494244u;  // "UIBD"

// The block at idx, or null when the value is not a userdata made by this layer.
inline CustomLuaVariable* ToCustomLuaVariable(lua_State* L, int idx) {
  if (lua_type(L, idx) != LUA_TUSERDATA || lua_objlen(L, idx) != sizeof(CustomLuaVariable)) {
    return nullptr;
  }
  auto* block = static_cast<CustomLuaVariable*>(lua_touserdata(L, idx));
  return block->m_Magic == kCustomLuaVariableMagic ? block : nullptr;
}

// Owned native object of unknown type, deleted by its own deleter.
using ObjectPtr = std::unique_ptr<void, void (*)(void*)>;
template <typename T>
void DeleteObject(void* p) {
  delete static_cast<T*>(p);
}
template <typename T>
ObjectPtr MakeObjectPtr(T* p) {
  return ObjectPtr(p, &DeleteObject<T>);
}

// Pushes a userdata that owns the object (not const).
void PushOwnedObject(CHost& host, lua_State* L, GenericClass* cls, ObjectPtr object);
// Pushes a userdata that refers to the object without owning it. When anchorIdx is
// not 0, the new userdata keeps alive whatever keeps the userdata at anchorIdx alive
// (the object there, when it owns it, or that userdata's own anchor).
void PushReferenceObject(CHost& host, lua_State* L, GenericClass* cls, void* object, bool isConst,
                         int anchorIdx);
// Lets the userdata at the top keep alive what the userdata at anchorIdx depends on.
void AnchorTopTo(lua_State* L, int anchorIdx);

// The "__gc" of every class.
int CollectObject(lua_State* L);

}  // namespace impl
}  // namespace uibind

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
  unsigned char m_bAnchored;  // the environment table holds the userdata the object depends on
  unsigned char m_bOwnEnvironment;  // the environment table is the layer's own (anchors, fetched methods)
  std::uint32_t m_Magic;    // tells the layer's userdata from other libraries' ones
  // Deletes an owned object. Kept in the block so that collection needs neither the
  // class record (the host may be gone) nor the metatable (Lua code can swap those).
  void (*m_pDeleter)(void*);
  std::uint32_t m_Pins;     // native calls in progress that use the object (ObjectPin)
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
// not 0, the object lies in memory that the userdata at anchorIdx owns or depends on,
// and the new userdata is anchored to it as a reference (AnchorTopTo).
void PushReferenceObject(CHost& host, lua_State* L, GenericClass* cls, void* object, bool isConst,
                         int anchorIdx);

// Anchors: a userdata whose object lies in memory owned by other userdata keeps them in
// its environment table, so that the collector keeps them alive and every use can check
// that none of them was destroyed by a "__gc" called by hand. The table holds at
// kAnchorOwner the userdata that owns the memory (owned, never anchored itself) and, for
// a reference into an owned userdata that is anchored itself (a "__cast" of an iterator),
// that userdata at kAnchorDependant. Chains never grow longer than that.
constexpr int kAnchorOwner = 1;
constexpr int kAnchorDependant = 2;

enum class AnchorKind {
  // The new userdata's object lies inside the object at anchorIdx, or inside what that
  // object lies in (members, reference results, casts).
  Reference,
  // The new userdata owns an object that points into the memory the object at anchorIdx
  // is or points into, never into that object itself (iterator holders: DependsOnOwner).
  Dependant,
};
// Anchors the userdata at the top to what the userdata at anchorIdx owns or depends on.
// Nothing happens when that one neither owns its object nor depends on an owner (the
// memory belongs to the native side).
void AnchorTopTo(lua_State* L, int anchorIdx, AnchorKind kind);

// The first userdata that the anchored userdata at idx depends on whose object was
// destroyed, or null when all of them exist. A broken anchor table counts as block
// itself destroyed. With usable, also returns the userdata it depends on.
const CustomLuaVariable* FindDestroyedDependency(lua_State* L, int idx, const CustomLuaVariable& block,
                                                 CustomLuaVariable* usable[2] = nullptr);

// True when the object of the userdata at idx (block is its block) may be used: it was
// not destroyed, and neither was any object it depends on.
inline bool IsUsable(lua_State* L, int idx, const CustomLuaVariable& block) {
  return block.m_pObject != nullptr && (!block.m_bAnchored || FindDestroyedDependency(L, idx, block) == nullptr);
}

// Marks a userdata and the userdata it depends on as used by a native call while the
// pin lives: a "__gc" called by hand on any of them (from Lua code the call runs) raises
// a Lua error instead of deleting. The blocks stay valid meanwhile: the pinned userdata
// is on the stack or an upvalue of the running call, and keeps the others alive.
class ObjectPin {
 public:
  ObjectPin() = default;
  // block must be usable (IsUsable).
  ObjectPin(lua_State* L, int idx, CustomLuaVariable& block);
  // block and the usable userdata it depends on (any of those may be null).
  ObjectPin(CustomLuaVariable* block, CustomLuaVariable* owner, CustomLuaVariable* dependant) noexcept
      : m_pBlocks{block, owner, dependant} {
    for (CustomLuaVariable* pinned : m_pBlocks) {
      if (pinned != nullptr) ++pinned->m_Pins;
    }
  }
  ObjectPin(ObjectPin&& other) noexcept : m_pBlocks{other.m_pBlocks[0], other.m_pBlocks[1], other.m_pBlocks[2]} {
    other.m_pBlocks[0] = other.m_pBlocks[1] = other.m_pBlocks[2] = nullptr;
  }
  ObjectPin& operator=(ObjectPin&& other) noexcept {
    if (this != &other) {
      Release();
      for (int i = 0; i < 3; ++i) {
        m_pBlocks[i] = other.m_pBlocks[i];
        other.m_pBlocks[i] = nullptr;
      }
    }
    return *this;
  }
  ObjectPin(const ObjectPin&) = delete;
  ObjectPin& operator=(const ObjectPin&) = delete;
  ~ObjectPin() { Release(); }

 private:
  void Release() noexcept {
    for (CustomLuaVariable*& pinned : m_pBlocks) {
      if (pinned != nullptr) --pinned->m_Pins;
      pinned = nullptr;
    }
  }
  CustomLuaVariable* m_pBlocks[3] = {nullptr, nullptr, nullptr};
};

// The pin of a usable userdata that depends on no other (the common case of UseObject).
class BlockPin {
 public:
  explicit BlockPin(CustomLuaVariable& block) noexcept : m_Block(block) { ++m_Block.m_Pins; }
  ~BlockPin() { --m_Block.m_Pins; }
  BlockPin(const BlockPin&) = delete;
  BlockPin& operator=(const BlockPin&) = delete;

 private:
  CustomLuaVariable& m_Block;
};

// UseObject for the cases other than an existing object without anchors.
ObjectPin UseObjectChecked(CHost& host, lua_State* L, int idx, CustomLuaVariable& block);

// Raises "... has already been destroyed" when the object of the userdata at idx was,
// or "... refers into an object ... that has already been destroyed" when an object it
// depends on was; otherwise pins them (ObjectPin) for the caller's native work.
inline ObjectPin UseObject(CHost& host, lua_State* L, int idx, CustomLuaVariable& block) {
  if (block.m_pObject != nullptr && !block.m_bAnchored) return ObjectPin(&block, nullptr, nullptr);
  return UseObjectChecked(host, L, idx, block);
}

// The "__gc" of every class.
int CollectObject(lua_State* L);

}  // namespace impl
}  // namespace uibind

#pragma once
// The C functions Lua calls into: method, function, constructor and operator dispatch,
// field access, and the cast and type-query globals.
#include <lua.hpp>

#include "uibind/impl/class_record.h"
#include "uibind/impl/userdata.h"

namespace uibind {
class CHost;
namespace impl {

// Limits of the candidate lists kept for error texts.
constexpr int kMethodCandidateLimit = 49;
constexpr int kFunctionCandidateLimit = 19;

// What the function of a fetched method carries in its first upvalue (a full userdata,
// so that one read gives all of it); the second upvalue is the object's userdata, which
// the function keeps alive. Userdata memory never moves, so m_pBlock stays valid as long
// as the function exists.
struct MethodBinding {
  CustomLuaVariable* m_pBlock;
  const MethodGroup* m_pGroup;
  void* m_pObject;  // the object viewed as the class that declares the method
};
// A fetched method (see MethodBinding).
int LuaMethodCallProxieFunction(lua_State* L);
// Pushes the function of the method named by the string at nameIdx for the userdata at
// udIdx, whose object the caller found usable; false when the class has no such method.
// Unless the lookup ran a declared conversion function, the function is kept in the
// userdata's environment table, and later fetches of the name hand out the same one.
bool PushMethod(CHost& host, lua_State* L, int udIdx, CustomLuaVariable& block, int nameIdx);
// Chooses the overload of group for the Lua arguments from 1 and calls it on object.
// selfObject is the pointer held by the userdata (compared with argument 1 for
// self-in-arguments overloads); selfIdx the userdata's index for result anchoring.
int MethodCallDispatcher(CHost& host, lua_State* L, const MethodGroup& group, void* object, const void* selfObject,
                         bool isConst, int selfIdx);
// What a free function's closure carries in its second upvalue (a full userdata, so that
// one read gives both).
struct FunctionOverloads;
struct FunctionBinding {
  CHost* m_pHost;
  const FunctionOverloads* m_pOverloads;
};
// A free function. Upvalues: the qualified name, its FunctionBinding.
int LuaGlobalFunctionDispatcher(lua_State* L);
// "__call" of a class table. Upvalue: the class.
int ConstructorCallDispatcher(lua_State* L);
// An operator metamethod. Upvalues: the operator code, the host.
int LuaOperatorCallProxieFunction(lua_State* L);

int MetaOperatorIndex(lua_State* L);
int MetaOperatorNewIndex(lua_State* L);

// The cast and type-query globals. Upvalue: the host.
int LuaCast(lua_State* L);
int LuaCastUnsafe(lua_State* L);
int LuaConst(lua_State* L);
int LuaGetType(lua_State* L);
int LuaGetTypeEx(lua_State* L);
int LuaGetRttiType(lua_State* L);

// Converts object of class from to class to: same type, up, down, or through a base.
void* CastObject(CHost& host, GenericClass* from, void* object, GenericClass* to);

// Runs the policy hooks of an overload.
void RunPolicyHooksBefore(const GenericMethodPolicy& policy, CHost& host, lua_State* L, void* object, int position);
int RunPolicyHooksAfter(const GenericMethodPolicy& policy, CHost& host, lua_State* L, void* object, int position,
                        int count);
inline void RunPolicyBefore(const PolicyPtr& policy, CHost& host, lua_State* L, void* object, int position) {
  if (policy) RunPolicyHooksBefore(*policy, host, L, object, position);
}
inline int RunPolicyAfter(const PolicyPtr& policy, CHost& host, lua_State* L, void* object, int position, int count) {
  return policy ? RunPolicyHooksAfter(*policy, host, L, object, position, count) : count;
}

// "__gc" called by hand destroyed the object of block, or the object of owner, which
// block's object lies in (see AnchorTopTo).
[[noreturn]] void RaiseDestroyedObject(CHost& host, const CustomLuaVariable& block);
[[noreturn]] void RaiseDestroyedOwner(CHost& host, const CustomLuaVariable& block, const CustomLuaVariable& owner);

}  // namespace impl
}  // namespace uibind

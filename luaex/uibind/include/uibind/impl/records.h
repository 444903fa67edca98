#pragma once
// Type-erased records of what a class or namespace declares: overloads, constructors,
// members, values. The templates in the other headers derive from these.
#include <string>

#include <lua.hpp>

#include "uibind/impl/argument_types.h"
#include "uibind/impl/types.h"
#include "uibind/impl/userdata.h"
#include "uibind/policy.h"

namespace uibind {
class CHost;
namespace impl {

// One overload of a method or an operator.
class GenericMethod {
 public:
  GenericMethod(std::string name, bool isConst, PolicyPtr policy)
      : m_Name(std::move(name)), m_bConst(isConst), m_Policy(std::move(policy)) {}
  virtual ~GenericMethod() = default;

  // Score of the count values from start as this overload's parameters; types holds the
  // Lua types of the call's arguments.
  virtual unsigned Match(CHost& host, lua_State* L, int start, int count, const ArgumentTypes& types) const = 0;
  // The name, the parenthesised parameter types and " const" for a const method.
  virtual std::string Signature(CHost& host) const = 0;
  // Reads the arguments from start, calls, pushes the results and returns their count.
  // selfIdx is the stack index of the object's userdata (0 when there is none).
  virtual int Call(CHost& host, lua_State* L, void* object, int start, int selfIdx,
                   const ArgumentTypes& types) const = 0;
  // The path of a method without other overloads: when the top values from 1 match,
  // calls as Call does (policy hooks included), sets *count and returns true; otherwise
  // returns false and changes nothing.
  virtual bool CallIfMatches(CHost& host, lua_State* L, void* object, int top, int selfIdx, int* count) const = 0;

  std::string m_Name;
  bool m_bConst;
  bool m_bSelfInArguments = false;  // Lua argument 1 is the object itself
  PolicyPtr m_Policy;
  // No policy hooks and no parameter that can build a temporary: Call needs neither the
  // hooks nor a temporaries scope around it.
  bool m_bPlain = false;
  // No class parameter and no self argument: the score depends on the count and the Lua
  // types of the arguments alone.
  bool m_bScoredByTypes = false;
};

// One constructor of a class.
class ConstructorEntry {
 public:
  ConstructorEntry(const char* typeKey, bool isExplicit, int paramCount, PolicyPtr policy)
      : m_TypeKey(typeKey), m_bExplicit(isExplicit), m_ParamCount(paramCount), m_Policy(std::move(policy)) {}
  virtual ~ConstructorEntry() = default;

  virtual unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) const = 0;
  // The parenthesised parameter types (the class's Lua name goes before it).
  virtual std::string ParameterList(CHost& host) const = 0;
  virtual ObjectPtr Create(CHost& host, lua_State* L, int start) const = 0;
  // Builds the object from the value at position, pushes it on the host's temporaries
  // stack and returns it.
  virtual void* CreateTemporary(CHost& host, lua_State* L, int position) const = 0;

  const char* m_TypeKey;
  bool m_bExplicit;
  int m_ParamCount;
  PolicyPtr m_Policy;
};

// A data member or a computed property.
class GenericMember {
 public:
  virtual ~GenericMember() = default;
  // Pushes the value. udIdx is the object's userdata.
  virtual void PerformIndexOperator(CHost& host, lua_State* L, void* object, int udIdx, bool isConst) const = 0;
  // Assigns the value at valueIdx.
  virtual void PerformNewIndexOperator(CHost& host, lua_State* L, void* object, int udIdx, bool isConst,
                                       int valueIdx) const = 0;
};

// A value installed into a class table or a namespace.
class LuaValue {
 public:
  virtual ~LuaValue() = default;
  virtual void Push(lua_State* L) const = 0;
};

// One overload of a free function.
class GenericFunction {
 public:
  GenericFunction(std::string name, PolicyPtr policy) : m_Name(std::move(name)), m_Policy(std::move(policy)) {}
  virtual ~GenericFunction() = default;

  virtual unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) const = 0;
  // The parenthesised parameter types (the qualified name goes before it).
  virtual std::string ParameterList(CHost& host) const = 0;
  virtual int Call(CHost& host, lua_State* L, int start) const = 0;
  // The path of a plain function without other overloads: when the top values from 1
  // match, calls as Call does, sets *count and returns true; otherwise returns false and
  // changes nothing. Only for m_bPlain functions (no hooks and no temporaries to scope).
  virtual bool CallIfMatches(CHost& host, lua_State* L, int top, int* count) const = 0;

  std::string m_Name;  // qualified Lua name
  PolicyPtr m_Policy;
  // No policy hooks and no parameter that can build a temporary.
  bool m_bPlain = false;
};

}  // namespace impl
}  // namespace uibind

// Small shared helpers: names, argument descriptions, error raising, temporaries.
#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "uibind/host.h"
#include "uibind/impl/class_record.h"
#include "uibind/impl/dispatch.h"
#include "uibind/impl/errors.h"
#include "uibind/impl/match_scalar.h"
#include "uibind/impl/results.h"
#include "uibind/impl/temporaries.h"

namespace uibind {
namespace impl {

const char* OperatorMetamethodName(int code) {
  static const char* const kNames[OP_COUNT] = {"__add", "__sub", "__mul", "__div",      "__mod",   "__unm",
                                               "__eq",  "__lt",  "__le",  "__tostring", "__concat"};
  return code >= 0 && code < OP_COUNT ? kNames[code] : "unknown operator";
}

std::string Demangle(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return status == 0 && text ? std::string(text.get()) : std::string(mangled);
}

std::string DescribeArguments(lua_State* L, int start) {
  const int top = lua_gettop(L);
  if (start > top) return "None\n";
  std::string text;
  for (int i = start; i <= top; ++i) {
    text += "* ";
    switch (lua_type(L, i)) {
      case LUA_TNIL: text += "lua type: nil"; break;
      case LUA_TBOOLEAN: text += "boolean"; break;
      case LUA_TLIGHTUSERDATA: text += "raw pointer"; break;
      case LUA_TNUMBER: text += "number"; break;
      case LUA_TSTRING: text += "string"; break;
      case LUA_TTABLE: text += "table"; break;
      case LUA_TUSERDATA:
        if (CustomLuaVariable* block = ToCustomLuaVariable(L, i)) {
          text += "custom class: ";
          if (block->m_bConst) text += "const ";
          text += block->m_pClass->m_LuaName;
        } else {
          text += "unknown";
        }
        break;
      default: text += "unknown"; break;
    }
    text += "\n";
  }
  return text;
}

void RaiseNativeException(CHost& host, const char* what, const char* text) {
  host.Error("Native exception in '%s': %s\n", what, text);
}

void RaiseNumberOutOfRange(CHost& host, lua_Number value, const std::string& typeName) {
  host.Error("ParameterMatcher::ExtractParam: number %.14g is out of range for '%s'.\n", static_cast<double>(value),
             typeName.c_str());
}

void RaiseDestroyedObject(CHost& host, const CustomLuaVariable& block) {
  host.Error("UIBind: the object of class '%s' has already been destroyed.\n", block.m_pClass->m_LuaName.c_str());
}

void RaiseDestroyedOwner(CHost& host, const CustomLuaVariable& block, const CustomLuaVariable& owner) {
  host.Error("UIBind: the object of class '%s' refers into an object of class '%s' that has already been destroyed.\n",
             block.m_pClass->m_LuaName.c_str(), owner.m_pClass->m_LuaName.c_str());
}

GenericClass* FindResultClass(CHost& host, const char* typeKey, bool byValue, const char* nativeName) {
  GenericClass* cls = host.FindClassByType(typeKey);
  if (cls == nullptr) {
    if (byValue) host.Error("CreateCustomLuaVariable<ByVal> can't find GenericClass for %s!\n", nativeName);
    host.Error("CreateCustomLuaVariable<ByPtr> can't find GenericClass for %s!\n", nativeName);
  }
  return cls;
}

void RunPolicyHooksBefore(const GenericMethodPolicy& policy, CHost& host, lua_State* L, void* object, int position) {
  for (const auto& hook : policy) hook->Before(host, L, object, position);
}

int RunPolicyHooksAfter(const GenericMethodPolicy& policy, CHost& host, lua_State* L, void* object, int position,
                        int count) {
  for (const auto& hook : policy) count = hook->After(host, L, object, position, count);
  return count;
}


}  // namespace impl
}  // namespace uibind

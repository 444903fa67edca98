// Overload resolution and calls for methods, free functions, constructors and operators.
#include "uibind/impl/dispatch.h"

#include <array>
#include <string>
#include <string_view>

#include "uibind/host.h"
#include "uibind/impl/errors.h"
#include "uibind/impl/temporaries.h"

namespace uibind {
namespace impl {
namespace {

// The best score so far and the entries that reach it, up to a limit.
template <typename Entry>
struct Candidates {
  unsigned m_Best = CantBeConverted;
  int m_Count = 0;
  std::array<const Entry*, kMethodCandidateLimit> m_List;

  void Add(const Entry* entry, unsigned score, int limit) {
    if (score < m_Best) {
      m_Best = score;
      m_List[0] = entry;
      m_Count = 1;
    } else if (score == m_Best && m_Count < limit) {
      m_List[m_Count++] = entry;
    }
  }
  const Entry* Winner() const { return m_Best < CantBeConverted && m_Count == 1 ? m_List[0] : nullptr; }
  const char* Cause() const { return m_Best >= CantBeConverted ? "no one can be used" : "ambiguity"; }
};

}  // namespace

int CallChosenMethod(CHost& host, lua_State* L, const GenericMethod& method, void* object, int selfIdx,
                     const ArgumentTypes& types) {
  TemporariesScope scope(host);
  if (!method.m_Policy) return method.Call(host, L, object, 1, selfIdx, types);
  RunPolicyHooksBefore(*method.m_Policy, host, L, object, 1);
  // A hook may have changed the arguments: their types are read again.
  const ArgumentTypes current(L, lua_gettop(L));
  const int count = method.Call(host, L, object, 1, selfIdx, current);
  return RunPolicyHooksAfter(*method.m_Policy, host, L, object, 1, count);
}

namespace {

// Scores every overload; calls the one best match or raises the error naming the candidates.
[[gnu::noinline]] int ChooseAndCall(CHost& host, lua_State* L, const MethodGroup& group, void* object,
                                    const void* selfObject, bool isConst, int selfIdx, int top) {
  ArgumentTypes types(L, top);
  const std::uint64_t key = group.m_bChosenByTypes ? types.Key(top, isConst) : 0;
  if (key != 0 && key == group.m_ChosenKey) {
    const GenericMethod* method = group.m_pChosen;
    if (method->m_bPlain) return method->Call(host, L, object, 1, selfIdx, types);
    return CallChosenMethod(host, L, *method, object, selfIdx, types);
  }
  Candidates<GenericMethod> candidates;
  for (const auto& method : group.m_Overloads) {
    unsigned score = CantBeConverted;
    if (!isConst || method->m_bConst) {
      int start = 1;
      bool selfMatches = true;
      if (method->m_bSelfInArguments) {
        CustomLuaVariable* first = ToCustomLuaVariable(L, 1);
        selfMatches = first != nullptr && first->m_pObject == selfObject;
        start = 2;
      }
      if (selfMatches) {
        score = method->Match(host, L, start, top - start + 1, types);
        if (!isConst && method->m_bConst) score = CombineScores(score, 2);
      }
    }
    candidates.Add(method.get(), score, kMethodCandidateLimit);
  }

  if (const GenericMethod* method = candidates.Winner()) {
    if (key != 0) {
      group.m_ChosenKey = key;
      group.m_pChosen = method;
    }
    if (method->m_bSelfInArguments) {
      lua_remove(L, 1);
      types.DropFirst();
    }
    if (method->m_bPlain) return method->Call(host, L, object, 1, selfIdx, types);
    return CallChosenMethod(host, L, *method, object, selfIdx, types);
  }

  std::string signatures;
  for (int i = 0; i < candidates.m_Count; ++i) signatures += candidates.m_List[i]->Signature(host) + "\n";
  const std::string arguments = DescribeArguments(L, 1);
  host.Error("Can't match method to call '%s.%s%s', candidates are:\n%sParameters are:\n%sCaused by: %s.\n",
             group.m_pClass->m_LuaName.c_str(), group.m_Name.c_str(), isConst ? " const" : "", signatures.c_str(),
             arguments.c_str(), candidates.Cause());
}

}  // namespace

int MethodCallDispatcher(CHost& host, lua_State* L, const MethodGroup& group, void* object, const void* selfObject,
                         bool isConst, int selfIdx) {
  const int top = lua_gettop(L);
  // The common case of one overload without the self argument needs no candidate list.
  const GenericMethod* only = group.m_pOnly;
  int count = 0;
  if (only != nullptr && (!isConst || only->m_bConst) && only->CallIfMatches(host, L, object, top, selfIdx, &count)) {
    return count;
  }
  return ChooseAndCall(host, L, group, object, selfObject, isConst, selfIdx, top);
}

// Entry points guard the whole call, not only the native function: a C++ exception from
// a policy hook, a caster, an argument conversion or an allocation of the layer becomes
// a Lua error too.

int LuaMethodCallProxieFunction(lua_State* L) {
  const auto* binding = static_cast<const MethodBinding*>(lua_touserdata(L, lua_upvalueindex(1)));
  CustomLuaVariable& block = *binding->m_pBlock;
  const MethodGroup& group = *binding->m_pGroup;
  CHost& host = *group.m_pClass->m_pHost;
  return GuardedInvoke(host, group.m_Name, [&] {
    if (block.m_pObject != nullptr && !block.m_bAnchored) {
      // The path of most calls, MethodCallDispatcher written out.
      const BlockPin pin(block);
      const int top = lua_gettop(L);
      const GenericMethod* only = group.m_pOnly;
      int count = 0;
      if (only != nullptr) {
        if ((!block.m_bConst || only->m_bConst) &&
            only->CallIfMatches(host, L, binding->m_pObject, top, lua_upvalueindex(2), &count)) {
          return count;
        }
      } else if (group.m_ChosenKey != 0) {
        // Overloads chosen by types: the same types as last time make the same choice.
        const ArgumentTypes types(L, top);
        const GenericMethod* chosen = group.m_pChosen;
        if (types.Key(top, block.m_bConst != 0) == group.m_ChosenKey && chosen->m_bPlain) {
          return chosen->Call(host, L, binding->m_pObject, 1, lua_upvalueindex(2), types);
        }
      }
      return ChooseAndCall(host, L, group, binding->m_pObject, block.m_pObject, block.m_bConst != 0,
                           lua_upvalueindex(2), top);
    }
    const ObjectPin pin = UseObjectChecked(host, L, lua_upvalueindex(2), block);
    return MethodCallDispatcher(host, L, group, binding->m_pObject, block.m_pObject, block.m_bConst != 0,
                                lua_upvalueindex(2));
  });
}

namespace {

// Every call of a function that is not the one plain overload: scoring, hooks, errors.
[[gnu::noinline]] int ChooseAndCallFunction(CHost* host, const FunctionOverloads* set, lua_State* L) {
  const auto* overloads = set != nullptr ? &set->m_List : nullptr;
  if (host == nullptr || overloads == nullptr || overloads->empty()) {
    if (lua_type(L, lua_upvalueindex(1)) != LUA_TSTRING || host == nullptr) {
      lua_pushstring(L, "LuaGlobalFunctionDispatcher: panic - bad upvalues.\n");
      return lua_error(L);
    }
    host->Error("LuaGlobalFunctionDispatcher: panic - can't find GenericFunction %s!\n",
                lua_tostring(L, lua_upvalueindex(1)));
  }
  const std::string& name = overloads->front()->m_Name;

  return GuardedInvoke(*host, name, [&] {
    const int top = lua_gettop(L);
    const GenericFunction* chosen = nullptr;
    Candidates<GenericFunction> candidates;
    if (overloads->size() == 1) {
      // One overload: no candidate list unless it does not match.
      const GenericFunction* only = overloads->front().get();
      const unsigned score = only->Match(*host, L, 1, top, true);
      if (score < CantBeConverted) chosen = only;
      else candidates.Add(only, score, kFunctionCandidateLimit);
    } else {
      for (const auto& fn : *overloads) {
        candidates.Add(fn.get(), fn->Match(*host, L, 1, top, true), kFunctionCandidateLimit);
      }
      chosen = candidates.Winner();
    }

    if (chosen != nullptr) {
      TemporariesScope scope(*host);
      RunPolicyBefore(chosen->m_Policy, *host, L, nullptr, 1);
      const int count = chosen->Call(*host, L, 1);
      return RunPolicyAfter(chosen->m_Policy, *host, L, nullptr, 1, count);
    }

    std::string signatures;
    for (int i = 0; i < candidates.m_Count; ++i) {
      signatures += candidates.m_List[i]->m_Name + candidates.m_List[i]->ParameterList(*host) + "\n";
    }
    const std::string arguments = DescribeArguments(L, 1);
    host->Error("Can't match function to call %s, candidates are:\n%sParameters are:\n%sCaused by: %s.\n",
                name.c_str(), signatures.c_str(), arguments.c_str(), candidates.Cause());
  });
}

}  // namespace

int LuaGlobalFunctionDispatcher(lua_State* L) {
  // Upvalues: the name, and the host with the host's overloads of the name in one block
  // (resolved when the function was inserted, so a call looks nothing up by name).
  const auto* binding = static_cast<const FunctionBinding*>(lua_touserdata(L, lua_upvalueindex(2)));
  CHost* host = binding != nullptr ? binding->m_pHost : nullptr;
  const FunctionOverloads* overloads = binding != nullptr ? binding->m_pOverloads : nullptr;
  if (host != nullptr && overloads != nullptr && overloads->m_pPlainOnly != nullptr) {
    // The path of most calls: one plain overload, scored and read with the argument
    // types read once, without hooks or a temporaries scope. A mismatch goes on to the
    // error naming it.
    const GenericFunction& only = *overloads->m_pPlainOnly;
    int count = 0;
    if (GuardedInvoke(*host, only.m_Name, [&] { return only.CallIfMatches(*host, L, lua_gettop(L), &count); })) {
      return count;
    }
  }
  return ChooseAndCallFunction(host, overloads, L);
}

int ConstructorCallDispatcher(lua_State* L) {
  auto* cls = static_cast<GenericClass*>(lua_touserdata(L, lua_upvalueindex(1)));
  CHost& host = *cls->m_pHost;
  return GuardedInvoke(host, cls->m_LuaName, [&] {
    if (lua_gettop(L) > 0) lua_remove(L, 1);  // the class table
    const int top = lua_gettop(L);
    Candidates<ConstructorEntry> candidates;
    for (const auto& entry : cls->m_Constructors) {
      candidates.Add(entry.get(), entry->Match(host, L, 1, top, true), kMethodCandidateLimit);
    }

    if (const ConstructorEntry* entry = candidates.Winner()) {
      GenericClass* target = host.FindClassByType(entry->m_TypeKey);
      if (target == nullptr) host.Error("CustomClass::Constructor panic - can't find GenericClass!\n");
      TemporariesScope scope(host);
      RunPolicyBefore(entry->m_Policy, host, L, nullptr, 1);
      ObjectPtr object = entry->Create(host, L, 1);
      void* raw = object.get();
      PushOwnedObject(host, L, target, std::move(object));
      return RunPolicyAfter(entry->m_Policy, host, L, raw, 1, 1);
    }

    std::string signatures;
    for (int i = 0; i < candidates.m_Count; ++i) {
      signatures += cls->m_LuaName + candidates.m_List[i]->ParameterList(host) + "\n";
    }
    const std::string arguments = DescribeArguments(L, 1);
    host.Error("Can't match constructor to create %s, candidates are:\n%sParameters are:\n%sCaused by: %s.",
               cls->m_LuaName.c_str(), signatures.c_str(), arguments.c_str(), candidates.Cause());
  });
}

int LuaOperatorCallProxieFunction(lua_State* L) {
  const int code = static_cast<int>(lua_tointeger(L, lua_upvalueindex(1)));
  CHost& host = *static_cast<CHost*>(lua_touserdata(L, lua_upvalueindex(2)));
  return GuardedInvoke(host, OperatorMetamethodName(code), [&] {
    if (code == OP_UNM && lua_gettop(L) >= 2) lua_pop(L, 1);  // Lua passes the operand twice

    for (int i = 1; i <= 2 && i <= lua_gettop(L); ++i) {
      CustomLuaVariable* block = ToCustomLuaVariable(L, i);
      if (block == nullptr) continue;
      auto group = block->m_pClass->m_Operators.find(code);
      if (group == block->m_pClass->m_Operators.end()) continue;
      const ObjectPin pin = UseObject(host, L, i, *block);
      return MethodCallDispatcher(host, L, group->second, block->m_pObject, block->m_pObject, block->m_bConst != 0, i);
    }
    host.Error(
        "GenericClass::LuaOperatorCallProxieFunction: panic - can't find a variable to call operator handler for '%s'",
        OperatorMetamethodName(code));
  });
}

}  // namespace impl
}  // namespace uibind

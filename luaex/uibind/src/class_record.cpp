// Lookups and conversions of a class record; the non-template part of class parameters.
#include "uibind/impl/class_record.h"

#include "uibind/host.h"
#include "uibind/impl/dispatch.h"
#include "uibind/impl/match_class.h"

namespace uibind {
namespace impl {

GenericClass::GenericClass(std::string name, const char* typeKey, std::string nativeName, lua_CFunction destructor)
    : m_LuaName(name.empty() ? nativeName : name),
      m_DeclaredName(m_LuaName),
      m_bHasTable(!name.empty()),
      m_TypeName(typeKey),
      m_TypeKey(typeKey),
      m_NativeName(std::move(nativeName)),
      m_Destructor(destructor) {}

void MethodGroup::Add(std::unique_ptr<GenericMethod> method) {
  m_Overloads.push_back(std::move(method));
  const GenericMethod& first = *m_Overloads.front();
  m_pOnly = m_Overloads.size() == 1 && !first.m_bSelfInArguments ? &first : nullptr;
  m_bChosenByTypes = true;
  for (const auto& overload : m_Overloads) {
    if (!overload->m_bScoredByTypes || overload->m_bSelfInArguments) m_bChosenByTypes = false;
  }
  m_ChosenKey = 0;
  m_pChosen = nullptr;
}

MethodGroup& GenericClass::AddMethod(std::unique_ptr<GenericMethod> method) {
  MethodGroup& group = m_Methods[method->m_Name];
  group.m_Name = method->m_Name;
  group.m_pClass = this;
  group.Add(std::move(method));
  return group;
}

MethodGroup& GenericClass::AddOperator(int code, std::unique_ptr<GenericMethod> method) {
  MethodGroup& group = m_Operators[code];
  group.m_Name = OperatorMetamethodName(code);
  group.m_pClass = this;
  group.Add(std::move(method));
  return group;
}

MethodGroup* GenericClass::FindMethod(CHost& host, std::string_view name, void** object, bool* fixed) {
  auto it = m_Methods.find(name);
  if (it != m_Methods.end()) return &it->second;
  for (auto& entry : m_Converters) {
    GenericClass* base = entry.second->GetTargetGenericClass(host);
    if (fixed != nullptr && !entry.second->IsInheritance()) *fixed = false;
    void* up = entry.second->UpCast(*object);
    if (up == nullptr) continue;
    if (MethodGroup* group = base->FindMethod(host, name, &up, fixed)) {
      *object = up;
      return group;
    }
  }
  return nullptr;
}

bool GenericClass::PushMember(CHost& host, lua_State* L, std::string_view key, void* object, int udIdx, bool isConst) {
  auto member = m_Members.find(key);
  if (member != m_Members.end()) {
    member->second->PerformIndexOperator(host, L, object, udIdx, isConst);
    return true;
  }
  auto value = m_ClassValues.find(key);
  if (value != m_ClassValues.end()) {
    value->second->Push(L);
    return true;
  }
  for (auto& entry : m_Converters) {
    GenericClass* base = entry.second->GetTargetGenericClass(host);
    void* up = entry.second->UpCast(object);
    if (up != nullptr && base->PushMember(host, L, key, up, udIdx, isConst)) return true;
  }
  return false;
}

GenericMember* GenericClass::FindMemberForAssign(CHost& host, std::string_view key, void** object) {
  auto member = m_Members.find(key);
  if (member != m_Members.end()) return member->second.get();
  for (auto& entry : m_Converters) {
    GenericClass* base = entry.second->GetTargetGenericClass(host);
    void* up = entry.second->UpCast(*object);
    if (up == nullptr) continue;
    if (GenericMember* found = base->FindMemberForAssign(host, key, &up)) {
      *object = up;
      return found;
    }
  }
  return nullptr;
}

const ReachPath* GenericClass::FindPath(const char* typeKey) const {
  auto it = m_ReachableClasses.find(std::string_view(typeKey));
  return it == m_ReachableClasses.end() ? nullptr : &it->second;
}

void* GenericClass::ConvertTo(void* object, const char* typeKey) const {
  if (IsType(typeKey)) return object;
  const ReachPath* path = FindPath(typeKey);
  if (path == nullptr) return nullptr;
  for (const ReachStep& step : *path) {
    if (object == nullptr) return nullptr;
    object = step.m_pAdapter->UpCast(object);
  }
  return object;
}

bool GenericClass::CanConstructImplicitly(CHost& host, lua_State* L, int position) const {
  for (const auto& entry : m_Constructors) {
    if (entry->m_ParamCount == 1 && !entry->m_bExplicit &&
        entry->Match(host, L, position, 1, false) < CantBeConverted) {
      return true;
    }
  }
  return false;
}

void* GenericClass::ConstructObjectFrom(CHost& host, lua_State* L, int position) const {
  for (const auto& entry : m_Constructors) {
    if (entry->m_ParamCount == 1 && !entry->m_bExplicit &&
        entry->Match(host, L, position, 1, false) < CantBeConverted) {
      RunPolicyBefore(entry->m_Policy, host, L, nullptr, position);
      void* object = entry->CreateTemporary(host, L, position);
      RunPolicyAfter(entry->m_Policy, host, L, object, position, 0);
      return object;
    }
  }
  host.Error("GenericClass::ConstructObjectFrom: panic - can't find constructor to impicity create object '%s'",
             m_LuaName.c_str());
}

GenericClass* ClassConvertAdapter::FindTargetGenericClass(CHost& host) {
  if (m_pTarget == nullptr) m_pTarget = host.FindClassByType(m_TargetType);
  return m_pTarget;
}

GenericClass* ClassConvertAdapter::GetTargetGenericClass(CHost& host) {
  GenericClass* target = FindTargetGenericClass(host);
  if (target == nullptr) {
    host.Error("ClassUpCastConvertAdapter::GetTargetGenericClass: panic - can't find generic class for %s!\n",
               Demangle(m_TargetType).c_str());
  }
  return target;
}

std::string ClassParamBase::TypeName(CHost& host, const char* typeKey, ClassForm form) {
  GenericClass* cls = host.FindClassByType(typeKey);
  std::string text = cls != nullptr ? cls->m_LuaName : "unknown type";
  if (form == ClassForm::ConstRef || form == ClassForm::ConstPtr) text = "const " + text;
  if (form == ClassForm::ConstRef || form == ClassForm::Ref) text += "&";
  if (form == ClassForm::Ptr || form == ClassForm::ConstPtr) text += "*";
  return text;
}

unsigned ClassParamBase::Match(CHost& host, lua_State* L, int pos, bool implicit, const char* typeKey,
                               bool needNonConst, const char* nativeName) {
  // A destroyed object, or one whose owner was destroyed, converts to nothing.
  if (CustomLuaVariable* block = ToCustomLuaVariable(L, pos)) {
    if (!(needNonConst && block->m_bConst) && IsUsable(L, pos, *block)) {
      if (block->m_pClass->IsType(typeKey)) return 1;
      if (block->m_pClass->FindPath(typeKey) != nullptr) return 2;
    }
  }
  if (!implicit) return CantBeConverted;
  GenericClass* cls = host.FindClassByType(typeKey);
  if (cls == nullptr) {
    host.Error("ParameterMatcherForClasses::MatchParam: panic - can't find generic class for '%s'.", nativeName);
  }
  return cls->CanConstructImplicitly(host, L, pos) ? 3 : CantBeConverted;
}

void* ClassParamBase::Extract(CHost& host, lua_State* L, int pos, const char* typeKey, bool needNonConst,
                              const char* nativeName, ObjectPin* pin) {
  const unsigned score = Match(host, L, pos, true, typeKey, needNonConst, nativeName);
  if (score >= CantBeConverted) {
    host.Error("ParameterMatcher::ExtractParam: panic - UIBind internal error: trying to extract an unconvertable parameter!");
  }
  if (score == 3) {
    GenericClass* cls = host.FindClassByType(typeKey);
    if (cls == nullptr) host.Error("ParameterMatcher::ExtractParam: panic - can't find generic class for '%s'.", nativeName);
    return cls->ConstructObjectFrom(host, L, pos);
  }
  CustomLuaVariable* block = ToCustomLuaVariable(L, pos);
  if (block == nullptr) host.Error("ParameterMatcher::ExtractParam: panic - CPP object is not a userdata!\n");
  void* object = block->m_pClass->ConvertTo(block->m_pObject, typeKey);
  if (object == nullptr) {
    host.Error("ParameterMatcher::ExtractParam: panic - can't convert an object of '%s' to '%s'.",
               block->m_pClass->m_LuaName.c_str(), nativeName);
  }
  *pin = ObjectPin(L, pos, *block);
  return object;
}

}  // namespace impl
}  // namespace uibind

#pragma once
// The record of one declared class (GenericClass): names, identity, overloads,
// constructors, members, values, operators and conversions to other classes.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <lua.hpp>

#include "uibind/impl/adapters.h"
#include "uibind/impl/records.h"

namespace uibind {
class CHost;
namespace impl {

class GenericClass;

// The overloads of one method or operator name, in registration order.
struct MethodGroup {
  std::string m_Name;
  GenericClass* m_pClass = nullptr;
  std::vector<std::unique_ptr<GenericMethod>> m_Overloads;
  // The overload when it is the only one and takes no self argument: such a call needs
  // no scoring against others.
  const GenericMethod* m_pOnly = nullptr;
  // Every overload is scored by the Lua types of the arguments alone: the choice made for
  // one list of types (ArgumentTypes::Key) holds for the next call with the same list.
  // The last choice is remembered; a group belongs to one host, used by one thread.
  bool m_bChosenByTypes = false;
  mutable std::uint64_t m_ChosenKey = 0;  // 0: none
  mutable const GenericMethod* m_pChosen = nullptr;

  void Add(std::unique_ptr<GenericMethod> method);
};

// One step of a path to a reachable class: the adapter to apply and the class it leads to.
struct ReachStep {
  ClassConvertAdapter* m_pAdapter;
  GenericClass* m_pClass;
};
using ReachPath = std::vector<ReachStep>;

class DeclaratedClass {
 public:
  virtual ~DeclaratedClass() = default;
};

class GenericClass : public DeclaratedClass {
 public:
  GenericClass(std::string name, const char* typeKey, std::string nativeName, lua_CFunction destructor);

  // Method lookup through this class and its bases (depth first, adapter order);
  // *object is up-cast to the class where the method was found. *fixed is cleared when
  // the lookup ran a declared conversion function (UpCast), whose answer may change
  // with the object's state, so that the result holds for this call only.
  MethodGroup* FindMethod(CHost& host, std::string_view name, void** object, bool* fixed = nullptr);
  // Pushes the member or class value named key, looking through the bases; false when none.
  bool PushMember(CHost& host, lua_State* L, std::string_view key, void* object, int udIdx, bool isConst);
  // Finds the member named key for assignment, looking through the bases.
  GenericMember* FindMemberForAssign(CHost& host, std::string_view key, void** object);

  bool IsType(const char* typeKey) const { return SameTypeKey(m_TypeKey, typeKey); }
  const ReachPath* FindPath(const char* typeKey) const;
  bool Reaches(const char* typeKey) const { return IsType(typeKey) || FindPath(typeKey) != nullptr; }
  // Converts an object of this class to a reachable type (the pointer unchanged for the
  // same type); null when the type is not reachable.
  void* ConvertTo(void* object, const char* typeKey) const;

  bool HasConstructors() const { return !m_Constructors.empty(); }
  // True when a one-parameter, non-explicit constructor accepts the value at position.
  bool CanConstructImplicitly(CHost& host, lua_State* L, int position) const;
  // Builds a temporary of this class from the value at position (see CanConstructImplicitly).
  void* ConstructObjectFrom(CHost& host, lua_State* L, int position) const;

  MethodGroup& AddMethod(std::unique_ptr<GenericMethod> method);
  MethodGroup& AddOperator(int code, std::unique_ptr<GenericMethod> method);

  std::string m_LuaName;      // qualified with its namespaces
  std::string m_DeclaredName;
  bool m_bHasTable;           // false for classes declared without a name
  std::string m_TypeName;     // runtime type name of CustomClass<T>
  const char* m_TypeKey;
  std::string m_NativeName;   // readable native type name
  lua_CFunction m_Destructor;
  std::map<std::string, MethodGroup, std::less<>> m_Methods;
  std::vector<std::unique_ptr<ConstructorEntry>> m_Constructors;
  std::map<std::string, std::unique_ptr<GenericMember>, std::less<>> m_Members;
  std::map<std::string, std::unique_ptr<LuaValue>, std::less<>> m_ClassValues;
  std::map<int, MethodGroup> m_Operators;
  std::map<std::string, std::unique_ptr<ClassConvertAdapter>> m_Converters;
  std::map<std::string, ReachPath, std::less<>> m_ReachableClasses;
  CHost* m_pHost = nullptr;  // set when inserted
};

}  // namespace impl
}  // namespace uibind

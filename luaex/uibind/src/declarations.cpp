// Namespaces: moving declarations in and prefixing their names.
#include "uibind/declarations.h"

namespace uibind {
namespace {
std::string Prefixed(const std::string& ns, const std::string& name) { return ns.empty() ? name : ns + "." + name; }
}  // namespace

void ClassDeclaration::Prefix(const std::string& ns) {
  if (m_Record) m_Record->m_LuaName = Prefixed(ns, m_Record->m_LuaName);
}
void FunctionDeclaration::Prefix(const std::string& ns) {
  if (m_Function) m_Function->m_Name = Prefixed(ns, m_Function->m_Name);
}
void ValueDeclaration::Prefix(const std::string& ns) { m_Name = Prefixed(ns, m_Name); }

NamespaceDeclaration& NamespaceDeclaration::Add(ClassDeclaration& c) {
  c.Prefix(m_Name);
  if (auto record = c.Release()) m_Classes.push_back(std::move(record));
  return *this;
}

NamespaceDeclaration& NamespaceDeclaration::Add(FunctionDeclaration& f) {
  f.Prefix(m_Name);
  if (auto fn = f.Release()) m_Functions.push_back(std::move(fn));
  return *this;
}

NamespaceDeclaration& NamespaceDeclaration::Add(ValueDeclaration& v) {
  v.Prefix(m_Name);
  if (v.m_Value) m_Values.push_back(std::move(v));
  return *this;
}

NamespaceDeclaration& NamespaceDeclaration::Add(NamespaceDeclaration& n) {
  for (auto& cls : n.m_Classes) {
    cls->m_LuaName = Prefixed(m_Name, cls->m_LuaName);
    m_Classes.push_back(std::move(cls));
  }
  for (auto& fn : n.m_Functions) {
    fn->m_Name = Prefixed(m_Name, fn->m_Name);
    m_Functions.push_back(std::move(fn));
  }
  for (auto& value : n.m_Values) {
    value.Prefix(m_Name);
    m_Values.push_back(std::move(value));
  }
  n.m_Classes.clear();
  n.m_Functions.clear();
  n.m_Values.clear();
  return *this;
}

}  // namespace uibind

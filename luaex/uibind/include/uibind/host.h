#pragma once
// The binding host: one per Lua state. It owns every class and function record
// inserted into it, the stack of implicitly created temporaries, and raises the
// layer's Lua errors.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <lua.hpp>

#include "uibind/impl/temporaries.h"

namespace uibind {

namespace impl {
class GenericClass;
class GenericFunction;
class LuaValue;
// The overloads of one free function name, as the host keeps them (in a map node, which
// stays where it is, so that the name's closures can point at it).
struct FunctionOverloads {
  std::vector<std::unique_ptr<GenericFunction>> m_List;
  // The only overload when there is one and it is plain (the path of most calls, one
  // load away from the closure), else null.
  const GenericFunction* m_pPlainOnly = nullptr;
};
}  // namespace impl

class ClassDeclaration;
class FunctionDeclaration;
class NamespaceDeclaration;

// Global holding the host as a light userdata.
constexpr const char* kHostGlobalName = "___UIBIND_HOST_PTR";
// Global table of the per-class userdata metatables, keyed by Lua class name.
constexpr const char* kOperatorStorageGlobalName = "__UIBIND_LUAOPERATORCLOSURESSTORAGE";
// Key of a class table holding the class's Lua name.
constexpr const char* kClassTagName = "__UIBIND_LUANAMESPACEDESCRIPTIONTAG";

class CHost {
 public:
  // Installs "__cast", "__cast_unsafe", "__const", "__get_type", "__get_typeex",
  // "__get_rtti_type" and the host global into L (which must not be null).
  explicit CHost(lua_State* L);
  // Deletes the class and function records; does not touch the Lua state, which may
  // already be closed. No Lua call into the layer may happen afterwards.
  virtual ~CHost();
  CHost(const CHost&) = delete;
  CHost& operator=(const CHost&) = delete;

  // Formats the text (printf style) into a buffer of this call and hands it to
  // RaiseError. A text longer than 4095 bytes is cut to its first 4095 bytes, less the
  // bytes of a UTF-8 character that the cut would split. Must be called from inside a
  // Lua call; never returns.
  [[noreturn]] void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The host stored in the state's global, or null when there is none.
  static CHost* FromLua(lua_State* L);
  lua_State* GetLuaState() const { return m_L; }

  // Registration. Each returns false and reports why (ReportFailure) when the
  // declaration cannot be inserted: a native class inserted twice, a base class not
  // inserted yet, or a path step that holds a value other than a table.
  bool Insert(ClassDeclaration&& declaration);
  bool Insert(FunctionDeclaration&& declaration);
  bool Insert(NamespaceDeclaration&& declaration);

  impl::GenericClass* FindClassByType(const char* typeKey) const;
  impl::GenericClass* FindClassByLuaName(std::string_view luaName) const;
  const std::vector<std::unique_ptr<impl::GenericFunction>>* FindFunctions(std::string_view name) const;

  // Temporaries built for the call in progress.
  std::size_t GetTemporariesDepth() const { return m_Temporaries.size(); }
  void PushTemporary(std::unique_ptr<impl::ImplicitCreatedHolder> holder);
  void RestoreTemporaries(std::size_t depth) {
    while (m_Temporaries.size() > depth) m_Temporaries.pop_back();  // newest first
  }

 protected:
  // Pushes the text and raises a Lua error. An override may add to the text or record
  // it, but must raise too: if it returns, the process aborts.
  [[noreturn]] virtual void RaiseError(const char* text);
  // Registration problems land here; the default writes them to standard error.
  virtual void ReportFailure(const std::string& text);

 private:
  bool InsertClass(std::unique_ptr<impl::GenericClass> cls);
  bool InsertFunction(std::unique_ptr<impl::GenericFunction> fn);
  bool InsertValue(const std::string& name, std::unique_ptr<impl::LuaValue> value);
  void InstallClassValues(impl::GenericClass& cls, int tableIdx);

  lua_State* m_L;
  std::map<std::string, std::unique_ptr<impl::GenericClass>, std::less<>> m_CPPClasses;
  std::map<std::string, impl::GenericClass*, std::less<>> m_LuaClasses;
  std::map<std::string, impl::FunctionOverloads, std::less<>> m_Functions;
  std::vector<std::unique_ptr<impl::ImplicitCreatedHolder>> m_Temporaries;
};

namespace impl {
inline TemporariesScope::TemporariesScope(CHost& host) : m_Host(host), m_Depth(host.GetTemporariesDepth()) {}
inline TemporariesScope::~TemporariesScope() { m_Host.RestoreTemporaries(m_Depth); }
}  // namespace impl

}  // namespace uibind

// The binding host: globals, registration of classes, functions and values, errors.
#include "uibind/host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "uibind/declarations.h"
#include "uibind/impl/dispatch.h"

namespace uibind {

namespace {

// vsnprintf has cut the text to its first `kept` bytes. A character split by that cut
// would hand Lua an invalid UTF-8 text, so its leading bytes go too; nothing is added,
// and the text stays a prefix of the full one.
void CutOnCharacter(char* text, std::size_t kept) {
  std::size_t start = kept;
  std::size_t continuation = 0;
  while (start > 0 && continuation < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
    ++continuation;
  }
  if (start == 0) return;
  const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
  std::size_t length = 1;
  if ((lead & 0xE0) == 0xC0) length = 2;
  else if ((lead & 0xF0) == 0xE0) length = 3;
  else if ((lead & 0xF8) == 0xF0) length = 4;
  if (length > continuation + 1) text[start - 1] = '\0';
}

std::vector<std::string> SplitPath(const std::string& name) {
  std::vector<std::string> steps;
  std::string::size_type begin = 0;
  for (;;) {
    const auto dot = name.find('.', begin);
    steps.push_back(name.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin));
    if (dot == std::string::npos) return steps;
    begin = dot + 1;
  }
}

// Pushes the globals and the table of every step before the leaf, creating missing ones
// (they are stored back by StoreAndUnwind). False when a step holds another kind of value;
// the stack is then restored.
bool WalkPath(lua_State* L, const std::vector<std::string>& steps) {
  const int base = lua_gettop(L);
  if (!lua_checkstack(L, static_cast<int>(steps.size()) + 8)) return false;
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
    lua_pushlstring(L, steps[i].data(), steps[i].size());
    lua_rawget(L, -2);
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      lua_newtable(L);
    } else if (!lua_istable(L, -1)) {
      lua_settop(L, base);
      return false;
    }
  }
  return true;
}

// Stack: globals, one table per step before the leaf, the leaf value. Stores the value
// under the leaf name and each table under its step name, and pops everything.
void StoreAndUnwind(lua_State* L, const std::vector<std::string>& steps) {
  for (std::size_t i = steps.size(); i-- > 0;) {
    lua_pushlstring(L, steps[i].data(), steps[i].size());
    lua_insert(L, -2);
    lua_rawset(L, -3);
  }
  lua_pop(L, 1);
}

void SetGlobalFunction(lua_State* L, CHost* host, const char* name, lua_CFunction fn) {
  lua_pushstring(L, name);
  lua_pushlightuserdata(L, host);
  lua_pushcclosure(L, fn, 1);
  lua_rawset(L, LUA_GLOBALSINDEX);
}

}  // namespace

CHost::CHost(lua_State* L) : m_L(L) {
  if (L == nullptr) throw std::invalid_argument("uibind::CHost needs a Lua state");
  SetGlobalFunction(L, this, "__cast", &impl::LuaCast);
  SetGlobalFunction(L, this, "__cast_unsafe", &impl::LuaCastUnsafe);
  SetGlobalFunction(L, this, "__const", &impl::LuaConst);
  SetGlobalFunction(L, this, "__get_type", &impl::LuaGetType);
  SetGlobalFunction(L, this, "__get_typeex", &impl::LuaGetTypeEx);
  SetGlobalFunction(L, this, "__get_rtti_type", &impl::LuaGetRttiType);
  lua_pushstring(L, kHostGlobalName);
  lua_pushlightuserdata(L, this);
  lua_rawset(L, LUA_GLOBALSINDEX);
}

CHost::~CHost() {
  RestoreTemporaries(0);
  m_Functions.clear();
  m_LuaClasses.clear();
  m_CPPClasses.clear();
}

void CHost::Error(const char* format, ...) {
  // A buffer of this call: hosts on different threads never share it.
  char text[4096];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (length >= static_cast<int>(sizeof(text))) CutOnCharacter(text, sizeof(text) - 1);
  RaiseError(text);
  std::abort();  // an override that returned
}

void CHost::RaiseError(const char* text) {
  lua_pushstring(m_L, text);
  lua_error(m_L);
  std::abort();  // lua_error does not return
}

CHost* CHost::FromLua(lua_State* L) {
  if (L == nullptr) return nullptr;
  lua_pushstring(L, kHostGlobalName);
  lua_rawget(L, LUA_GLOBALSINDEX);
  CHost* host = lua_type(L, -1) == LUA_TLIGHTUSERDATA ? static_cast<CHost*>(lua_touserdata(L, -1)) : nullptr;
  lua_pop(L, 1);
  return host;
}

void CHost::ReportFailure(const std::string& text) { std::fprintf(stderr, "uibind: %s\n", text.c_str()); }

impl::GenericClass* CHost::FindClassByType(const char* typeKey) const {
  auto it = m_CPPClasses.find(std::string_view(typeKey));
  return it == m_CPPClasses.end() ? nullptr : it->second.get();
}

impl::GenericClass* CHost::FindClassByLuaName(std::string_view luaName) const {
  auto it = m_LuaClasses.find(luaName);
  return it == m_LuaClasses.end() ? nullptr : it->second;
}

const std::vector<std::unique_ptr<impl::GenericFunction>>* CHost::FindFunctions(std::string_view name) const {
  auto it = m_Functions.find(name);
  return it == m_Functions.end() ? nullptr : &it->second.m_List;
}

void CHost::PushTemporary(std::unique_ptr<impl::ImplicitCreatedHolder> holder) {
  m_Temporaries.push_back(std::move(holder));
}

bool CHost::Insert(ClassDeclaration&& declaration) {
  std::unique_ptr<impl::GenericClass> cls = declaration.Release();
  if (!cls) {
    ReportFailure("an empty class declaration can't be inserted");
    return false;
  }
  return InsertClass(std::move(cls));
}

bool CHost::Insert(FunctionDeclaration&& declaration) {
  std::unique_ptr<impl::GenericFunction> fn = declaration.Release();
  if (!fn) {
    ReportFailure("an empty function declaration can't be inserted");
    return false;
  }
  return InsertFunction(std::move(fn));
}

bool CHost::Insert(NamespaceDeclaration&& declaration) {
  bool ok = true;
  for (auto& cls : declaration.m_Classes) ok = InsertClass(std::move(cls)) && ok;
  for (auto& fn : declaration.m_Functions) ok = InsertFunction(std::move(fn)) && ok;
  for (auto& value : declaration.m_Values) ok = InsertValue(value.m_Name, std::move(value.m_Value)) && ok;
  declaration.m_Classes.clear();
  declaration.m_Functions.clear();
  declaration.m_Values.clear();
  return ok;
}

bool CHost::InsertClass(std::unique_ptr<impl::GenericClass> owned) {
  impl::GenericClass& cls = *owned;
  if (m_CPPClasses.count(cls.m_TypeName) != 0) {
    ReportFailure("Class was already inserted into host: " + cls.m_NativeName + " as " + cls.m_LuaName);
    return false;
  }
  if (m_LuaClasses.count(cls.m_LuaName) != 0) {
    ReportFailure("a class named " + cls.m_LuaName + " was already inserted into host");
    return false;
  }

  // Every class reachable through the conversions, each by a shortest path.
  std::map<std::string, impl::ReachPath, std::less<>> reachable;
  for (auto& entry : cls.m_Converters) {
    impl::GenericClass* target = entry.second->FindTargetGenericClass(*this);
    if (target == nullptr) {
      ReportFailure("the class " + impl::Demangle(entry.first.c_str()) + " that " + cls.m_LuaName +
                    " converts to must be inserted before it");
      return false;
    }
    reachable[entry.first] = impl::ReachPath{{entry.second.get(), target}};
  }
  for (auto& entry : cls.m_Converters) {
    impl::GenericClass* base = entry.second->FindTargetGenericClass(*this);
    for (const auto& far : base->m_ReachableClasses) {
      auto known = reachable.find(far.first);
      if (known == reachable.end() || far.second.size() + 1 < known->second.size()) {
        impl::ReachPath path{{entry.second.get(), base}};
        path.insert(path.end(), far.second.begin(), far.second.end());
        reachable[far.first] = std::move(path);
      }
    }
  }

  lua_State* L = m_L;
  const std::vector<std::string> steps = SplitPath(cls.m_LuaName);
  const bool withTable = cls.m_bHasTable && !steps.back().empty();
  if (withTable) {
    if (!WalkPath(L, steps)) {
      ReportFailure("the path of class " + cls.m_LuaName + " holds a value that is not a table");
      return false;
    }
    lua_pushlstring(L, steps.back().data(), steps.back().size());
    lua_rawget(L, -2);
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      lua_newtable(L);
    } else if (!lua_istable(L, -1)) {
      lua_pop(L, static_cast<int>(steps.size()) + 1);
      ReportFailure("the name of class " + cls.m_LuaName + " holds a value that is not a table");
      return false;
    }
  }

  cls.m_ReachableClasses = std::move(reachable);
  cls.m_pHost = this;
  m_LuaClasses[cls.m_LuaName] = &cls;
  m_CPPClasses[cls.m_TypeName] = std::move(owned);
  if (!withTable) return true;

  const int table = lua_gettop(L);
  lua_pushstring(L, kClassTagName);
  lua_pushlstring(L, cls.m_LuaName.data(), cls.m_LuaName.size());
  lua_rawset(L, table);
  if (!lua_getmetatable(L, table)) lua_newtable(L);
  if (cls.HasConstructors()) {
    lua_pushlightuserdata(L, &cls);
    lua_pushcclosure(L, &impl::ConstructorCallDispatcher, 1);
    lua_setfield(L, -2, "__call");
  }
  lua_setmetatable(L, table);
  InstallClassValues(cls, table);
  StoreAndUnwind(L, steps);
  return true;
}

void CHost::InstallClassValues(impl::GenericClass& cls, int tableIdx) {
  // A class's own values shadow those of its bases.
  for (const auto& value : cls.m_ClassValues) {
    lua_pushlstring(m_L, value.first.data(), value.first.size());
    lua_rawget(m_L, tableIdx);
    const bool taken = !lua_isnil(m_L, -1);
    lua_pop(m_L, 1);
    if (taken) continue;
    lua_pushlstring(m_L, value.first.data(), value.first.size());
    value.second->Push(m_L);
    lua_rawset(m_L, tableIdx);
  }
  for (auto& entry : cls.m_Converters) {
    if (!entry.second->InheritClassValues()) continue;
    if (impl::GenericClass* base = entry.second->FindTargetGenericClass(*this)) InstallClassValues(*base, tableIdx);
  }
}

bool CHost::InsertFunction(std::unique_ptr<impl::GenericFunction> fn) {
  const std::vector<std::string> steps = SplitPath(fn->m_Name);
  if (!WalkPath(m_L, steps)) {
    ReportFailure("the path of function " + fn->m_Name + " holds a value that is not a table");
    return false;
  }
  // The closure holds the overloads of its name (a map node, which stays where it is), so
  // that a call finds them without a look-up; a later overload joins the same list.
  impl::FunctionOverloads& overloads = m_Functions[fn->m_Name];
  overloads.m_List.push_back(std::move(fn));
  overloads.m_pPlainOnly =
      overloads.m_List.size() == 1 && overloads.m_List[0]->m_bPlain ? overloads.m_List[0].get() : nullptr;
  const std::string& name = overloads.m_List.back()->m_Name;
  lua_pushlstring(m_L, name.data(), name.size());
  void* memory = lua_newuserdata(m_L, sizeof(impl::FunctionBinding));
  *static_cast<impl::FunctionBinding*>(memory) = impl::FunctionBinding{this, &overloads};
  lua_pushcclosure(m_L, &impl::LuaGlobalFunctionDispatcher, 2);
  StoreAndUnwind(m_L, steps);
  return true;
}

bool CHost::InsertValue(const std::string& name, std::unique_ptr<impl::LuaValue> value) {
  const std::vector<std::string> steps = SplitPath(name);
  if (!value || !WalkPath(m_L, steps)) {
    ReportFailure("the path of value " + name + " holds a value that is not a table");
    return false;
  }
  value->Push(m_L);
  StoreAndUnwind(m_L, steps);
  return true;
}

}  // namespace uibind

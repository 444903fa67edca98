#pragma once
// Matchers for narrow text parameters: const char* and std::string.
// A Lua string scores 1; a number scores 2 (Lua turns it into its text form).
#include <string>

#include <lua.hpp>

#include "uibind/impl/types.h"

namespace uibind {
class CHost;
namespace impl {

inline unsigned MatchText(int type) {
  switch (type) {
    case LUA_TSTRING: return 1;
    case LUA_TNUMBER: return 2;
    default: return CantBeConverted;
  }
}

struct CStringParam {
  static unsigned MatchTyped(CHost&, lua_State*, int, int type) { return MatchText(type); }
  static unsigned Match(CHost&, lua_State* L, int pos, bool) { return MatchText(lua_type(L, pos)); }
  static std::string TypeName(CHost&) { return "const char*"; }
  struct Holder {
    // The text lives in the argument slot until the call returns.
    Holder(CHost&, lua_State* L, int pos) : m_Text(lua_tostring(L, pos)) {}
    Holder(CHost& host, lua_State* L, int pos, int) : Holder(host, L, pos) {}
    const char* Get() const { return m_Text; }
    const char* m_Text;
  };
};

template <bool ConstRef>
struct StdStringParam {
  static unsigned MatchTyped(CHost&, lua_State*, int, int type) { return MatchText(type); }
  static unsigned Match(CHost&, lua_State* L, int pos, bool) { return MatchText(lua_type(L, pos)); }
  static std::string TypeName(CHost&) { return ConstRef ? "const std::string&" : "std::string"; }
  struct Holder {
    Holder(CHost& host, lua_State* L, int pos, int) : Holder(host, L, pos) {}
    Holder(CHost&, lua_State* L, int pos) {
      size_t len = 0;
      const char* text = lua_tolstring(L, pos, &len);
      m_Text.assign(text, len);
    }
    const std::string& Get() const { return m_Text; }
    std::string m_Text;
  };
};

}  // namespace impl
}  // namespace uibind

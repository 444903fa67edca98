// docs/lua-api.md names everything a script can reach: every method and field bound to
// Lua (read from the binding host at run time) and every name of the host table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <lua.hpp>

#include "host/luaclasses.h"
#include "host/luashell.h"
#include "uibind/host.h"
#include "uibind/impl/class_record.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

std::string ReadDoc() {
  std::ifstream in(LUA_API_DOC);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LuaApiDoc, EveryBoundMethodAndFieldIsDocumented) {
  const std::string doc = ReadDoc();
  ASSERT_FALSE(doc.empty()) << LUA_API_DOC;
  lua_State* L = luaL_newstate();
  auto host = std::make_unique<uibind::CHost>(L);
  ASSERT_TRUE(RegisterHostClasses(*host));
  ASSERT_TRUE(CLuaTabInfo::InstallToLua(L));
  ASSERT_TRUE(CTabManager::InstallToLua(L));
  int names = 0;
  for (const char* name : {"TabManager", "TabInfo", "std.wstring", "HWND", "std.uintarr"}) {
    uibind::impl::GenericClass* bound = host->FindClassByLuaName(name);
    ASSERT_NE(nullptr, bound) << name;
    EXPECT_NE(std::string::npos, doc.find("## " + std::string(name))) << "no section for " << name;
    for (const auto& method : bound->m_Methods) {
      ++names;
      EXPECT_NE(std::string::npos, doc.find("`" + method.first)) << name << "." << method.first << " is not documented";
    }
    for (const auto& member : bound->m_Members) {
      ++names;
      EXPECT_NE(std::string::npos, doc.find("`" + member.first + "`")) << name << "." << member.first << " is not documented";
    }
  }
  EXPECT_GT(names, 80) << "the classes were read";
  EXPECT_NE(std::string::npos, doc.find("`App.TabManagerInstance()`"));
  lua_close(L);
  host.reset();
}

TEST(LuaApiDoc, EveryNameOfTheHostTableIsDocumented) {
  char path[] = "/tmp/luaapi_doc_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "local file = assert(io.open('" LUA_API_DOC "'))\n"
                         "local doc = file:read('*a') file:close()\n"
                         "local missing = {}\n"
                         "for name in pairs(host) do\n"
                         "  if not doc:find('`host.' .. name, 1, true) then missing[#missing + 1] = name end\n"
                         "end\n"
                         "for _, fn in ipairs({'OnStart', 'OnTabNotify', 'OnDataNotify', 'OnInput', 'OnQuit', 'OnComplete', 'OnError'}) do\n"
                         "  if not doc:find('`' .. fn .. '(', 1, true) then missing[#missing + 1] = fn end\n"
                         "end\n"
                         "assert(#missing == 0, 'not documented: ' .. table.concat(missing, ', '))\n";
  CLuaShell shell;
  std::string error;
  shell.SetHostString("base_url", "");
  shell.SetHostString("profile", "");
  shell.SetHostString("home", "");
  shell.SetHostString("ui_dir", "");
  shell.SetHostArgs({});
  EXPECT_TRUE(shell.RunScript(path, &error)) << error;
  std::remove(path);
}

}  // namespace

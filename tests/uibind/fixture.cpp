#include "fixture.h"

namespace uibind_test {

int Counted::s_Live = 0;
int Counted::s_Created = 0;

LuaFixture::LuaFixture() : L(luaL_newstate()) {
  luaL_openlibs(L);
  host = std::make_unique<uibind::CHost>(L);
}

LuaFixture::~LuaFixture() {
  // The state goes first: its collector deletes the objects Lua owns.
  lua_close(L);
  host.reset();
}

std::string LuaFixture::Run(const std::string& code) {
  std::string error;
  if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    error = lua_isstring(L, -1) ? lua_tostring(L, -1) : "(error object is not a string)";
    lua_pop(L, 1);
  }
  return error;
}

std::string LuaFixture::Fail(const std::string& code) {
  std::string error = Run(code);
  EXPECT_FALSE(error.empty()) << "expected an error from: " << code;
  return error;
}

namespace {
void Evaluate(lua_State* L, const std::string& expression) {
  const std::string code = "return " + expression;
  if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
    ADD_FAILURE() << expression << ": " << lua_tostring(L, -1);
  }
}
}  // namespace

double LuaFixture::Number(const std::string& expression) {
  Evaluate(L, expression);
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << expression;
  const double value = lua_tonumber(L, -1);
  lua_pop(L, 1);
  return value;
}

std::string LuaFixture::String(const std::string& expression) {
  Evaluate(L, expression);
  EXPECT_EQ(lua_type(L, -1), LUA_TSTRING) << expression;
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  std::string value = text ? std::string(text, length) : "";
  lua_pop(L, 1);
  return value;
}

bool LuaFixture::Bool(const std::string& expression) {
  Evaluate(L, expression);
  EXPECT_EQ(lua_type(L, -1), LUA_TBOOLEAN) << expression;
  const bool value = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return value;
}

void LuaFixture::CollectGarbage() { lua_gc(L, LUA_GCCOLLECT, 0); }

namespace {
std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c);
  return out;
}
std::size_t Length(const std::wstring& text) { return text.size(); }
}  // namespace

void LuaFixture::RegisterWideString() {
  uibind::Class<std::wstring> cls("wstring");
  cls.Constructor<>().Factory(&Widen).Method("str", &Narrow).Method("len", &Length);
  ASSERT_TRUE(host->Insert(std::move(cls)));
}

}  // namespace uibind_test

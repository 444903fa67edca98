// The host: its globals, and inserting classes, functions, values and namespaces.
#include "fixture.h"

namespace uibind_test {
namespace {

struct Plain {
  int Value() const { return 1; }
};
struct NoCtor {};
struct Other {};
struct Base {};
struct Derived : Base {};

int One() { return 1; }
int Two(int v) { return v; }

class RecordingHost : public uibind::CHost {
 public:
  using uibind::CHost::CHost;
  std::vector<std::string> failures;

 protected:
  void ReportFailure(const std::string& text) override { failures.push_back(text); }
};

class HostTest : public LuaFixture {};

TEST_F(HostTest, InstallsItsGlobalsAndIsFoundThroughThem) {
  EXPECT_EQ(uibind::CHost::FromLua(L), host.get());
  EXPECT_EQ(String("type(___UIBIND_HOST_PTR)"), "userdata");
  for (const char* name : {"__cast", "__cast_unsafe", "__const", "__get_type", "__get_typeex", "__get_rtti_type"}) {
    EXPECT_EQ(String(std::string("type(") + name + ")"), "function") << name;
  }
  lua_State* bare = luaL_newstate();
  EXPECT_EQ(uibind::CHost::FromLua(bare), nullptr);
  EXPECT_EQ(uibind::CHost::FromLua(nullptr), nullptr);
  lua_close(bare);
  EXPECT_THROW(uibind::CHost(nullptr), std::invalid_argument);
}

TEST_F(HostTest, ClassPathsCreateOrReuseTablesAndCarryTheTag) {
  ASSERT_EQ(Run("a = {keep = 1}"), "");
  uibind::Class<Plain> plain("a.b.Plain");
  plain.Constructor<>().Method("Value", &Plain::Value);
  ASSERT_TRUE(host->Insert(std::move(plain)));
  EXPECT_EQ(Number("a.keep"), 1);
  EXPECT_EQ(String("a.b.Plain.__UIBIND_LUANAMESPACEDESCRIPTIONTAG"), "a.b.Plain");
  EXPECT_EQ(Number("a.b.Plain().Value()"), 1);
  EXPECT_EQ(String("__get_type(a.b.Plain())"), "a.b.Plain");
  EXPECT_EQ(String("type(getmetatable(a.b.Plain).__call)"), "function");
  // The userdata metatable is shared and kept in the storage table.
  EXPECT_TRUE(Bool("getmetatable(a.b.Plain()) == __UIBIND_LUAOPERATORCLOSURESSTORAGE['a.b.Plain']"));
  EXPECT_TRUE(Bool("getmetatable(a.b.Plain()) == getmetatable(a.b.Plain())"));
}

TEST_F(HostTest, ClassWithoutConstructorHasNoCallMetamethod) {
  ASSERT_TRUE(host->Insert(uibind::Class<NoCtor>("NoCtor")));
  EXPECT_EQ(Run("assert(getmetatable(NoCtor).__call == nil)"), "");
  EXPECT_NE(Fail("NoCtor()").find("attempt to call"), std::string::npos);
}

TEST_F(HostTest, ClassAndNamespaceOfOnePathShareTheTable) {
  uibind::NamespaceDeclaration outer("outer");
  uibind::NamespaceDeclaration inner("Plain");
  uibind::Class<Plain> plain("Plain");
  plain.Constructor<>();
  inner.Add(uibind::Class<Other>("Nested")).Add(uibind::Function("Helper", &One)).Add(uibind::Value("LIMIT", 5));
  outer.Add(plain).Add(inner);
  ASSERT_TRUE(host->Insert(std::move(outer)));
  EXPECT_EQ(String("outer.Plain.Nested.__UIBIND_LUANAMESPACEDESCRIPTIONTAG"), "outer.Plain.Nested");
  EXPECT_EQ(String("outer.Plain.__UIBIND_LUANAMESPACEDESCRIPTIONTAG"), "outer.Plain");
  EXPECT_EQ(Number("outer.Plain.Helper()"), 1);
  EXPECT_EQ(Number("outer.Plain.LIMIT"), 5);
  EXPECT_EQ(String("__get_type(outer.Plain())"), "outer.Plain");
}

TEST_F(HostTest, FunctionsOfOneNameAreOverloadsAndValuesArePlain) {
  ASSERT_TRUE(host->Insert(uibind::Function("f", &One)));
  ASSERT_TRUE(host->Insert(uibind::Function("f", &Two)));
  uibind::NamespaceDeclaration ns("cfg");
  ns.Add(uibind::Value("on", true)).Add(uibind::Value("name", std::string("x")));
  ASSERT_TRUE(host->Insert(std::move(ns)));
  EXPECT_EQ(Number("f()"), 1);
  EXPECT_EQ(Number("f(5)"), 5);
  EXPECT_TRUE(Bool("cfg.on"));
  EXPECT_EQ(String("cfg.name"), "x");
}

TEST_F(HostTest, AnonymousClassesHaveNoTableButWrapResults) {
  ASSERT_TRUE(host->Insert(uibind::Class<Plain>()));
  static Plain instance;
  ASSERT_TRUE(host->Insert(uibind::Function("GetPlain", +[]() -> Plain& { return instance; })));
  EXPECT_EQ(String("__get_type(GetPlain())"), "uibind_test::(anonymous namespace)::Plain");
  EXPECT_EQ(String("__get_rtti_type(GetPlain())"), typeid(uibind::impl::CustomClass<Plain>).name());
}

TEST_F(HostTest, RegistrationMistakesAreRefusedAndReported) {
  lua_State* state = luaL_newstate();
  {
    RecordingHost recording(state);
    EXPECT_TRUE(recording.Insert(uibind::Class<Plain>("Plain")));
    EXPECT_FALSE(recording.Insert(uibind::Class<Plain>("Again")));
    EXPECT_FALSE(recording.Insert(uibind::Class<Other>("Plain")));
    uibind::Class<Derived> derived("Derived");
    derived.Inherits<Base>();
    EXPECT_FALSE(recording.Insert(std::move(derived)));
    luaL_dostring(state, "taken = 5");
    EXPECT_FALSE(recording.Insert(uibind::Class<Base>("taken.Base")));
    EXPECT_FALSE(recording.Insert(uibind::Class<Base>("taken")));
    EXPECT_FALSE(recording.Insert(uibind::Function("taken.f", &One)));
    EXPECT_EQ(lua_gettop(state), 0);
    ASSERT_EQ(recording.failures.size(), 6u);
    EXPECT_NE(recording.failures[0].find("Class was already inserted into host"), std::string::npos);
    EXPECT_NE(recording.failures[2].find("must be inserted before it"), std::string::npos);
    // A failed insertion leaves the name free.
    EXPECT_TRUE(recording.Insert(uibind::Class<Base>("Base")));
  }
  lua_close(state);
}

}  // namespace
}  // namespace uibind_test

namespace uibind_test {
namespace {

// Raises a host error whose text is the string argument, printed through "%s".
int RaiseWithText(lua_State* L) {
  uibind::CHost::FromLua(L)->Error("%s", lua_tostring(L, 1));
}

TEST_F(HostTest, ErrorTextsOverTheLimitAreCutOnAWholeCharacter) {
  lua_pushcfunction(L, &RaiseWithText);
  lua_setglobal(L, "raise");
  const std::string euro = "\xe2\x82\xac";
  struct Case {
    const char* script;
    std::string expected;
  } cases[] = {
      {"raise('short')", "short"},
      // Exactly at the limit nothing is cut; one byte more is, with nothing added.
      {"raise(string.rep('y', 4095))", std::string(4095, 'y')},
      {"raise(string.rep('z', 4096))", std::string(4095, 'z')},
      // The 4095th byte is the first of a three-byte character: the character goes.
      {"raise(string.rep('x', 4091) .. string.rep('\\226\\130\\172', 10))", std::string(4091, 'x') + euro},
      // Two whole characters end exactly at the limit: both are kept.
      {"raise(string.rep('x', 4089) .. string.rep('\\226\\130\\172', 10))", std::string(4089, 'x') + euro + euro},
      // A four-byte character with three of its bytes inside the limit.
      {"raise(string.rep('w', 4092) .. '\\240\\159\\152\\128')", std::string(4092, 'w')},
  };
  for (const Case& c : cases) EXPECT_EQ(Fail(c.script), c.expected) << c.script;
}

}  // namespace
}  // namespace uibind_test

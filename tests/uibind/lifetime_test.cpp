// Who deletes what: owned objects, references, closures, temporaries, anchors.
#include <stdexcept>

#include "fixture.h"

namespace uibind_test {
namespace {

struct Owner {
  Counted m_Counted{3};
  std::wstring m_Text = L"owned text";
  Counted& Ref() { return m_Counted; }
};

Counted& Shared() {
  static Counted shared(77);
  return shared;
}

lua_State* g_State = nullptr;

int Throwing(const Counted&) { throw std::runtime_error("boom"); }
int RaisingLuaError(const Counted&) { uibind::CHost::FromLua(g_State)->Error("raised inside: %d", 5); }
int TwoParts(const Counted& c, unsigned v) { return c.Get() + static_cast<int>(v); }
int Depth() { return static_cast<int>(uibind::CHost::FromLua(g_State)->GetTemporariesDepth()); }
int DepthInside(const Counted&) { return Depth(); }

class LifetimeTest : public LuaFixture {
 protected:
  LifetimeTest() {
    Counted::Reset();
    Shared();
    g_State = L;
    RegisterWideString();
    uibind::Class<Counted> counted("Counted");
    counted.Constructor<>().Constructor<unsigned>().Method("Get", &Counted::Get);
    EXPECT_TRUE(host->Insert(std::move(counted)));
    uibind::Class<Owner> owner("Owner");
    owner.Constructor<>().Member("text", &Owner::m_Text).Member("counted", &Owner::m_Counted).Method("Ref", &Owner::Ref);
    EXPECT_TRUE(host->Insert(std::move(owner)));
    uibind::NamespaceDeclaration functions;
    functions.Add(uibind::Function("Shared", &Shared))
        .Add(uibind::Function("Throwing", &Throwing))
        .Add(uibind::Function("RaisingLuaError", &RaisingLuaError))
        .Add(uibind::Function("TwoParts", &TwoParts))
        .Add(uibind::Function("Depth", &Depth))
        .Add(uibind::Function("DepthInside", &DepthInside));
    EXPECT_TRUE(host->Insert(std::move(functions)));
    Counted::Reset();  // the shared object is not counted
  }
};

TEST_F(LifetimeTest, OwnedObjectsAreDeletedOnceAndReferencesNever) {
  EXPECT_EQ(Run("local a, b = Counted(1), Counted(2); local s = Shared()"), "");
  EXPECT_EQ(Counted::s_Live, 2);
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Shared().Get(), 77);  // the reference did not delete it
  EXPECT_EQ(Counted::s_Created, 2);
}

TEST_F(LifetimeTest, AFetchedMethodKeepsItsObjectAlive) {
  EXPECT_EQ(Run("f = Counted(5).Get"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 1);
  EXPECT_EQ(Number("f()"), 5);
  EXPECT_EQ(Run("f = nil"), "");
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST_F(LifetimeTest, ReferencesIntoAnObjectKeepItAlive) {
  EXPECT_EQ(Run("t = Owner().text; r = Owner().Ref(); c = Owner().counted"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 3);
  EXPECT_EQ(String("t.str()"), "owned text");
  EXPECT_EQ(Number("r.Get() + c.Get()"), 6);
  // A view of a view keeps the same owner, not a chain of views.
  EXPECT_EQ(Run("v = __cast(__cast(r, 'Counted'), 'Counted'); r = nil"), "");
  EXPECT_EQ(Run("t = nil; c = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 1);
  EXPECT_EQ(Number("v.Get()"), 3);
  EXPECT_EQ(Run("v = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST_F(LifetimeTest, TemporariesDieWhenTheCallReturnsOrFails) {
  EXPECT_EQ(Number("TwoParts(4, 1)"), 5);
  EXPECT_EQ(Number("DepthInside(4)"), 1);
  EXPECT_EQ(Counted::s_Live, 0);
  // The second argument fails after the first built its temporary.
  EXPECT_EQ(Fail("TwoParts(4, -1)"), "ParameterMatcher::ExtractParam: number -1 is out of range for 'unsigned'.\n");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Fail("RaisingLuaError(4)"), "raised inside: 5");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Fail("Throwing(4)"), "Native exception in 'Throwing': boom\n");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 5);
  EXPECT_EQ(host->GetTemporariesDepth(), 0u);
}

TEST_F(LifetimeTest, ACollectorCalledByHandDeletesOnlyOnce) {
  EXPECT_EQ(Run("c = Counted(1); getmetatable(c).__gc(c); getmetatable(c).__gc(c); getmetatable(c).__gc(5)"), "");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Fail("c.Get()"), "UIBind: the object of class 'Counted' has already been destroyed.\n");
  EXPECT_EQ(Run("f = Counted(2).Get; getmetatable(Counted()).__gc(__cast(Counted(3), 'Counted'))"), "");
  EXPECT_NE(Fail("TwoParts(c, 1)").find("no one can be used"), std::string::npos);
  EXPECT_EQ(Run("c = nil; f = nil"), "");
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 4);
}

TEST_F(LifetimeTest, CollectionDeletesByTheObjectsOwnTypeWhateverItsMetatable) {
  EXPECT_EQ(Run("local c = Counted(1); local s = __UIBIND_LUAOPERATORCLOSURESSTORAGE; s.Owner = s.Counted; o = Owner()"),
            "");
  EXPECT_EQ(Counted::s_Live, 2);
  EXPECT_EQ(String("o.text.str()"), "owned text");
  EXPECT_EQ(Run("o = nil"), "");
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST(LifetimeWithoutHost, ObjectsAreCollectedAfterTheHostIsGone) {
  Counted::Reset();
  lua_State* L = luaL_newstate();
  auto host = std::make_unique<uibind::CHost>(L);
  uibind::Class<Counted> counted("Counted");
  counted.Constructor<unsigned>();
  ASSERT_TRUE(host->Insert(std::move(counted)));
  ASSERT_EQ(luaL_dostring(L, "keep = Counted(1)"), 0);
  host.reset();
  EXPECT_EQ(Counted::s_Live, 1);
  lua_close(L);
  EXPECT_EQ(Counted::s_Live, 0);
}

}  // namespace
}  // namespace uibind_test

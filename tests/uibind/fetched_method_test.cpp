// Fetched methods are kept per object (in its environment table): fetching the same
// name again hands out the same function without allocating, each function stays bound
// to the object it was fetched from, and a destroyed object's functions keep raising.
#include "fixture.h"

namespace uibind_test {
namespace {

struct Base {
  virtual ~Base() = default;
  int m_Base = 0;
  int BaseValue() const { return m_Base; }
};
struct Derived : Base {
  explicit Derived(unsigned v) { m_Base = static_cast<int>(v); }
};

// Reached through a declared conversion function whose answer changes with the object.
struct Target {
  int m_Value;
  int Value() const { return m_Value; }
};
Target g_First{1};
Target g_Second{2};
struct Switch {
  Target* m_pTarget = &g_First;
  void Flip() { m_pTarget = m_pTarget == &g_First ? &g_Second : &g_First; }
};
Target* TargetOf(Switch* s) { return s->m_pTarget; }

struct Whole {
  Counted m_Counted{3};
};

// Records what the chosen overload read, to check the arguments after the self argument.
struct Recorder {
  bool m_Flag = false;
  unsigned m_Number = 0;
};
int RecordNumber(Recorder& r, unsigned n) {
  r.m_Number = n;
  return 1;
}
int RecordBoth(Recorder& r, bool flag, unsigned n) {
  r.m_Flag = flag;
  r.m_Number = n;
  return 2;
}

class FetchedMethodTest : public LuaFixture {
 protected:
  FetchedMethodTest() {
    Counted::Reset();
    uibind::Class<Counted> counted("Counted");
    counted.Constructor<unsigned>().Method("Get", &Counted::Get);
    EXPECT_TRUE(host->Insert(std::move(counted)));
    uibind::Class<Base> base("Base");
    base.Method("BaseValue", &Base::BaseValue);
    EXPECT_TRUE(host->Insert(std::move(base)));
    uibind::Class<Derived> derived("Derived");
    derived.Constructor<unsigned>().Inherits<Base>();
    EXPECT_TRUE(host->Insert(std::move(derived)));
    uibind::Class<Target> target("Target");
    target.Method("Value", &Target::Value);
    EXPECT_TRUE(host->Insert(std::move(target)));
    uibind::Class<Switch> sw("Switch");
    sw.Constructor<>().UpCast<Target>(&TargetOf).Method("Flip", &Switch::Flip);
    EXPECT_TRUE(host->Insert(std::move(sw)));
    uibind::Class<Whole> whole("Whole");
    whole.Constructor<>().Member("counted", &Whole::m_Counted);
    EXPECT_TRUE(host->Insert(std::move(whole)));
    uibind::Class<Recorder> recorder("Recorder");
    recorder.Constructor<>()
        .Member("flag", &Recorder::m_Flag)
        .Member("number", &Recorder::m_Number)
        .Method("Put", &RecordNumber)
        .MethodWithSelf("Put", &RecordBoth);
    EXPECT_TRUE(host->Insert(std::move(recorder)));
    EXPECT_EQ(Run("function collect(o) getmetatable(o).__gc(o) end"), "");
  }
};

TEST_F(FetchedMethodTest, EachObjectKeepsItsOwnFunctions) {
  ASSERT_EQ(Run("a = Counted(1); b = Counted(2); fa = a.Get; fb = b.Get"), "");
  EXPECT_TRUE(Bool("a.Get == fa and b.Get == fb"));
  EXPECT_TRUE(Bool("fa ~= fb"));
  EXPECT_EQ(Number("fa() * 10 + fb()"), 12);
  EXPECT_EQ(Number("a.Get() * 10 + b.Get()"), 12);
  // Members and unknown names are not confused with the kept functions.
  EXPECT_EQ(Fail("return a.Missing"), "MetaOperatorIndex: error - unknown symbol Missing.\n");
  // Methods of a base class, through the inheritance.
  ASSERT_EQ(Run("d1 = Derived(5); d2 = Derived(6); g1 = d1.BaseValue; g2 = d2.BaseValue"), "");
  EXPECT_TRUE(Bool("d1.BaseValue == g1 and g1 ~= g2"));
  EXPECT_EQ(Number("g1() * 10 + d2.BaseValue()"), 56);
}

TEST_F(FetchedMethodTest, AMethodReachedThroughAConversionFunctionIsLookedUpOnEveryFetch) {
  ASSERT_EQ(Run("s = Switch(); v = s.Value"), "");
  EXPECT_EQ(Number("s.Value()"), 1);
  ASSERT_EQ(Run("s.Flip()"), "");
  EXPECT_EQ(Number("s.Value()"), 2);
  EXPECT_FALSE(Bool("s.Value == v"));
  // The Flip function is the object's own method: kept.
  EXPECT_TRUE(Bool("s.Flip == s.Flip"));
}

TEST_F(FetchedMethodTest, KeptFunctionsOfADestroyedObjectRaise) {
  ASSERT_EQ(Run("k = Counted(4); get = k.Get; assert(k.Get() == 4); collect(k)"), "");
  EXPECT_EQ(Counted::s_Live, 0);
  const std::string destroyed = "UIBind: the object of class 'Counted' has already been destroyed.\n";
  EXPECT_EQ(Fail("return get()"), destroyed);
  EXPECT_EQ(Fail("return k.Get"), destroyed);
  EXPECT_EQ(Fail("return k.Get()"), destroyed);
  // A reference into an object keeps its functions too, and they raise once its owner is gone.
  ASSERT_EQ(Run("w = Whole(); c = w.counted; cget = c.Get; assert(c.Get == cget and cget() == 3); collect(w)"), "");
  const std::string dead =
      "UIBind: the object of class 'Counted' refers into an object of class 'Whole' that has already been destroyed.\n";
  EXPECT_EQ(Fail("return cget()"), dead);
  EXPECT_EQ(Fail("return c.Get"), dead);
}

TEST_F(FetchedMethodTest, ManyObjectsWithFetchedMethodsAreAllCollected) {
  ASSERT_EQ(Run("for i = 1, 20000 do local o = Counted(i); local f = o.Get; assert(o.Get == f and f() == i) end"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 20000);
  // A function kept alone keeps its object, and nothing else does.
  ASSERT_EQ(Run("keep = Counted(9).Get"), "");
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 1);
  EXPECT_EQ(Number("keep()"), 9);
  ASSERT_EQ(Run("keep = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST_F(FetchedMethodTest, FetchingAgainAllocatesNothing) {
  ASSERT_EQ(Run("o = Counted(1); local f = o.Get"), "");
  // Without the kept function, each fetch would make a new closure (about 40 bytes).
  const double grown = Number(
      "(function() collectgarbage('stop'); local before = collectgarbage('count');"
      " local o = o; for i = 1, 10000 do local f = o.Get end;"
      " local after = collectgarbage('count'); collectgarbage('restart'); return after - before end)()");
  EXPECT_LT(grown, 40.0);
}

TEST_F(FetchedMethodTest, ArgumentsAfterASelfArgumentAreReadAtTheirOwnPlaces) {
  ASSERT_EQ(Run("r = Recorder()"), "");
  EXPECT_EQ(Number("r.Put(r, true, 7)"), 2);
  EXPECT_TRUE(Bool("r.flag == true and r.number == 7"));
  EXPECT_EQ(Number("r.Put(r, false, 9)"), 2);
  EXPECT_TRUE(Bool("r.flag == false and r.number == 9"));
  EXPECT_EQ(Number("r.Put(5)"), 1);
  EXPECT_EQ(Number("r.number"), 5);
  // A number where the boolean goes still scores (2) and converts by being non-zero.
  EXPECT_EQ(Number("r.Put(r, 3, 4)"), 2);
  EXPECT_TRUE(Bool("r.flag == true and r.number == 4"));
}

}  // namespace
}  // namespace uibind_test

// Converting Lua values to native parameters and native results to Lua values.
#include <cmath>
#include <stdexcept>

#include "fixture.h"

namespace uibind_test {
namespace {

enum Color { kRed = 1, kGreen = 2 };

struct Base {
  virtual ~Base() = default;
  int m_Base = 5;
};
struct Derived : Base {};

struct Probe {
  unsigned U(unsigned v) { return v; }
  int I(int v) { return v; }
  unsigned CR(const unsigned& v) { return v; }
  long long LL(long long v) { return static_cast<long long>(v); }
  bool B(bool v) { return v; }
  double D(double v) { return v; }
  int E(Color c) { return static_cast<int>(c); }
  Color ReturnColor() { return kGreen; }
  std::string Text(const char* v) { return std::string("c:") + v; }
  std::string Text(unsigned v) { return "u:" + std::to_string(v); }
  std::string Str(std::string v) { return "s:" + v; }
  std::string StrRef(const std::string& v) { return "r:" + v; }
  const char* Null() { return nullptr; }
  int FromCounted(const Counted& c) { return c.Get(); }
  int FromCountedRef(Counted& c) { return c.Get(); }
  int FromBase(const Base& b) { return b.m_Base; }
  std::wstring Wide(const std::wstring& text) { return text + L"!"; }
  Counted MakeCounted() { return Counted(9); }
  Counted* NoCounted() { return nullptr; }
  Base& BaseRef() { return m_BaseObject; }
  const Base& ConstBaseRef() { return m_BaseObject; }
  Base m_BaseObject;
};

struct Unregistered {};
int TakesUnregistered(const Unregistered&) { return 1; }
Unregistered MakeUnregistered() { return {}; }
Unregistered* PointUnregistered() {
  static Unregistered u;
  return &u;
}

class ConversionTest : public LuaFixture {
 protected:
  ConversionTest() {
    Counted::Reset();
    RegisterWideString();
    uibind::Class<Counted> counted("Counted");
    counted.Constructor<>().Constructor<unsigned>().Method("Get", &Counted::Get);
    EXPECT_TRUE(host->Insert(std::move(counted)));
    uibind::Class<Base> base("Base");
    base.Constructor<>();
    EXPECT_TRUE(host->Insert(std::move(base)));
    uibind::Class<Derived> derived("Derived");
    derived.Constructor<>().Inherits<Base>();
    EXPECT_TRUE(host->Insert(std::move(derived)));
    uibind::Class<Probe> probe("Probe");
    probe.Constructor<>()
        .Method("U", &Probe::U)
        .Method("I", &Probe::I)
        .Method("CR", &Probe::CR)
        .Method("LL", &Probe::LL)
        .Method("B", &Probe::B)
        .Method("D", &Probe::D)
        .Method("E", &Probe::E)
        .Method("ReturnColor", &Probe::ReturnColor)
        .Method("Text", static_cast<std::string (Probe::*)(const char*)>(&Probe::Text))
        .Method("Text", static_cast<std::string (Probe::*)(unsigned)>(&Probe::Text))
        .Method("Str", &Probe::Str)
        .Method("StrRef", &Probe::StrRef)
        .Method("Null", &Probe::Null)
        .Method("FromCounted", &Probe::FromCounted)
        .Method("FromCountedRef", &Probe::FromCountedRef)
        .Method("FromBase", &Probe::FromBase)
        .Method("Wide", &Probe::Wide)
        .Method("MakeCounted", &Probe::MakeCounted)
        .Method("NoCounted", &Probe::NoCounted)
        .Method("BaseRef", &Probe::BaseRef)
        .Method("ConstBaseRef", &Probe::ConstBaseRef);
    EXPECT_TRUE(host->Insert(std::move(probe)));
    EXPECT_EQ(Run("p = Probe()"), "");
  }
};

TEST_F(ConversionTest, IntegersTruncateTowardZeroAndTakeBooleans) {
  EXPECT_EQ(Number("p.U(3.9)"), 3);
  EXPECT_EQ(Number("p.I(-3.9)"), -3);
  EXPECT_EQ(Number("p.U(-0.5)"), 0);
  EXPECT_EQ(Number("p.U(true)"), 1);
  EXPECT_EQ(Number("p.U(false)"), 0);
  EXPECT_EQ(Number("p.CR(12)"), 12);
  EXPECT_EQ(Number("p.U(4294967295)"), 4294967295.0);
  EXPECT_EQ(Number("p.LL(-9007199254740992)"), -9007199254740992.0);
  EXPECT_EQ(Number("p.E(2)"), 2);
  EXPECT_EQ(Number("p.ReturnColor()"), 2);
  EXPECT_EQ(Number("p.D(2.5)"), 2.5);
  EXPECT_NE(Fail("p.U('1')").find("U(unsigned)\n"), std::string::npos);
  EXPECT_NE(Fail("p.CR(nil)").find("CR(const unsigned&)\n"), std::string::npos);
}

TEST_F(ConversionTest, NumbersOutsideTheIntegerRangeRaiseInsteadOfConverting) {
  EXPECT_EQ(Fail("p.U(-1)"), "ParameterMatcher::ExtractParam: number -1 is out of range for 'unsigned'.\n");
  EXPECT_EQ(Fail("p.U(4294967296)"),
            "ParameterMatcher::ExtractParam: number 4294967296 is out of range for 'unsigned'.\n");
  EXPECT_EQ(Fail("p.I(2147483648)"), "ParameterMatcher::ExtractParam: number 2147483648 is out of range for 'int'.\n");
  EXPECT_EQ(Number("p.I(-2147483648)"), -2147483648.0);
  EXPECT_NE(Fail("p.I(-2147483649)").find("out of range for 'int'"), std::string::npos);
  EXPECT_NE(Fail("p.U(0/0)").find("out of range for 'unsigned'"), std::string::npos);
  EXPECT_NE(Fail("p.U(1/0)").find("out of range"), std::string::npos);
  EXPECT_NE(Fail("p.I(-1/0)").find("out of range"), std::string::npos);
  EXPECT_NE(Fail("p.CR(-2)").find("'const unsigned&'"), std::string::npos);
  EXPECT_NE(Fail("p.LL(2^63)").find("'long long'"), std::string::npos);
  EXPECT_NE(Fail("p.E(2^40)").find("'enum'"), std::string::npos);
}

TEST_F(ConversionTest, BoolsTakeBooleansAndNumbers) {
  EXPECT_TRUE(Bool("p.B(true)"));
  EXPECT_FALSE(Bool("p.B(0)"));
  EXPECT_TRUE(Bool("p.B(-2)"));
  EXPECT_NE(Fail("p.B(nil)").find("B(bool)\n"), std::string::npos);
}

TEST_F(ConversionTest, NarrowTextScoresOneForStringsAndTwoForNumbers) {
  EXPECT_EQ(String("p.Text('abc')"), "c:abc");
  EXPECT_EQ(String("p.Text(5)"), "u:5");  // unsigned 1 against const char* 2
  EXPECT_EQ(String("p.Str(5)"), "s:5");
  EXPECT_EQ(String("p.StrRef('a\\0b')"), std::string("r:a\0b", 5));
  EXPECT_EQ(Run("assert(p.Null() == nil)"), "");
  EXPECT_NE(Fail("p.Str(true)").find("Str(std::string)\n"), std::string::npos);
  EXPECT_NE(Fail("p.StrRef({})").find("StrRef(const std::string&)\n"), std::string::npos);
  EXPECT_NE(Fail("p.Text({})").find("Text(const char*)\nText(unsigned)\n"), std::string::npos);
}

TEST_F(ConversionTest, ImplicitConstructionScoresThreeAndItsTemporaryDies) {
  EXPECT_EQ(Number("p.FromCounted(4)"), 4);
  EXPECT_EQ(Counted::s_Created, 1);
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Number("p.FromCountedRef(6)"), 6);  // the table allows it for references too
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Number("p.FromCounted(Counted(8))"), 8);
  EXPECT_EQ(Counted::s_Created, 3);
}

TEST_F(ConversionTest, ClassParametersFollowTheConstAndInheritanceRules) {
  EXPECT_EQ(Number("p.FromBase(Derived())"), 5);
  EXPECT_NE(Fail("p.FromCountedRef(__const(Counted(1)))").find("FromCountedRef(Counted&)\n"), std::string::npos);
  EXPECT_EQ(Number("p.FromCounted(__const(Counted(2)))"), 2);
  EXPECT_NE(Fail("p.FromCounted('x')").find("FromCounted(const Counted&)\n"), std::string::npos);
  // A userdata of another library is no object of this layer.
  EXPECT_NE(Fail("p.FromCounted(io.stdout)").find("* unknown\n"), std::string::npos);
}

TEST_F(ConversionTest, WideStringsGoThroughTheHostsClass) {
  EXPECT_EQ(String("p.Wide('hi').str()"), "hi!");
  EXPECT_EQ(String("__get_typeex(p.Wide('hi'))"), "wstring owned");
  EXPECT_EQ(String("p.Wide(12).str()"), "12!");
  EXPECT_NE(Fail("p.Wide(nil)").find("Wide(const wstring&)\n"), std::string::npos);
}

TEST_F(ConversionTest, SeveralTemporariesInOneCall) {
  struct Favorites {
    std::wstring Add(int kind, const std::wstring& a, const std::wstring& b, const std::wstring& c) {
      return std::to_wstring(kind) + a + b + c;
    }
  };
  uibind::Class<Favorites> cls("Favorites");
  cls.Constructor<>().Method("Add", &Favorites::Add);
  ASSERT_TRUE(host->Insert(std::move(cls)));
  EXPECT_EQ(String("Favorites().Add(1, 'a', 'b', 'c').str()"), "1abc");
  EXPECT_EQ(host->GetTemporariesDepth(), 0u);
}

TEST_F(ConversionTest, ClassResultsAreOwnedCopiesOrReferences) {
  EXPECT_EQ(String("__get_typeex(p.MakeCounted())"), "Counted owned");
  EXPECT_EQ(Number("p.MakeCounted().Get()"), 9);
  EXPECT_EQ(Run("assert(p.NoCounted() == nil)"), "");
  EXPECT_EQ(String("__get_typeex(p.BaseRef())"), "Base");
  EXPECT_EQ(String("__get_typeex(p.ConstBaseRef())"), "Base const");
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST_F(ConversionTest, UnregisteredClassesRaiseTheirPanicTexts) {
  ASSERT_TRUE(host->Insert(uibind::Function("TakesUnregistered", &TakesUnregistered)));
  ASSERT_TRUE(host->Insert(uibind::Function("MakeUnregistered", &MakeUnregistered)));
  ASSERT_TRUE(host->Insert(uibind::Function("PointUnregistered", &PointUnregistered)));
  EXPECT_EQ(Fail("TakesUnregistered(1)"),
            "ParameterMatcherForClasses::MatchParam: panic - can't find generic class for '" +
                std::string("uibind_test::(anonymous namespace)::Unregistered") + "'.");
  EXPECT_EQ(Fail("MakeUnregistered()"),
            "CreateCustomLuaVariable<ByVal> can't find GenericClass for uibind_test::(anonymous namespace)::Unregistered!\n");
  EXPECT_EQ(Fail("PointUnregistered()"),
            "CreateCustomLuaVariable<ByPtr> can't find GenericClass for uibind_test::(anonymous namespace)::Unregistered!\n");
  // In a signature the class has no Lua name.
  EXPECT_NE(Fail("TakesUnregistered(p)").find("MatchParam: panic"), std::string::npos);
}

struct Fragile {
  Fragile() = default;
  Fragile(const Fragile&) { throw std::runtime_error("no copies"); }
};

TEST_F(ConversionTest, AFailingCopyOfAResultBecomesALuaError) {
  ASSERT_TRUE(host->Insert(uibind::Class<Fragile>("Fragile")));
  ASSERT_TRUE(host->Insert(uibind::Function("MakeFragile", +[]() { return Fragile(); })));
  EXPECT_EQ(Fail("MakeFragile()"), "Native exception in 'uibind_test::(anonymous namespace)::Fragile': no copies\n");
}

TEST_F(ConversionTest, ExplicitConstructorsDoNotConvertImplicitly) {
  struct Box {
    explicit Box(unsigned v) : m_Value(v) {}
    unsigned m_Value;
  };
  uibind::Class<Box> box("Box");
  box.Constructor<unsigned>(uibind::Explicit);
  ASSERT_TRUE(host->Insert(std::move(box)));
  ASSERT_TRUE(host->Insert(uibind::Function("Unbox", +[](const Box& b) { return b.m_Value; })));
  EXPECT_EQ(Number("Unbox(Box(3))"), 3);
  EXPECT_EQ(Fail("Unbox(3)"),
            "Can't match function to call Unbox, candidates are:\n"
            "Unbox(const Box&)\n"
            "Parameters are:\n"
            "* number\n"
            "Caused by: no one can be used.\n");
}

}  // namespace
}  // namespace uibind_test

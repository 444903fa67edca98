// Overload resolution: scores, const rules, ties, and the texts of failed calls.
#include "fixture.h"

namespace uibind_test {
namespace {

struct Overloaded {
  std::string last;
  std::string f(unsigned) { return "unsigned"; }
  std::string f(bool) { return "bool"; }
  std::string g(int) { return "int"; }
  std::string g(unsigned) { return "unsigned"; }
  std::string h(unsigned) { return "non-const"; }
  std::string h(unsigned) const { return "const"; }
  void Mutate() {}
  int Four(int a, int b, int c, int d) { return a * 1000 + b * 100 + c * 10 + d; }
  unsigned Zero() const { return 7; }
};

unsigned Twice(unsigned v) { return 2 * v; }
unsigned Sum3(unsigned a, unsigned b, unsigned c) { return a + b + c; }
unsigned NoArgs() { return 42; }
std::string Pick(bool) { return "bool"; }
std::string Pick(unsigned, unsigned) { return "two"; }

class DispatchTest : public LuaFixture {
 protected:
  DispatchTest() {
    uibind::Class<Overloaded> cls("Overloaded");
    cls.Constructor<>()
        .Method("f", static_cast<std::string (Overloaded::*)(unsigned)>(&Overloaded::f))
        .Method("f", static_cast<std::string (Overloaded::*)(bool)>(&Overloaded::f))
        .Method("g", static_cast<std::string (Overloaded::*)(int)>(&Overloaded::g))
        .Method("g", static_cast<std::string (Overloaded::*)(unsigned)>(&Overloaded::g))
        .Method("h", static_cast<std::string (Overloaded::*)(unsigned)>(&Overloaded::h))
        .Method("h", static_cast<std::string (Overloaded::*)(unsigned) const>(&Overloaded::h))
        .Method("Mutate", &Overloaded::Mutate)
        .Method("Four", &Overloaded::Four)
        .Method("Zero", &Overloaded::Zero);
    EXPECT_TRUE(host->Insert(std::move(cls)));
    uibind::NamespaceDeclaration ns("lib");
    ns.Add(uibind::Function("Twice", &Twice))
        .Add(uibind::Function("Sum3", &Sum3))
        .Add(uibind::Function("NoArgs", &NoArgs))
        .Add(uibind::Function("Pick", static_cast<std::string (*)(bool)>(&Pick)))
        .Add(uibind::Function("Pick", static_cast<std::string (*)(unsigned, unsigned)>(&Pick)));
    EXPECT_TRUE(host->Insert(std::move(ns)));
    EXPECT_EQ(Run("o = Overloaded()"), "");
  }
};

TEST_F(DispatchTest, NumberPicksUnsignedAndBooleanPicksBool) {
  EXPECT_EQ(String("o.f(3)"), "unsigned");
  EXPECT_EQ(String("o.f(true)"), "bool");
}

TEST_F(DispatchTest, NonConstOverloadWinsOnNonConstObjectAndOnlyConstAppliesToConstObject) {
  EXPECT_EQ(String("o.h(1)"), "non-const");
  EXPECT_EQ(String("__const(o).h(1)"), "const");
  EXPECT_EQ(Number("__const(o).Zero()"), 7);
}

// Overloads scored by argument types alone remember their last choice: every call must
// still get the overload its own types choose, the error texts included.
TEST_F(DispatchTest, ARememberedChoiceFollowsEachCallsTypesAndConstness) {
  EXPECT_EQ(Run("for i = 1, 3 do assert(o.f(i) == 'unsigned'); assert(o.f(i == 2) == 'bool');"
                " assert(o.h(i) == 'non-const'); assert(__const(o).h(i) == 'const'); __const(o, false) end"),
            "");
  EXPECT_EQ(String("o.f(3)"), "unsigned");
  const std::string noMatch =
      "Can't match method to call 'Overloaded.f', candidates are:\n"
      "f(unsigned)\n"
      "f(bool)\n"
      "Parameters are:\n"
      "* number\n"
      "* number\n"
      "Caused by: no one can be used.\n";
  EXPECT_EQ(Fail("o.f(1, 2)"), noMatch);
  EXPECT_EQ(String("o.f(false)"), "bool");
  EXPECT_EQ(Fail("o.f(1, 2)"), noMatch);
  // A const object allows only the const overload, whatever a non-const one chose before
  // ("__const" marks the userdata itself; a false second argument takes the mark away).
  EXPECT_EQ(String("o.h(1) .. __const(o).h(1) .. __const(o, false).h(1)"), "non-constconstnon-const");
  // An ambiguity is never remembered as a choice.
  EXPECT_NE(Fail("o.g(5)").find("Caused by: ambiguity.\n"), std::string::npos);
  EXPECT_NE(Fail("o.g(5)").find("Caused by: ambiguity.\n"), std::string::npos);
}

TEST_F(DispatchTest, NonConstMethodOnConstObjectListsItWithConstMark) {
  EXPECT_EQ(Fail("__const(o).Mutate()"),
            "Can't match method to call 'Overloaded.Mutate const', candidates are:\n"
            "Mutate()\n"
            "Parameters are:\n"
            "None\n"
            "Caused by: no one can be used.\n");
}

TEST_F(DispatchTest, EqualScoresAreAnAmbiguity) {
  EXPECT_EQ(Fail("o.g(5)"),
            "Can't match method to call 'Overloaded.g', candidates are:\n"
            "g(int)\n"
            "g(unsigned)\n"
            "Parameters are:\n"
            "* number\n"
            "Caused by: ambiguity.\n");
}

TEST_F(DispatchTest, WrongArgumentCountsDescribeEachArgument) {
  EXPECT_EQ(Fail("o.f(1, 'x', nil, {}, o, true)"),
            "Can't match method to call 'Overloaded.f', candidates are:\n"
            "f(unsigned)\n"
            "f(bool)\n"
            "Parameters are:\n"
            "* number\n"
            "* string\n"
            "* lua type: nil\n"
            "* table\n"
            "* custom class: Overloaded\n"
            "* boolean\n"
            "Caused by: no one can be used.\n");
  EXPECT_EQ(Fail("o.f()"),
            "Can't match method to call 'Overloaded.f', candidates are:\n"
            "f(unsigned)\n"
            "f(bool)\n"
            "Parameters are:\n"
            "None\n"
            "Caused by: no one can be used.\n");
  EXPECT_NE(Fail("o.f(print)").find("* unknown\n"), std::string::npos);
  EXPECT_NE(Fail("o.f(__const(o))").find("* custom class: const Overloaded\n"), std::string::npos);
}

TEST_F(DispatchTest, ColonCallPassesTheObjectAndMatchesNothing) {
  EXPECT_NE(Fail("o:f(1)").find("* custom class: Overloaded\n* number\nCaused by: no one can be used.\n"),
            std::string::npos);
}

TEST_F(DispatchTest, MethodsWithSeveralParametersAndConstSignature) {
  EXPECT_EQ(Number("o.Four(1, 2, 3, 4)"), 1234);
  EXPECT_NE(Fail("o.Zero(1)").find("Zero() const\n"), std::string::npos);
  EXPECT_NE(Fail("o.Four(1)").find("Four(int, int, int, int)\n"), std::string::npos);
}

TEST_F(DispatchTest, FreeFunctionsInNamespaces) {
  EXPECT_EQ(Number("lib.Twice(21)"), 42);
  EXPECT_EQ(Number("lib.Sum3(1, 2, 3)"), 6);
  EXPECT_EQ(Number("lib.NoArgs()"), 42);
  EXPECT_EQ(String("lib.Pick(true)"), "bool");
  EXPECT_EQ(String("lib.Pick(1, 2)"), "two");
  EXPECT_EQ(Fail("lib.Pick('a')"),
            "Can't match function to call lib.Pick, candidates are:\n"
            "lib.Pick(bool)\n"
            "lib.Pick(unsigned, unsigned)\n"
            "Parameters are:\n"
            "* string\n"
            "Caused by: no one can be used.\n");
}

unsigned Thrice(unsigned v) { return 3 * v; }
const char* PickText(const std::string&) { return "text"; }

// The one plain overload of a name takes a shorter path: it must answer as the general
// one does, and a closure fetched before a second overload joined must see both.
TEST_F(DispatchTest, ASingleFunctionOverloadAndOneJoinedLater) {
  ASSERT_TRUE(host->Insert(uibind::Function("Thrice", &Thrice)));
  EXPECT_EQ(Number("Thrice(14)"), 42);
  EXPECT_EQ(Fail("Thrice('a')"),
            "Can't match function to call Thrice, candidates are:\n"
            "Thrice(unsigned)\n"
            "Parameters are:\n"
            "* string\n"
            "Caused by: no one can be used.\n");
  EXPECT_NE(Fail("Thrice(1, 2)").find("Caused by: no one can be used."), std::string::npos);
  EXPECT_NE(Fail("Thrice(-1)").find("unsigned"), std::string::npos) << "out of range, as before";
  ASSERT_EQ(Run("early = Thrice"), "");
  ASSERT_TRUE(host->Insert(uibind::Function("Thrice", &PickText)));
  EXPECT_EQ(String("early('a')"), "text");
  EXPECT_EQ(Number("early(2)"), 6);
}

TEST_F(DispatchTest, ConstructorMismatchHasNoFinalLineFeed) {
  EXPECT_EQ(Fail("Overloaded(1)"),
            "Can't match constructor to create Overloaded, candidates are:\n"
            "Overloaded()\n"
            "Parameters are:\n"
            "* number\n"
            "Caused by: no one can be used.");
}

unsigned Same(unsigned v) { return v; }

TEST_F(DispatchTest, CandidateListsAreBounded) {
  struct Many {};
  uibind::Class<Many> many("Many");
  for (int i = 0; i < 60; ++i) many.Method("m", +[](const Many&) { return true; });
  many.Constructor<>();
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(host->Insert(uibind::Function("same", &Same)));
  ASSERT_TRUE(host->Insert(std::move(many)));

  auto count = [](const std::string& text, const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  };
  const std::string ambiguous = Fail("Many().m()");
  EXPECT_EQ(count(ambiguous, "m() const\n"), 49u);
  EXPECT_NE(ambiguous.find("Caused by: ambiguity.\n"), std::string::npos);
  EXPECT_EQ(count(Fail("Many().m(1)"), "m() const\n"), 49u);
  EXPECT_EQ(count(Fail("same(1)"), "same(unsigned)\n"), 19u);
  EXPECT_EQ(count(Fail("same()"), "same(unsigned)\n"), 19u);
}

struct Echo {
  int Value(int v) const { return v; }
};

class CountingHook : public uibind::GenericMethodPolicyHook {
 public:
  int before = 0;
  void Before(uibind::CHost&, lua_State*, void* object, int) override {
    ++before;
    EXPECT_NE(object, nullptr);
  }
  int After(uibind::CHost&, lua_State* L, void*, int, int count) override {
    lua_pushstring(L, "extra");
    return count + 1;
  }
};

TEST_F(DispatchTest, PolicyHooksRunAroundTheCallAndMayChangeTheResultCount) {
  auto hook = std::make_shared<CountingHook>();
  uibind::Class<Echo> cls("Echo");
  cls.Constructor<>().Method("Value", &Echo::Value, {hook});
  ASSERT_TRUE(host->Insert(std::move(cls)));
  EXPECT_EQ(Run("local a, b = Echo().Value(5); assert(a == 5 and b == 'extra')"), "");
  EXPECT_EQ(hook->before, 1);
}

struct SelfCalled {
  int Add(int v) { return v + 1; }
};

TEST_F(DispatchTest, SelfInArgumentsOverloadsTakeTheObjectAsFirstArgument) {
  uibind::Class<SelfCalled> cls("SelfCalled");
  cls.Constructor<>().MethodWithSelf("Add", &SelfCalled::Add);
  ASSERT_TRUE(host->Insert(std::move(cls)));
  EXPECT_EQ(Number("(function() local s = SelfCalled(); return s:Add(1) end)()"), 2);
  EXPECT_NE(Fail("SelfCalled().Add(1)").find("no one can be used"), std::string::npos);
  EXPECT_NE(Fail("local a, b = SelfCalled(), SelfCalled(); a.Add(b, 1)").find("no one can be used"), std::string::npos);
}

}  // namespace
}  // namespace uibind_test

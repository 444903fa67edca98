// Operators bound as metamethods, with the object on either side.
#include "fixture.h"

namespace uibind_test {
namespace {

struct Money {
  int cents = 0;
  explicit Money(int c = 0) : cents(c) {}
};
Money operator+(const Money& a, int b) { return Money(a.cents + b); }
Money operator-(const Money& a, const Money& b) { return Money(a.cents - b.cents); }
Money operator*(const Money& a, int b) { return Money(a.cents * b); }
Money operator/(const Money& a, int b) { return Money(a.cents / b); }
Money operator%(const Money& a, int b) { return Money(a.cents % b); }
bool operator==(const Money& a, const Money& b) { return a.cents == b.cents; }
bool operator<(const Money& a, const Money& b) { return a.cents < b.cents; }
bool operator<=(const Money& a, const Money& b) { return a.cents <= b.cents; }
Money Negate(const Money& m) { return Money(-m.cents); }
std::string Show(const Money& m) { return std::to_string(m.cents) + "c"; }
std::string JoinRight(const Money& m, const char* text) { return Show(m) + text; }
std::string JoinLeft(const char* text, const Money& m) { return text + Show(m); }
struct Text {
  std::string value = "abc";
};

class OperatorsTest : public LuaFixture {
 protected:
  OperatorsTest() {
    uibind::Class<Money> money("Money");
    money.Constructor<int>(uibind::Explicit)
        .Member("cents", &Money::cents)
        .BinaryOperator<uibind::OP_ADD, const Money&, int>()
        .BinaryOperator<uibind::OP_SUB, const Money&, const Money&>()
        .BinaryOperator<uibind::OP_MUL, const Money&, int>()
        .BinaryOperator<uibind::OP_DIV, const Money&, int>()
        .BinaryOperator<uibind::OP_MOD, const Money&, int>()
        .BinaryOperator<uibind::OP_EQ, const Money&, const Money&>()
        .BinaryOperator<uibind::OP_LT, const Money&, const Money&>()
        .BinaryOperator<uibind::OP_LE, const Money&, const Money&>()
        .Operator(uibind::OP_UNM, &Negate)
        .Operator(uibind::OP_TOSTRING, &Show)
        .Operator(uibind::OP_CONCAT, &JoinRight)
        .Operator(uibind::OP_CONCAT, &JoinLeft);
    EXPECT_TRUE(host->Insert(std::move(money)));
    EXPECT_EQ(Run("a = Money(10); b = Money(3)"), "");
  }
};

TEST_F(OperatorsTest, ArithmeticAndComparisons) {
  EXPECT_EQ(Number("(a + 5).cents"), 15);
  EXPECT_EQ(Number("(a - b).cents"), 7);
  EXPECT_EQ(Number("(a * 3).cents"), 30);
  EXPECT_EQ(Number("(a / 3).cents"), 3);
  EXPECT_EQ(Number("(a % 3).cents"), 1);
  EXPECT_EQ(Number("(-a).cents"), -10);
  EXPECT_TRUE(Bool("a == Money(10)"));
  EXPECT_FALSE(Bool("a == b"));
  EXPECT_TRUE(Bool("b < a"));
  EXPECT_TRUE(Bool("b <= b"));
  EXPECT_FALSE(Bool("a <= b"));
  EXPECT_EQ(String("tostring(a)"), "10c");
  EXPECT_EQ(String("__get_typeex(a + 1)"), "Money owned");
}

TEST_F(OperatorsTest, TheObjectMayStandOnEitherSideWhenDeclaredSo) {
  EXPECT_EQ(String("a .. '!'"), "10c!");
  EXPECT_EQ(String("'$' .. a"), "$10c");
  EXPECT_EQ(Fail("local x = 5 + a"),
            "Can't match method to call 'Money.__add', candidates are:\n"
            "__add(const Money&, int) const\n"
            "Parameters are:\n"
            "* number\n"
            "* custom class: Money\n"
            "Caused by: no one can be used.\n");
}

TEST_F(OperatorsTest, ConstObjectsUseConstOperatorsOnly) {
  uibind::Class<Text> text("Text");
  text.Constructor<>().Operator(uibind::OP_ADD, +[](Text& t, int) { return static_cast<int>(t.value.size()); });
  ASSERT_TRUE(host->Insert(std::move(text)));
  EXPECT_EQ(Number("Text() + 1"), 3);
  EXPECT_NE(Fail("local x = __const(Text()) + 1").find("'Text.__add const'"), std::string::npos);
  EXPECT_EQ(Number("(__const(a) + 1).cents"), 11);
}

TEST_F(OperatorsTest, AnOperatorCalledWithoutAnObjectPanics) {
  EXPECT_EQ(Fail("getmetatable(a).__add(1, 2)"),
            "GenericClass::LuaOperatorCallProxieFunction: panic - can't find a variable to call operator handler for '__add'");
}

}  // namespace
}  // namespace uibind_test

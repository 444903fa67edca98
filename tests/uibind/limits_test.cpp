// Script arguments that would allocate without limit, and std::bad_alloc inside bound calls:
// both end in Lua errors, never in the host running out of memory.
#include <new>
#include <stdexcept>
#include <vector>

#include "fixture.h"

namespace uibind_test {
namespace {

using UIntArray = std::vector<unsigned int>;

const std::string kLimit = std::to_string(uibind::kMaxArrayElements);

// The size a refused call names, and the limit.
std::string TooLarge(const std::string& size) {
  return "size " + size + " is above the array limit of " + kLimit + " elements";
}

int Starve() { throw std::bad_alloc(); }
std::size_t SizeOf(const UIntArray& a) { return a.size(); }

struct Greedy {
  Greedy() = default;
  explicit Greedy(int) { throw std::bad_alloc(); }
  Greedy(const Greedy&) = default;
  int Hungry() const { throw std::bad_alloc(); }
  void Feed(int) { throw std::bad_alloc(); }
  Greedy Copy() const { return *this; }
};
Greedy operator+(const Greedy&, int) { throw std::bad_alloc(); }

struct Starving {
  Starving() = default;
  Starving(const Starving&) { throw std::bad_alloc(); }
  int m_Value = 1;
};
Starving MakeStarving() { return Starving(); }

struct Other {
  int m_Other = 5;
};
// Its caster to Other runs for every name it does not declare itself.
struct CastStarver {};
Other* StarveCast(CastStarver*) { throw std::bad_alloc(); }

class StarvingHook : public uibind::GenericMethodPolicyHook {
 public:
  explicit StarvingHook(bool before) : m_bBefore(before) {}
  void Before(uibind::CHost&, lua_State*, void*, int) override {
    if (m_bBefore) throw std::bad_alloc();
  }
  int After(uibind::CHost&, lua_State*, void*, int, int count) override {
    if (!m_bBefore) throw std::bad_alloc();
    return count;
  }

 private:
  bool m_bBefore;
};

int Plain() { return 1; }

class LimitsTest : public LuaFixture {
 protected:
  LimitsTest() {
    RegisterWideString();
    uibind::NamespaceDeclaration stdNs("std");
    stdNs.Add(uibind::DeclareVectorClass<UIntArray>("uintarr"));
    EXPECT_TRUE(host->Insert(std::move(stdNs)));
    uibind::Class<Other> other("Other");
    other.Member("other", &Other::m_Other);
    EXPECT_TRUE(host->Insert(std::move(other)));
    uibind::Class<Greedy> greedy("Greedy");
    greedy.Constructor<>()
        .Constructor<int>(uibind::Explicit)
        .Method("Hungry", &Greedy::Hungry)
        .Method("Copy", &Greedy::Copy)
        .Method("Plain", +[](const Greedy&) { return 1; }, {std::make_shared<StarvingHook>(true)})
        .Method("Late", +[](const Greedy&) { return 2; }, {std::make_shared<StarvingHook>(false)})
        .Property("hungry", &Greedy::Hungry, &Greedy::Feed)
        .BinaryOperator<uibind::OP_ADD, const Greedy&, int>();
    EXPECT_TRUE(host->Insert(std::move(greedy)));
    uibind::Class<CastStarver> castStarver("CastStarver");
    castStarver.Constructor<>().UpCast<Other>(&StarveCast);
    EXPECT_TRUE(host->Insert(std::move(castStarver)));
    uibind::Class<Starving> starving("Starving");
    starving.Member("value", &Starving::m_Value);
    EXPECT_TRUE(host->Insert(std::move(starving)));
    uibind::NamespaceDeclaration functions;
    functions.Add(uibind::Function("Starve", &Starve))
        .Add(uibind::Function("SizeOf", &SizeOf))
        .Add(uibind::Function("MakeStarving", &MakeStarving))
        .Add(uibind::Function("PlainHooked", &Plain, {std::make_shared<StarvingHook>(true)}));
    EXPECT_TRUE(host->Insert(std::move(functions)));
  }

  // The error of code must name the size and the limit.
  void ExpectRefused(const std::string& code, const std::string& size) {
    const std::string error = Fail(code);
    EXPECT_NE(error.find(TooLarge(size)), std::string::npos) << code << ": " << error;
  }
};

TEST_F(LimitsTest, TheLimitIsTwoToTheTwentyFourElements) { EXPECT_EQ(uibind::kMaxArrayElements, 1u << 24); }

TEST_F(LimitsTest, ConstructorsRefuseSizesAboveTheLimit) {
  ExpectRefused("std.uintarr(2147483648)", "2147483648");
  ExpectRefused("std.uintarr(4294967295)", "4294967295");
  ExpectRefused("std.uintarr(16777217)", "16777217");
  ExpectRefused("std.uintarr(4294967295, 7)", "4294967295");
  ExpectRefused("std.uintarr(16777217, 7)", "16777217");
  // Built implicitly for a parameter, too.
  ExpectRefused("SizeOf(4294967295)", "4294967295");
  EXPECT_EQ(Fail("std.uintarr(2147483648)"),
            "Native exception in 'std::vector<unsigned int, std::allocator<unsigned int> >': " + TooLarge("2147483648") +
                "\n");
  EXPECT_EQ(Number("SizeOf(3)"), 3);
}

TEST_F(LimitsTest, MethodsRefuseSizesAboveTheLimitAndChangeNothing) {
  ASSERT_EQ(Run("a = std.uintarr(2, 1)"), "");
  EXPECT_EQ(Fail("a.resize(4294967295, 0)"), "Native exception in 'resize': " + TooLarge("4294967295") + "\n");
  ExpectRefused("a.resize(2147483648, 0)", "2147483648");
  ExpectRefused("a.assign(2147483648, 1)", "2147483648");
  ExpectRefused("a.assign(4294967295, 1)", "4294967295");
  ExpectRefused("a.reserve(4294967295)", "4294967295");
  ExpectRefused("a.reserve(16777217)", "16777217");
  ExpectRefused("a.insert(a.begin(), 4294967295, 1)", "4294967297");
  ExpectRefused("a.insert(a._end(), 16777215, 1)", "16777217");
  EXPECT_EQ(Number("a.size()"), 2);
  EXPECT_LT(Number("a.capacity()"), 1000);
  EXPECT_EQ(Number("a.at(0) + a.at(1)"), 2);
}

TEST_F(LimitsTest, AnArrayMayGrowToTheLimitButNotPastIt) {
  ASSERT_EQ(Run("big = std.uintarr(16777216); small = std.uintarr(1)"), "");
  EXPECT_EQ(Number("big.size()"), 16777216);
  ExpectRefused("big.push_back(1)", "16777217");
  ExpectRefused("big.insert(big.begin(), 1)", "16777217");
  ExpectRefused("big.insert(big.begin(), 1, 1)", "16777217");
  ExpectRefused("big.resize(16777217, 0)", "16777217");
  ExpectRefused("small.insert(small.begin(), big.begin(), big._end())", "16777217");
  ExpectRefused("big.insert(big._end(), small.rbegin(), small.rend())", "16777217");
  EXPECT_EQ(Number("big.size()"), 16777216);
  EXPECT_EQ(Number("small.size()"), 1);
  EXPECT_EQ(Run("small.assign(big.begin(), big._end()); big.clear(); big.resize(16777216, 3)"), "");
  EXPECT_EQ(Number("small.size()"), 16777216);
  EXPECT_EQ(Number("big.back()"), 3);
}

TEST_F(LimitsTest, WideStringsFromNumbersAreTheirText) {
  // The wide-string class has no size constructor: a number is taken as its text.
  EXPECT_EQ(String("wstring(4294967295).str()"), "4294967295");
  EXPECT_EQ(Number("wstring(2147483648).len()"), 10);
}

TEST_F(LimitsTest, BadAllocInsideABoundCallBecomesALuaError) {
  EXPECT_EQ(Fail("Starve()"), "Native exception in 'Starve': std::bad_alloc\n");
  EXPECT_EQ(Fail("Greedy().Hungry()"), "Native exception in 'Hungry': std::bad_alloc\n");
  EXPECT_EQ(Fail("return Greedy().hungry"), "Native exception in 'hungry': std::bad_alloc\n");
  EXPECT_EQ(Fail("Greedy().hungry = 1"), "Native exception in 'hungry': std::bad_alloc\n");
  EXPECT_EQ(Fail("return Greedy() + 1"), "Native exception in '__add': std::bad_alloc\n");
  EXPECT_NE(Fail("Greedy(1)").find("': std::bad_alloc\n"), std::string::npos);
  // Copying a result.
  EXPECT_NE(Fail("MakeStarving()").find("': std::bad_alloc\n"), std::string::npos);
}

TEST_F(LimitsTest, BadAllocOutsideTheNativeFunctionBecomesALuaErrorToo) {
  // Policy hooks and casters run around the native function.
  EXPECT_EQ(Fail("Greedy().Plain()"), "Native exception in 'Plain': std::bad_alloc\n");
  EXPECT_EQ(Fail("Greedy().Late()"), "Native exception in 'Late': std::bad_alloc\n");
  EXPECT_EQ(Fail("PlainHooked()"), "Native exception in 'PlainHooked': std::bad_alloc\n");
  EXPECT_EQ(Fail("return __cast(CastStarver(), 'Other')"), "Native exception in '__cast': std::bad_alloc\n");
  EXPECT_EQ(Fail("return CastStarver().other"), "Native exception in '__index': std::bad_alloc\n");
  EXPECT_EQ(Fail("CastStarver().other = 1"), "Native exception in '__newindex': std::bad_alloc\n");
  // The state stays usable.
  EXPECT_EQ(Number("Greedy().Copy() and 1"), 1);
  EXPECT_EQ(host->GetTemporariesDepth(), 0u);
}

}  // namespace
}  // namespace uibind_test

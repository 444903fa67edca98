// Field access on objects: methods, data members, properties, class values, bases.
#include "fixture.h"
#include "platform/windef.h"

namespace uibind_test {
namespace {

enum Status { kIdle = 0, kBusy = 3 };

struct Record {
  unsigned uID = 1;
  bool bFlag = false;
  HWND hWnd = nullptr;
  std::wstring strTitle = L"title";
  Status eStatus = kBusy;
  const int kFixed = 11;
  std::string strNarrow = "narrow";

  unsigned Doubled() const { return uID * 2; }
  void SetDoubled(unsigned v) { uID = v / 2; }
};

unsigned GetTripled(const Record& r) { return r.uID * 3; }
void SetTripled(Record& r, const unsigned& v) { r.uID = v / 3; }
const std::wstring& TitleOf(const Record& r) { return r.strTitle; }

struct Shape {
  virtual ~Shape() = default;
  int Sides() const { return m_Sides; }
  int m_Sides = 0;
};
struct Square : Shape {
  Square() { m_Sides = 4; }
  int Area() const { return 16; }
};

class ObjectModelTest : public LuaFixture {
 protected:
  ObjectModelTest() {
    RegisterWideString();
    uibind::Class<HWND__> handle("Handle");
    // Handles are not real objects: the class takes them by pointer, never by reference.
    handle.Method("value", +[](const HWND__* h) { return static_cast<double>(HandleValue(const_cast<HWND>(h))); });
    EXPECT_TRUE(host->Insert(std::move(handle)));
    uibind::Class<Record> record("Record");
    record.Constructor<>()
        .Member("uID", &Record::uID)
        .Member("bFlag", &Record::bFlag)
        .Member("hWnd", &Record::hWnd)
        .Member("strTitle", &Record::strTitle)
        .Member("eStatus", &Record::eStatus)
        .Member("kFixed", &Record::kFixed)
        .Member("strNarrow", &Record::strNarrow)
        .Property("doubled", &Record::Doubled, &Record::SetDoubled)
        .Property("tripled", &GetTripled, &SetTripled)
        .Property("readonly", &Record::Doubled)
        .Property("title", &TitleOf)
        .Value("VERSION", 3)
        .Value("NAME", "record");
    EXPECT_TRUE(host->Insert(std::move(record)));
    EXPECT_EQ(Run("r = Record()"), "");
  }
};

TEST_F(ObjectModelTest, ScalarMembersReadAndWrite) {
  EXPECT_EQ(Number("r.uID"), 1);
  EXPECT_EQ(Run("r.uID = 7.5; r.bFlag = true"), "");
  EXPECT_EQ(Number("r.uID"), 7);
  EXPECT_TRUE(Bool("r.bFlag"));
  EXPECT_EQ(Run("r.bFlag = 0"), "");
  EXPECT_FALSE(Bool("r.bFlag"));
  EXPECT_EQ(String("r.strNarrow"), "narrow");
  EXPECT_EQ(Run("r.strNarrow = 'wide'"), "");
  EXPECT_EQ(String("r.strNarrow"), "wide");
  EXPECT_EQ(Fail("r.uID = 'x'"), "MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n");
  EXPECT_EQ(Fail("r.uID = -1"), "ParameterMatcher::ExtractParam: number -1 is out of range for 'unsigned'.\n");
}

TEST_F(ObjectModelTest, EnumerationAndConstMembersRefuseWrites) {
  EXPECT_EQ(Number("r.eStatus"), 3);
  EXPECT_EQ(Fail("r.eStatus = 0"), "MemberClass::PerformNewIndexOperator: left value has no assign operator.\n");
  EXPECT_EQ(Number("r.kFixed"), 11);
  EXPECT_EQ(Fail("r.kFixed = 1"), "MemberClass::PerformNewIndexOperator: can't assign to a const variable.\n");
}

TEST_F(ObjectModelTest, ClassMembersAreReferencesIntoTheObject) {
  EXPECT_EQ(String("__get_typeex(r.strTitle)"), "wstring");
  EXPECT_EQ(String("__get_typeex(__const(Record()).strTitle)"), "wstring const");
  EXPECT_EQ(Run("r.strTitle = 'new'"), "");
  EXPECT_EQ(String("r.strTitle.str()"), "new");
  EXPECT_EQ(Run("local t = r.strTitle; r.strTitle = 'again'; assert(t.str() == 'again')"), "");
  EXPECT_EQ(Fail("r.strTitle = {}"), "MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n");
  EXPECT_EQ(String("r.title.str()"), "again");
  EXPECT_EQ(String("__get_typeex(r.title)"), "wstring const");
}

TEST_F(ObjectModelTest, HandleMembersAreReferencesToTheHandleOrNil) {
  EXPECT_EQ(Run("assert(r.hWnd == nil)"), "");
  Record other;
  other.hWnd = HandleFromValue(42);
  uibind::CHost* h = host.get();
  lua_pushlightuserdata(L, other.hWnd);
  lua_setglobal(L, "raw");
  (void)h;
  EXPECT_EQ(Run("r.hWnd = __cast_unsafe(raw, 'Handle')"), "");
  EXPECT_EQ(Number("r.hWnd.value()"), 42);
  EXPECT_EQ(String("__get_typeex(r.hWnd)"), "Handle");
  EXPECT_EQ(Fail("r.hWnd = 42"), "MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n");
}

TEST_F(ObjectModelTest, PropertiesCallTheirGetterAndSetter) {
  EXPECT_EQ(Run("r.doubled = 10"), "");
  EXPECT_EQ(Number("r.uID"), 5);
  EXPECT_EQ(Number("r.doubled"), 10);
  EXPECT_EQ(Run("r.tripled = 9"), "");
  EXPECT_EQ(Number("r.tripled"), 9);
  EXPECT_EQ(Fail("r.readonly = 1"), "FreePropertyClass::PerformNewIndexOperator: can't assign - no setter available.\n");
  EXPECT_EQ(Fail("r.doubled = 'x'"),
            "FreePropertyClass::PerformNewIndexOperator: can't convert params to call setter.\n"
            "Parameters are:\n"
            "* string\n");
}

TEST_F(ObjectModelTest, ConstObjectsRefuseEveryWrite) {
  EXPECT_EQ(Fail("__const(r).uID = 1"),
            "MetaOperatorNewIndex: can't assign a value to a member 'uID' of a const object.\n");
  EXPECT_EQ(Fail("__const(r).doubled = 1"),
            "MetaOperatorNewIndex: can't assign a value to a member 'doubled' of a const object.\n");
  EXPECT_EQ(Number("__const(r).uID"), 1);
}

TEST_F(ObjectModelTest, UnknownNamesAndNonStringKeysRaise) {
  EXPECT_EQ(Fail("local x = r.missing"), "MetaOperatorIndex: error - unknown symbol missing.\n");
  EXPECT_EQ(Fail("r.missing = 1"), "MetaOperatorIndex: error - unknown symbol missing.\n");
  EXPECT_EQ(Fail("local x = r[1]"), "MetaOperatorIndex: panic - currently supports only string indexes.\n");
  EXPECT_EQ(Fail("r[1] = 1"), "MetaOperatorNewIndex: panic - currently supports only string indexes.\n");
  EXPECT_EQ(Fail("r.VERSION = 1"), "MetaOperatorIndex: error - unknown symbol VERSION.\n");
}

TEST_F(ObjectModelTest, ErrorTextsAreCutTo4095Characters) {
  const std::string error = Fail("local x = r[string.rep('x', 5000)]");
  EXPECT_EQ(error.size(), 4095u);
  EXPECT_EQ(error.rfind("MetaOperatorIndex: error - unknown symbol xxx", 0), 0u);
}

TEST_F(ObjectModelTest, ClassValuesLiveInTheClassTableAndOnObjects) {
  EXPECT_EQ(Number("Record.VERSION"), 3);
  EXPECT_EQ(String("Record.NAME"), "record");
  EXPECT_EQ(Number("r.VERSION"), 3);
}

TEST_F(ObjectModelTest, MetamethodsCalledOnOtherValuesRaise) {
  EXPECT_NE(Fail("getmetatable(r).__index({}, 'x')").find("not an object of a bound class"), std::string::npos);
  EXPECT_NE(Fail("getmetatable(r).__newindex(io.stdout, 'x', 1)").find("not an object of a bound class"),
            std::string::npos);
}

TEST_F(ObjectModelTest, MethodsAndMembersAreFoundInBaseClasses) {
  uibind::Class<Shape> shape("Shape");
  shape.Method("Sides", &Shape::Sides).Member("m_Sides", &Shape::m_Sides).Value("KIND", "shape");
  ASSERT_TRUE(host->Insert(std::move(shape)));
  uibind::Class<Square> square("Square");
  square.Constructor<>().Inherits<Shape>().Method("Area", &Square::Area);
  ASSERT_TRUE(host->Insert(std::move(square)));
  EXPECT_EQ(Number("Square().Sides()"), 4);
  EXPECT_EQ(Number("Square().m_Sides"), 4);
  EXPECT_EQ(Run("local s = Square(); s.m_Sides = 5; assert(s.Sides() == 5)"), "");
  EXPECT_EQ(String("Square.KIND"), "shape");  // inherited class value
  EXPECT_EQ(String("Square().KIND"), "shape");
  EXPECT_NE(Fail("Square().Nothing()").find("unknown symbol Nothing"), std::string::npos);
}

}  // namespace
}  // namespace uibind_test

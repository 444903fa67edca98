// Objects collected by hand ("__gc" called from Lua): the object and everything that
// refers into it (iterators, data member references, reference results, "__cast" results,
// fetched methods) raise a Lua error on every use, and nothing touches freed memory.
// Run under the ASan build, each of these would report a heap-use-after-free otherwise.
#include <vector>

#include "fixture.h"

namespace uibind_test {
namespace {

using UIntArray = std::vector<unsigned int>;
using ArrayIterator = uibind::VectorBinding<UIntArray>::Iterator;

lua_State* g_State = nullptr;

// Calls the Lua global "callback" (which may collect objects by hand).
void CallBack() {
  lua_getglobal(g_State, "callback");
  lua_call(g_State, 0, 0);
}

struct Base {
  virtual ~Base() = default;
  int m_Base = 8;
  int BaseValue() const { return m_Base; }
};
struct Derived : Base {
  int m_Own = 2;
};

struct Whole {
  Counted m_Counted{3};
  std::wstring m_Text = L"whole text";
  Derived m_Derived;
  UIntArray m_Numbers{1, 2, 3};
  Counted& Ref() { return m_Counted; }
  const Counted& Peek() const { return m_Counted; }
  int UseAfterCallBack() {
    CallBack();
    return m_Counted.Get() + static_cast<int>(m_Numbers.size());
  }
};

Counted& Shared() {
  static Counted shared(77);
  return shared;
}
int TakeCounted(const Counted& c) { return c.Get(); }
int CountedAfterCallBack(Counted& c) {
  CallBack();
  return c.Get();
}
unsigned ValueAfterCallBack(const ArrayIterator& it) {
  CallBack();
  return it.Value();
}

const char kCollect[] = "function collect(o) getmetatable(o).__gc(o) end";

std::string DeadOwner(const std::string& cls, const std::string& owner) {
  return "UIBind: the object of class '" + cls + "' refers into an object of class '" + owner +
         "' that has already been destroyed.\n";
}
std::string Destroyed(const std::string& cls) {
  return "UIBind: the object of class '" + cls + "' has already been destroyed.\n";
}
std::string InUse(const std::string& cls) {
  return "UIBind: the object of class '" + cls + "' is in use by a native call and can't be destroyed.\n";
}

class DestroyedTest : public LuaFixture {
 protected:
  DestroyedTest() {
    Counted::Reset();
    Shared();
    g_State = L;
    RegisterWideString();
    uibind::NamespaceDeclaration stdNs("std");
    stdNs.Add(uibind::DeclareVectorClass<UIntArray>("uintarr"));
    EXPECT_TRUE(host->Insert(std::move(stdNs)));
    uibind::Class<Counted> counted("Counted");
    counted.Constructor<>().Constructor<unsigned>().Method("Get", &Counted::Get);
    EXPECT_TRUE(host->Insert(std::move(counted)));
    uibind::Class<Base> base("Base");
    base.Method("BaseValue", &Base::BaseValue).Member("base", &Base::m_Base);
    EXPECT_TRUE(host->Insert(std::move(base)));
    uibind::Class<Derived> derived("Derived");
    derived.Inherits<Base>().Member("own", &Derived::m_Own);
    EXPECT_TRUE(host->Insert(std::move(derived)));
    uibind::Class<Whole> whole("Whole");
    whole.Constructor<>()
        .Member("counted", &Whole::m_Counted)
        .Member("text", &Whole::m_Text)
        .Member("derived", &Whole::m_Derived)
        .Member("numbers", &Whole::m_Numbers)
        .Method("Ref", &Whole::Ref)
        .Method("UseAfterCallBack", &Whole::UseAfterCallBack)
        .Property("peek", &Whole::Peek);
    EXPECT_TRUE(host->Insert(std::move(whole)));
    uibind::NamespaceDeclaration functions;
    functions.Add(uibind::Function("Shared", &Shared))
        .Add(uibind::Function("TakeCounted", &TakeCounted))
        .Add(uibind::Function("CountedAfterCallBack", &CountedAfterCallBack))
        .Add(uibind::Function("ValueAfterCallBack", &ValueAfterCallBack));
    EXPECT_TRUE(host->Insert(std::move(functions)));
    EXPECT_EQ(Run(kCollect), "");
    Counted::Reset();  // the shared object is not counted
  }
};

TEST_F(DestroyedTest, IteratorsOfAnArrayCollectedByHandRaise) {
  ASSERT_EQ(Run("a = std.uintarr(3); it = a.rbegin(); last = a.rend(); cit = a.begin(); inc = it.inc;"
                " b = std.uintarr(2); collect(a)"),
            "");
  const std::string dead = DeadOwner("std.uintarr.reverse_iterator", "std.uintarr");
  EXPECT_EQ(Fail("return it.value"), dead);
  EXPECT_EQ(Fail("it.value = 7"), dead);
  EXPECT_EQ(Fail("it.inc()"), dead);
  EXPECT_EQ(Fail("inc()"), dead);
  EXPECT_EQ(Fail("return it + 1"), dead);
  EXPECT_EQ(Fail("return it < last"), dead);
  EXPECT_EQ(Fail("return cit.value"), DeadOwner("std.uintarr.iterator", "std.uintarr"));
  // As arguments they are as unusable as destroyed objects: no overload accepts them.
  EXPECT_NE(Fail("b.assign(it, last)").find("Caused by: no one can be used."), std::string::npos);
  EXPECT_NE(Fail("b.insert(b.begin(), it, last)").find("Caused by: no one can be used."), std::string::npos);
  EXPECT_TRUE(Bool("__cast(it, 'std.uintarr.reverse_iterator') == nil"));
  EXPECT_TRUE(Bool("__cast_unsafe(it, 'std.uintarr.reverse_iterator') == nil"));
  EXPECT_EQ(String("__get_typeex(it)"), "std.uintarr.reverse_iterator owned");
  EXPECT_EQ(Fail("return a.size()"), Destroyed("std.uintarr"));
  EXPECT_EQ(Number("b.size()"), 2);
  // Collecting the iterators themselves deletes only them.
  EXPECT_EQ(Run("collect(it); collect(it); it = nil; last = nil; cit = nil; inc = nil; a = nil"), "");
  CollectGarbage();
  CollectGarbage();
}

TEST_F(DestroyedTest, IteratorsOfAnArrayMemberRaiseWhenTheirObjectIsCollectedByHand) {
  ASSERT_EQ(Run("w = Whole(); n = w.numbers; it = n.begin(); rit = __cast(n, 'std.uintarr').rbegin(); collect(w)"), "");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Fail("return n.size()"), DeadOwner("std.uintarr", "Whole"));
  EXPECT_EQ(Fail("return it.value"), DeadOwner("std.uintarr.iterator", "Whole"));
  EXPECT_EQ(Fail("return rit.value"), DeadOwner("std.uintarr.reverse_iterator", "Whole"));
}

TEST_F(DestroyedTest, DataMemberReferencesOfAnObjectCollectedByHandRaise) {
  ASSERT_EQ(Run("w = Whole(); t = w.text; c = w.counted; d = w.derived; str = t.str; base = d.BaseValue;"
                " get = c.Get; collect(w)"),
            "");
  EXPECT_EQ(Counted::s_Live, 0);  // the member was deleted with its object
  EXPECT_EQ(Fail("return t.str()"), DeadOwner("wstring", "Whole"));
  EXPECT_EQ(Fail("return str()"), DeadOwner("wstring", "Whole"));
  EXPECT_EQ(Fail("return c.Get()"), DeadOwner("Counted", "Whole"));
  EXPECT_EQ(Fail("return get()"), DeadOwner("Counted", "Whole"));
  EXPECT_EQ(Fail("return d.own"), DeadOwner("Derived", "Whole"));
  EXPECT_EQ(Fail("d.own = 5"), DeadOwner("Derived", "Whole"));
  EXPECT_EQ(Fail("return d.base"), DeadOwner("Derived", "Whole"));
  EXPECT_EQ(Fail("return d.BaseValue()"), DeadOwner("Derived", "Whole"));
  EXPECT_EQ(Fail("return base()"), DeadOwner("Derived", "Whole"));
  EXPECT_NE(Fail("return TakeCounted(c)").find("Caused by: no one can be used."), std::string::npos);
  EXPECT_TRUE(Bool("__cast(d, 'Base') == nil"));
  EXPECT_EQ(Fail("return w.text"), Destroyed("Whole"));
}

TEST_F(DestroyedTest, ReferenceResultsOfAnObjectCollectedByHandRaise) {
  ASSERT_EQ(Run("w = Whole(); r = w.Ref(); p = w.peek; collect(w)"), "");
  EXPECT_EQ(Fail("return r.Get()"), DeadOwner("Counted", "Whole"));
  EXPECT_EQ(Fail("return p.Get()"), DeadOwner("Counted", "Whole"));
  EXPECT_EQ(Fail("return w.Ref()"), Destroyed("Whole"));
}

TEST_F(DestroyedTest, CastReferencesOfAnObjectCollectedByHandRaise) {
  ASSERT_EQ(Run("w = Whole(); c = __cast(w, 'Whole'); cc = __cast(c, Whole); u = __cast_unsafe(w, 'Whole');"
                " ct = __cast(c.text, 'wstring'); b = __cast(w.derived, 'Base'); collect(w)"),
            "");
  EXPECT_EQ(Fail("return c.text"), DeadOwner("Whole", "Whole"));
  EXPECT_EQ(Fail("return cc.Ref()"), DeadOwner("Whole", "Whole"));
  EXPECT_EQ(Fail("return u.counted"), DeadOwner("Whole", "Whole"));
  EXPECT_EQ(Fail("return ct.str()"), DeadOwner("wstring", "Whole"));
  EXPECT_EQ(Fail("return b.BaseValue()"), DeadOwner("Base", "Whole"));
  EXPECT_TRUE(Bool("__cast(c, 'Whole') == nil"));
  // Collecting a reference by hand does nothing, dead or alive.
  EXPECT_EQ(Run("collect(c); collect(ct)"), "");
}

TEST_F(DestroyedTest, ACastOfAnIteratorDependsOnThatIterator) {
  // The cast refers into the iterator's own object: it keeps that iterator alive...
  ASSERT_EQ(Run("a = std.uintarr(2, 5); c = __cast(a.rbegin(), 'std.uintarr.reverse_iterator')"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Number("c.value"), 5);
  // ...and raises once that iterator is collected by hand.
  ASSERT_EQ(Run("it = a.begin(); ci = __cast(it, 'std.uintarr.iterator'); later = ci + 1; collect(it)"), "");
  const std::string dead = DeadOwner("std.uintarr.iterator", "std.uintarr.iterator");
  EXPECT_EQ(Fail("return ci.value"), dead);
  EXPECT_EQ(Fail("ci.inc()"), dead);
  EXPECT_EQ(Fail("return ci + 1"), dead);
  // An iterator computed from the cast points into the array, not into the iterator.
  EXPECT_EQ(Number("later.value"), 5);
  EXPECT_EQ(Run("collect(a)"), "");
  EXPECT_EQ(Fail("return c.value"), DeadOwner("std.uintarr.reverse_iterator", "std.uintarr"));
  EXPECT_EQ(Fail("return later.value"), DeadOwner("std.uintarr.iterator", "std.uintarr"));
}

TEST_F(DestroyedTest, TheObjectItselfRaisesAndIsDeletedOnce) {
  ASSERT_EQ(Run("k = Counted(4); get = k.Get; a = std.uintarr(1); it = a.begin(); collect(k); collect(k); collect(it);"
                " collect(it)"),
            "");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 1);
  EXPECT_EQ(Fail("return k.Get()"), Destroyed("Counted"));
  EXPECT_EQ(Fail("return get()"), Destroyed("Counted"));
  EXPECT_EQ(Fail("return it.value"), Destroyed("std.uintarr.iterator"));
  EXPECT_EQ(Fail("it.value = 1"), Destroyed("std.uintarr.iterator"));
  EXPECT_EQ(Fail("return it + 1"), Destroyed("std.uintarr.iterator"));
  EXPECT_EQ(Number("a.at(0)"), 0);  // the array is not the iterator's to delete
  // A collector given an object of another class deletes that object by its own type.
  ASSERT_EQ(Run("w = Whole(); getmetatable(Counted(1)).__gc(w)"), "");
  EXPECT_EQ(Fail("return w.counted"), Destroyed("Whole"));
  EXPECT_EQ(Run("k = nil; get = nil; it = nil; w = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 3);
}

TEST_F(DestroyedTest, CollectingABorrowedObjectByHandChangesNothing) {
  ASSERT_EQ(Run("w = Whole(); c = w.counted; collect(c); t = __cast(w, 'Whole'); collect(t); s = Shared(); collect(s)"),
            "");
  EXPECT_EQ(Number("c.Get()"), 3);
  EXPECT_EQ(Number("w.counted.Get()"), 3);
  EXPECT_EQ(String("t.text.str()"), "whole text");
  EXPECT_EQ(Number("s.Get()"), 77);
  EXPECT_EQ(Shared().Get(), 77);
  EXPECT_EQ(Counted::s_Live, 1);
  EXPECT_EQ(Run("w = nil; c = nil; t = nil; s = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
}

TEST_F(DestroyedTest, DependantsKeepTheirOwnerUntilCollected) {
  ASSERT_EQ(Run("local w = Whole(); c = w.counted; it = w.numbers.rbegin()"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 1);
  EXPECT_EQ(Number("c.Get() + it.value"), 6);
  EXPECT_EQ(Run("c = nil; it = nil"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Counted::s_Created, 1);
}

TEST_F(DestroyedTest, AnObjectInUseByANativeCallIsNotDestroyedFromInsideIt) {
  // The object a method runs on.
  ASSERT_EQ(Run("w = Whole(); callback = function() collect(w) end"), "");
  EXPECT_EQ(Fail("return w.UseAfterCallBack()"), InUse("Whole"));
  EXPECT_EQ(Counted::s_Live, 1);
  // An argument, and the owner of an argument that refers into it.
  ASSERT_EQ(Run("k = Counted(4); callback = function() collect(k) end"), "");
  EXPECT_EQ(Fail("return CountedAfterCallBack(k)"), InUse("Counted"));
  ASSERT_EQ(Run("callback = function() collect(w) end"), "");
  EXPECT_EQ(Fail("return CountedAfterCallBack(w.counted)"), InUse("Whole"));
  // An iterator argument pins its array.
  ASSERT_EQ(Run("a = std.uintarr(2, 9); callback = function() collect(a) end"), "");
  EXPECT_EQ(Fail("return ValueAfterCallBack(a.begin())"), InUse("std.uintarr"));
  EXPECT_EQ(Number("a.at(1)"), 9);
  // A callback that leaves the object alone lets the call finish.
  ASSERT_EQ(Run("callback = function() end"), "");
  EXPECT_EQ(Number("w.UseAfterCallBack()"), 6);
  EXPECT_EQ(Number("ValueAfterCallBack(a.begin())"), 9);
  EXPECT_EQ(Counted::s_Live, 2);
  // Once the calls are over, collecting by hand works again.
  ASSERT_EQ(Run("collect(w); collect(k); collect(a)"), "");
  EXPECT_EQ(Counted::s_Live, 0);
  EXPECT_EQ(Fail("return k.Get()"), Destroyed("Counted"));
}

}  // namespace
}  // namespace uibind_test

// std.uintarr: the array of unsigned int and its four iterator classes.
#include <vector>

#include "fixture.h"

namespace uibind_test {
namespace {

using UIntArray = std::vector<unsigned int>;

struct Closer {
  std::string log;
  bool CloseTab(unsigned id) {
    log += "one:" + std::to_string(id) + ";";
    return true;
  }
  void CloseTabs(const UIntArray& ids) {
    log += "list:";
    for (unsigned id : ids) log += std::to_string(id) + ",";
    log += ";";
  }
};

class ContainerTest : public LuaFixture {
 protected:
  ContainerTest() {
    uibind::NamespaceDeclaration ns("std");
    ns.Add(uibind::DeclareVectorClass<UIntArray>("uintarr"));
    EXPECT_TRUE(host->Insert(std::move(ns)));
    uibind::Class<Closer> closer("Closer");
    closer.Constructor<>()
        .Method("CloseTab", &Closer::CloseTab)
        .Method("CloseTab", &Closer::CloseTabs)
        .Property("log", +[](const Closer& c) { return c.log; });
    EXPECT_TRUE(host->Insert(std::move(closer)));
  }
  // The elements of the array a Lua expression yields, read through the iterators.
  std::string Elements(const std::string& expression) {
    return String("(function() local a = " + expression +
                  "; local t = {}; local it = a.begin(); while it < a._end() do t[#t + 1] = it.value; it.inc() end;"
                  " return table.concat(t, ',') end)()");
  }
};

TEST_F(ContainerTest, ClassTablesAndConstructors) {
  for (const char* name : {"std.uintarr", "std.uintarr.iterator", "std.uintarr.const_iterator",
                           "std.uintarr.reverse_iterator", "std.uintarr.const_reverse_iterator"}) {
    EXPECT_EQ(String(std::string(name) + ".__UIBIND_LUANAMESPACEDESCRIPTIONTAG"), name);
  }
  EXPECT_EQ(Number("std.uintarr().size()"), 0);
  EXPECT_EQ(Elements("std.uintarr(3)"), "0,0,0");
  EXPECT_EQ(Elements("std.uintarr(2, 7)"), "7,7");
  EXPECT_EQ(Elements("std.uintarr(std.uintarr(2, 4))"), "4,4");
  EXPECT_EQ(Run("assert(getmetatable(std.uintarr.iterator).__call == nil)"), "");
  EXPECT_EQ(Fail("std.uintarr('x')"),
            "Can't match constructor to create std.uintarr, candidates are:\n"
            "std.uintarr()\n"
            "std.uintarr(const std.uintarr&)\n"
            "std.uintarr(unsigned)\n"
            "std.uintarr(unsigned, const unsigned&)\n"
            "Parameters are:\n"
            "* string\n"
            "Caused by: no one can be used.");
}

TEST_F(ContainerTest, ANumberConvertsImplicitlyAtAWorseScore) {
  EXPECT_EQ(Run("c = Closer(); c.CloseTab(3); c.CloseTab(std.uintarr(2, 5)); c.CloseTab(true)"), "");
  EXPECT_EQ(String("c.log"), "one:3;list:5,5,;one:1;");
}

TEST_F(ContainerTest, ElementAccessAndChanges) {
  ASSERT_EQ(Run("a = std.uintarr(); a.push_back(5); a.push_back(6); a.push_back(7)"), "");
  EXPECT_EQ(Number("a.back()"), 7);
  EXPECT_EQ(Number("a.front()"), 5);
  EXPECT_EQ(Number("a.at(1)"), 6);
  EXPECT_FALSE(Bool("a.empty()"));
  EXPECT_GE(Number("a.capacity()"), 3);
  EXPECT_GT(Number("a.max_size()"), 1e9);
  EXPECT_EQ(Run("a.pop_back(); a.resize(4, 9); a.reserve(100)"), "");
  EXPECT_EQ(Elements("a"), "5,6,9,9");
  EXPECT_EQ(Run("a.insert(a.begin() + 1, 2, 1); local it = a.insert(a.begin(), 8); assert(it.value == 8)"), "");
  EXPECT_EQ(Elements("a"), "8,5,1,1,6,9,9");
  EXPECT_EQ(Run("local it = a.erase(a.begin()); assert(it.value == 5); a.erase(a.begin() + 1, a.begin() + 3)"), "");
  EXPECT_EQ(Elements("a"), "5,6,9,9");
  EXPECT_EQ(Run("b = std.uintarr(1, 3); a.swap(b)"), "");
  EXPECT_EQ(Elements("a"), "3");
  EXPECT_EQ(Elements("b"), "5,6,9,9");
  EXPECT_EQ(Run("a.assign(2, 4)"), "");
  EXPECT_EQ(Elements("a"), "4,4");
  EXPECT_EQ(Run("a.assign(b.rbegin(), b.rend())"), "");
  EXPECT_EQ(Elements("a"), "9,9,6,5");
  EXPECT_EQ(Run("a.insert(a._end(), a.begin(), a.begin() + 2)"), "");  // from itself
  EXPECT_EQ(Elements("a"), "9,9,6,5,9,9");
  EXPECT_EQ(Run("local c = __cast(b, 'std.uintarr'); __const(c); a.insert(a.begin(), c.begin(), c._end())"), "");
  EXPECT_EQ(Elements("a"), "5,6,9,9,9,9,6,5,9,9");
  EXPECT_EQ(Run("a.clear()"), "");
  EXPECT_TRUE(Bool("a.empty()"));
}

TEST_F(ContainerTest, IteratorsMoveCompareAndWrite) {
  ASSERT_EQ(Run("a = std.uintarr(); for i = 1, 4 do a.push_back(i * 10) end"), "");
  EXPECT_EQ(Number("(a.begin() + 2).value"), 30);
  EXPECT_EQ(Number("(a._end() - 1).value"), 40);
  EXPECT_EQ(Number("a.rbegin().value"), 40);
  EXPECT_EQ(Number("(function() local r = a.rbegin(); r.inc(); return r.value end)()"), 30);
  EXPECT_EQ(Number("(function() local r = a.rend(); r.dec(); return r.value end)()"), 10);
  EXPECT_TRUE(Bool("a.begin() == a.begin()"));
  EXPECT_TRUE(Bool("a.begin() < a._end()"));
  EXPECT_TRUE(Bool("a.begin() <= a.begin()"));
  EXPECT_FALSE(Bool("a._end() <= a.begin()"));
  EXPECT_EQ(Run("local it = a.begin(); it.value = 11; local r = a.rbegin(); r.value = 44"), "");
  EXPECT_EQ(Elements("a"), "11,20,30,44");
  EXPECT_EQ(String("__get_typeex(a.begin())"), "std.uintarr.iterator owned");
  ASSERT_EQ(Run("c = __const(std.uintarr(2, 1))"), "");
  EXPECT_EQ(String("__get_type(c.begin())"), "std.uintarr.const_iterator");
  EXPECT_EQ(String("__get_type(c.rend())"), "std.uintarr.const_reverse_iterator");
  EXPECT_EQ(Fail("c.begin().value = 1"),
            "FreePropertyClass::PerformNewIndexOperator: can't assign - no setter available.\n");
  EXPECT_EQ(Fail("c.rbegin().value = 1"),
            "FreePropertyClass::PerformNewIndexOperator: can't assign - no setter available.\n");
}

TEST_F(ContainerTest, ConstArraysOfferOnlyConstForms) {
  ASSERT_EQ(Run("a = std.uintarr(2, 1); c = __const(std.uintarr(2, 1))"), "");
  EXPECT_EQ(Number("c.at(1)"), 1);
  EXPECT_EQ(Number("c.size()"), 2);
  EXPECT_EQ(Fail("c.push_back(1)"),
            "Can't match method to call 'std.uintarr.push_back const', candidates are:\n"
            "push_back(const unsigned&)\n"
            "Parameters are:\n"
            "* number\n"
            "Caused by: no one can be used.\n");
  EXPECT_EQ(Fail("a.insert()"),
            "Can't match method to call 'std.uintarr.insert', candidates are:\n"
            "insert(const std.uintarr.iterator&, const std.uintarr.iterator&, const std.uintarr.iterator&)\n"
            "insert(const std.uintarr.iterator&, const std.uintarr.const_iterator&, const std.uintarr.const_iterator&)\n"
            "insert(const std.uintarr.iterator&, const std.uintarr.reverse_iterator&, "
            "const std.uintarr.reverse_iterator&)\n"
            "insert(const std.uintarr.iterator&, const std.uintarr.const_reverse_iterator&, "
            "const std.uintarr.const_reverse_iterator&)\n"
            "insert(const std.uintarr.iterator&, unsigned, const unsigned&)\n"
            "insert(const std.uintarr.iterator&, const unsigned&)\n"
            "Parameters are:\n"
            "None\n"
            "Caused by: no one can be used.\n");
}

TEST_F(ContainerTest, OutOfRangeUseRaisesInsteadOfMisbehaving) {
  ASSERT_EQ(Run("a = std.uintarr(2, 1); e = std.uintarr(); o = std.uintarr(2, 1)"), "");
  EXPECT_EQ(Fail("a.at(2)"), "Native exception in 'at': index 2 is out of range (size 2)\n");
  EXPECT_EQ(Fail("e.back()"), "Native exception in 'back': back of an empty array\n");
  EXPECT_EQ(Fail("e.front()"), "Native exception in 'front': front of an empty array\n");
  EXPECT_EQ(Fail("e.pop_back()"), "Native exception in 'pop_back': pop_back of an empty array\n");
  EXPECT_EQ(Fail("local x = a._end() + 1"), "Native exception in '__add': iterator moved outside its array\n");
  EXPECT_EQ(Fail("local x = a.begin() - 1"), "Native exception in '__sub': iterator moved outside its array\n");
  EXPECT_EQ(Fail("a._end().inc()"), "Native exception in 'inc': iterator moved outside its array\n");
  EXPECT_EQ(Fail("a.rbegin().dec()"), "Native exception in 'dec': iterator moved outside its array\n");
  EXPECT_EQ(Fail("local x = a._end().value"), "Native exception in 'value': iterator does not point at an element\n");
  EXPECT_EQ(Fail("local x = a.begin() == o.begin()"), "Native exception in '__eq': iterators of different arrays compared\n");
  EXPECT_EQ(Fail("a.erase(o.begin())"), "Native exception in 'erase': iterator belongs to another array\n");
  EXPECT_EQ(Fail("a.erase(a._end())"), "Native exception in 'erase': erase at the end of the array\n");
  EXPECT_EQ(Fail("a.erase(a._end(), a.begin())"), "Native exception in 'erase': erase range ends before it starts\n");
  EXPECT_EQ(Fail("a.assign(a.begin(), o._end())"), "Native exception in 'assign': range iterators belong to different arrays\n");
  // An iterator left behind by a shrinking array is caught too.
  EXPECT_EQ(Fail("local it = a._end(); a.clear(); local x = it.value"),
            "Native exception in 'value': iterator does not point at an element\n");
}

TEST_F(ContainerTest, IteratorsKeepTheirArrayAlive) {
  ASSERT_EQ(Run("it = std.uintarr(3, 8).begin(); for i = 1, 100 do it = it + 0 end"), "");
  CollectGarbage();
  CollectGarbage();
  EXPECT_EQ(Number("it.value"), 8);
  EXPECT_EQ(Number("(it + 2).value"), 8);
}

}  // namespace
}  // namespace uibind_test

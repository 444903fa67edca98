#pragma once
// A Lua state with a binding host, and helpers to run snippets against it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <lua.hpp>

#include "uibind/uibind.h"

namespace uibind_test {

class LuaFixture : public ::testing::Test {
 protected:
  LuaFixture();
  ~LuaFixture() override;

  // Runs a chunk; returns "" on success, otherwise the error text.
  std::string Run(const std::string& code);
  // Runs a chunk that must fail and returns its error text.
  std::string Fail(const std::string& code);
  // Evaluates "return <expression>".
  double Number(const std::string& expression);
  std::string String(const std::string& expression);
  bool Bool(const std::string& expression);
  void CollectGarbage();

  // A wide-string class for std::wstring as a host registers one: built implicitly
  // from Lua text (UTF-8, Latin-1 here for simplicity), "str" gives the text back.
  void RegisterWideString();

  lua_State* L;
  std::unique_ptr<uibind::CHost> host;
};

// Counts live objects of a class, to check ownership and temporaries.
struct Counted {
  static int s_Live;
  static int s_Created;
  int m_Value;
  Counted() : m_Value(0) { ++s_Live, ++s_Created; }
  Counted(unsigned v) : m_Value(static_cast<int>(v)) { ++s_Live, ++s_Created; }  // NOLINT: implicit on purpose
  Counted(const Counted& o) : m_Value(o.m_Value) { ++s_Live, ++s_Created; }
  Counted& operator=(const Counted&) = default;
  ~Counted() { --s_Live; }
  int Get() const { return m_Value; }
  static void Reset() { s_Live = 0, s_Created = 0; }
};

}  // namespace uibind_test

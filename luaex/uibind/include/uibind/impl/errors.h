#pragma once
// Texts of failed calls: descriptions of Lua arguments, and the raising of native exceptions.
#include <cxxabi.h>

#include <exception>
#include <string>

#include <lua.hpp>

namespace uibind {
class CHost;
namespace impl {

// One line per Lua value from start to the top ("* number\n" ...), or "None\n".
std::string DescribeArguments(lua_State* L, int start);

[[noreturn]] void RaiseNativeException(CHost& host, const char* what, const char* text);

inline const char* WhatText(const std::string& what) { return what.c_str(); }
inline const char* WhatText(const char* what) { return what; }

// Runs a native call; a C++ exception leaving it (std::bad_alloc included) becomes the
// Lua error "Native exception in '<what>': <what()>\n". Lua errors raised by nested
// calls into Lua pass through unchanged, whichever Lua raised them (a C++ pointer
// exception of Lua 5.1, a foreign exception of LuaJIT). The error is raised inside the
// handler, so the text of the exception needs no copy (which could itself fail for want
// of memory). what is a std::string or a C string.
// Inlined: it wraps every bound call, and its try block costs nothing when nothing throws.
template <typename W, typename F>
[[gnu::always_inline]] inline decltype(auto) GuardedInvoke(CHost& host, const W& what, F&& f) {
  try {
    return f();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (const std::exception& e) {
    RaiseNativeException(host, WhatText(what), e.what());
  } catch (void*) {
    throw;  // the C++ build of Lua throws a pointer for its errors
  } catch (...) {
    // LuaJIT raises its errors as foreign exceptions, which only catch (...) sees: they
    // carry no C++ exception object, so current_exception() is empty for them alone.
    if (!std::current_exception()) throw;
    RaiseNativeException(host, WhatText(what), "unknown exception");
  }
}

}  // namespace impl
}  // namespace uibind

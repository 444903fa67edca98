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

[[noreturn]] void RaiseNativeException(CHost& host, const std::string& what, const std::string& text);

// Runs a native call; a C++ exception leaving it becomes a Lua error naming the call.
// Lua errors raised by nested calls into Lua pass through unchanged, whichever Lua
// raised them (a C++ pointer exception of Lua 5.1, a foreign exception of LuaJIT).
template <typename F>
decltype(auto) GuardedInvoke(CHost& host, const std::string& what, F&& f) {
  std::string failure;
  try {
    return f();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (void*) {
    throw;  // the C++ build of Lua throws a pointer for its errors
  } catch (...) {
    // LuaJIT raises its errors as foreign exceptions, which only catch (...) sees: they
    // carry no C++ exception object, so current_exception() is empty for them alone.
    if (!std::current_exception()) throw;
    failure = "unknown exception";
  }
  RaiseNativeException(host, what, failure);
}

}  // namespace impl
}  // namespace uibind

#include "host/luaclasses.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/text.h"
#include "platform/windef.h"
#include "uibind/declarations.h"

namespace {

std::wstring WideFromText(const std::string& text) { return platform::Utf8ToWide(text); }

std::string Str(const std::wstring& text) { return platform::WideToUtf8(text); }
unsigned int Length(const std::wstring& text) { return static_cast<unsigned int>(text.size()); }
bool Empty(const std::wstring& text) { return text.empty(); }
std::string ToString(const std::wstring& text) { return Str(text); }
bool Equal(const std::wstring& a, const std::wstring& b) { return a == b; }
std::string ConcatWide(const std::wstring& a, const std::wstring& b) { return Str(a) + Str(b); }
std::string ConcatRight(const std::wstring& a, const std::string& b) { return Str(a) + b; }
std::string ConcatLeft(const std::string& a, const std::wstring& b) { return a + Str(b); }

HWND__* FromValue(unsigned int value) { return HandleFromValue(value); }
// The handle is a value, not an object: nothing behind the pointer is read.
unsigned int Value(const HWND__* hWnd) { return static_cast<unsigned int>(HandleValue(const_cast<HWND>(hWnd))); }
bool SameHandle(const HWND__* a, const HWND__* b) { return a == b; }
std::string HandleText(const HWND__* hWnd) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "HWND(0x%x)", Value(hWnd));
  return buffer;
}

}  // namespace

bool RegisterHostClasses(uibind::CHost& host) {
  uibind::Class<std::wstring> wide("wstring");
  wide.Constructor<>()
      .Factory(&WideFromText)
      .Constructor<const std::wstring&>(uibind::Explicit)
      .Method("str", &Str)
      .MethodWithSelf("str", &Str)
      .Method("length", &Length)
      .MethodWithSelf("length", &Length)
      .Method("empty", &Empty)
      .MethodWithSelf("empty", &Empty)
      .Operator(uibind::OP_TOSTRING, &ToString)
      .Operator(uibind::OP_EQ, &Equal)
      .Operator(uibind::OP_CONCAT, &ConcatWide)
      .Operator(uibind::OP_CONCAT, &ConcatRight)
      .Operator(uibind::OP_CONCAT, &ConcatLeft);
  uibind::NamespaceDeclaration stdNs("std");
  stdNs.Add(wide);

  uibind::Class<HWND__> handle("HWND");
  handle.Method("value", &Value)
      .MethodWithSelf("value", &Value)
      .Operator(uibind::OP_EQ, &SameHandle)
      .Operator(uibind::OP_TOSTRING, &HandleText);
  uibind::NamespaceDeclaration handleNs("HWND");
  handleNs.Add(uibind::Function("FromValue", &FromValue));

  return host.Insert(std::move(stdNs)) && host.Insert(std::move(handle)) && host.Insert(std::move(handleNs));
}

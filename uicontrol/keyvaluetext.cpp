#include "uicontrol/keyvaluetext.h"

#include <cstdint>
#include <cwchar>

std::wstring FormatKeyValueText(const KeyValueMap& entries) {
  std::wstring text;
  for (const auto& entry : entries) {
    text += entry.first;
    text += L'=';
    text += entry.second;
    text += L'\n';
  }
  return text;
}

bool IsSingleLineValue(const std::wstring& value) {
  return value.find_first_of(std::wstring(L"\n\0", 2)) == std::wstring::npos;
}

std::wstring ToSingleLine(const std::wstring& value) {
  std::wstring out(value);
  for (wchar_t& c : out) {
    if (c == L'\n' || c == L'\r' || c == L'\0') c = L' ';
  }
  return out;
}

std::wstring ToHex(uint32_t value) {
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"%x", value);
  return buffer;
}

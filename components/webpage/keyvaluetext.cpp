#include "components/webpage/keyvaluetext.h"

namespace webpage {

KeyValues ParseKeyValueText(const wchar_t* text) {
  KeyValues values;
  if (!text) return values;
  std::wstring all(text);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find(L'\n', pos);
    if (end == std::wstring::npos) end = all.size();
    std::wstring line = all.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos || eq == 0) continue;
    values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

std::wstring SafeValue(const std::wstring& value) {
  std::wstring out;
  out.reserve(value.size());
  for (wchar_t c : value) {
    if (c == L'\0') continue;
    out.push_back(c == L'\n' || c == L'\r' ? L' ' : c);
  }
  return out;
}

std::wstring WriteKeyValueText(const KeyValues& values) {
  std::wstring text;
  for (const auto& entry : values) {
    text += SafeValue(entry.first);
    text += L'=';
    text += SafeValue(entry.second);
    text += L'\n';
  }
  return text;
}

std::wstring Hex(uint64_t value) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), digits[value & 0xf]);
    value >>= 4;
  } while (value != 0);
  return text;
}

bool ParseHex32(const std::wstring& text, uint32_t* value) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t result = 0;
  for (wchar_t c : text) {
    uint32_t digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return false;
    result = (result << 4) | digit;
  }
  *value = result;
  return true;
}

bool ParseDecimal32(const std::wstring& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (result > 0xffffffffull) return false;
  *value = static_cast<uint32_t>(result);
  return true;
}

}  // namespace webpage

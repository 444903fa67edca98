#include "components/datastore/textconv.h"

#include "platform/text.h"

namespace datastore {

namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string ToUtf8(const std::wstring& text) {
  // Fast path: nothing to combine.
  bool hasPair = false;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (IsHigh(text[i]) && IsLow(text[i + 1])) {
      hasPair = true;
      break;
    }
  }
  if (!hasPair) return platform::WideToUtf8(text);
  std::wstring combined;
  combined.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size() && IsHigh(text[i]) && IsLow(text[i + 1])) {
      const uint32_t cp = 0x10000 + ((static_cast<uint32_t>(text[i]) - 0xD800) << 10) +
                          (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
      combined += static_cast<wchar_t>(cp);
      ++i;
    } else {
      combined += text[i];
    }
  }
  return platform::WideToUtf8(combined);
}

std::string ToUtf8(const wchar_t* text) { return text ? ToUtf8(std::wstring(text)) : std::string(); }

std::wstring ToWide(const std::string& text) { return platform::Utf8ToWide(text); }

}  // namespace datastore

#pragma once
// Conversions between wide text (UTF-32 wchar_t) and UTF-8, the ANSI code page here.
#include <string>

#include "platform/export.h"

namespace platform {

// Lossless for every valid code point; lone surrogates become U+FFFD.
PLATFORM_API std::string WideToUtf8(const std::wstring& text);
// Invalid or truncated sequences each become one U+FFFD.
PLATFORM_API std::wstring Utf8ToWide(const std::string& text);

// The C runtime's lower-casing in its default locale: only A to Z change.
PLATFORM_API std::wstring AsciiLower(const std::wstring& text);

}  // namespace platform

#pragma once
// Conversions between wide text (UTF-32 wchar_t) and UTF-8, the ANSI code page here.
#include <string>

#include "platform/export.h"

namespace platform {

// Lossless for every valid code point. A surrogate pair (text that went through UTF-16,
// as Windows-minded callers and pages send it) becomes its one code point; lone surrogates
// and values beyond U+10FFFF become U+FFFD. This is the one conversion to UTF-8 of the tree.
PLATFORM_API std::string WideToUtf8(const std::wstring& text);
// Invalid or truncated sequences each become one U+FFFD.
PLATFORM_API std::wstring Utf8ToWide(const std::string& text);

// The C runtime's lower-casing in its default locale: only A to Z change.
PLATFORM_API std::wstring AsciiLower(const std::wstring& text);

}  // namespace platform

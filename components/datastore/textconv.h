#pragma once
// Wide text at the interfaces, UTF-8 in the database and in XML.
#include <string>

namespace datastore {

// The tree's one conversion (platform/text.h): a surrogate pair becomes its one code
// point, lone surrogates and values beyond U+10FFFF become U+FFFD. Null reads as empty.
std::string ToUtf8(const wchar_t* text);
std::string ToUtf8(const std::wstring& text);
std::wstring ToWide(const std::string& text);

}  // namespace datastore

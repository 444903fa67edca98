#include "components/datastore/textconv.h"

#include "platform/text.h"

namespace datastore {

std::string ToUtf8(const std::wstring& text) { return platform::WideToUtf8(text); }

std::string ToUtf8(const wchar_t* text) { return text ? platform::WideToUtf8(text) : std::string(); }

std::wstring ToWide(const std::string& text) { return platform::Utf8ToWide(text); }

}  // namespace datastore

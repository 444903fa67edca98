#pragma once
// The engine's names for the shared key=value texts (uicontrol/interfaces/keyvalue.h):
// orders are read line by line, and events are written with every value made single-line,
// so that nothing a page says can add a line of its own.
#include <string>

#include "uicontrol/interfaces/keyvalue.h"

namespace webpage {

using KeyValues = keyvalue::Map;

inline KeyValues ParseKeyValueText(const wchar_t* text) { return keyvalue::Parse(text, keyvalue::Reading::kAllLines); }
inline std::wstring WriteKeyValueText(const KeyValues& values) { return keyvalue::WriteSanitized(values); }
inline std::wstring SafeValue(const std::wstring& value) { return keyvalue::SingleLine(value); }
using keyvalue::Hex;
using keyvalue::ParseDecimal32;
using keyvalue::ParseHex32;

}  // namespace webpage

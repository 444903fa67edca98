#pragma once
// The key=value text shared by page orders and data store parameters: one line
// key "=" value "\n" per entry, keys in ascending order, nothing escaped.
#include <cstdint>
#include <map>
#include <string>

#include "uicontrol/export.h"

using KeyValueMap = std::map<std::wstring, std::wstring>;

UICONTROL_API std::wstring FormatKeyValueText(const KeyValueMap& entries);

// Since nothing is escaped, a value holding a line feed would be read as further lines,
// and one holding NUL would be cut short where the text is handed on. Public operations
// refuse such texts.
UICONTROL_API bool IsSingleLineValue(const std::wstring& value);
// For texts that come from a page and must be kept: line feeds, carriage returns and NULs
// become spaces.
UICONTROL_API std::wstring ToSingleLine(const std::wstring& value);
// Lower-case hexadecimal without prefix, as "%x" writes it.
UICONTROL_API std::wstring ToHex(uint32_t value);

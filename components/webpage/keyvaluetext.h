#pragma once
// The key=value texts that carry orders into a page and events out of it: one line
// name "=" value per entry, names in ascending order, every line ended by a line feed,
// nothing escaped. Numbers are lower-case hexadecimal without prefix.
#include <cstdint>
#include <map>
#include <string>

namespace webpage {

using KeyValues = std::map<std::wstring, std::wstring>;

// Reads a text line by line: each line is split at its first "="; lines without a name
// (empty, no "=", or starting with "=") are skipped; a later name replaces an earlier one.
// A null text gives an empty map.
KeyValues ParseKeyValueText(const wchar_t* text);

// Writes the map in the line format. Values are made safe first (SafeValue), so that a
// value can never add a line of its own.
std::wstring WriteKeyValueText(const KeyValues& values);

// A value as it may appear in a line: line feeds and carriage returns become spaces,
// NUL characters are dropped.
std::wstring SafeValue(const std::wstring& value);

std::wstring Hex(uint64_t value);

// Reads a whole text of 1 to 8 hexadecimal digits (either case, no prefix, no sign).
bool ParseHex32(const std::wstring& text, uint32_t* value);

// Reads a whole decimal text of digits (no sign) that fits 32 bits.
bool ParseDecimal32(const std::wstring& text, uint32_t* value);

}  // namespace webpage

#pragma once
// The library's side of the key=value texts (uicontrol/interfaces/keyvalue.h): page orders
// and store parameters are written checked, so a value that would add a line never
// reaches a page or the store.
#include <string>

#include "uicontrol/export.h"
#include "uicontrol/interfaces/keyvalue.h"

using KeyValueMap = keyvalue::Map;

// The text of the entries; empty, with a warning in the log, when a value would add a
// line (callers check values from outside first, so this is a last guard).
UICONTROL_API std::wstring FormatKeyValueText(const KeyValueMap& entries);

#pragma once
// The plain reading of an event text into a map, written as directly as possible: the
// oracle that the library's one-pass readings and the tab record are checked against.
#include <cstdint>
#include <cwchar>
#include <map>
#include <string>

#include "uicontrol/eventtext.h"

using EventParams = std::map<std::wstring, std::wstring>;

// Lines split at line feeds and each line at its first '='; nothing is trimmed. A line
// whose second character is a line feed ends the parse (a one-character line, or two line
// feeds in a row); lines without a name store nothing; a later name replaces an earlier.
inline EventParams ParseEventText(const wchar_t* text) {
  EventParams params;
  if (!text) return params;
  const std::wstring s(text);
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    if (i + 1 < n && s[i + 1] == L'\n') break;
    size_t end = s.find(L'\n', i);
    if (end == std::wstring::npos) end = n;
    const std::wstring line = s.substr(i, end - i);
    i = end + 1;
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && eq > 0) params[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return params;
}

inline std::wstring EventTextValue(const EventParams& params, const std::wstring& name) {
  auto it = params.find(name);
  return it == params.end() ? std::wstring() : it->second;
}
inline uint32_t EventNumberValue(const EventParams& params, const std::wstring& name) {
  return EventNumberOf(EventTextValue(params, name));
}
// "PERCENT" as the C library reads a base-16 long of 32 bits: saturated at its limits,
// then stored in an unsigned field (a negative value wraps).
inline uint32_t EventPercentValue(const EventParams& params, const std::wstring& name) {
  const std::wstring value = EventTextValue(params, name);
  long long number = std::wcstoll(value.c_str(), nullptr, 16);
  if (number > INT32_MAX) number = INT32_MAX;
  if (number < INT32_MIN) number = INT32_MIN;
  return static_cast<uint32_t>(static_cast<int32_t>(number));
}
inline bool EventFlagValue(const EventParams& params, const std::wstring& name) {
  return EventFlagOf(EventTextValue(params, name));
}

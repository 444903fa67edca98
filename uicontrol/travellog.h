#pragma once
// The page's travel log texts ("TRAVELLOG_BACK", "TRAVELLOG_FORE"): entries separated by
// character 3, each a decimal index, character 2 and a value; the value is the URL,
// character 1 and the title.
#include <map>
#include <string>

using TravelLogMap = std::map<std::wstring, std::wstring>;

// Index text -> value. Empty entries, entries without character 2 and entries starting
// with it add nothing; a later entry replaces an earlier one of the same index. Reading
// stops at the end, or where the character after the current position is character 3.
TravelLogMap ParseTravelLog(const std::wstring& text);

struct TravelLogEntry {
  std::wstring strURL;
  std::wstring strTitle;
};

// Splits a value at its first character 1; without one the value is both URL and title.
// An empty title becomes the URL.
TravelLogEntry SplitTravelLogValue(const std::wstring& value);

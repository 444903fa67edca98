#pragma once
// The travel log texts of a page ("TRAVELLOG_BACK", "TRAVELLOG_FORE"): entries separated
// by character 3; each entry is a decimal index, character 2 and the value; the value is
// the URL, character 1 and the title. Index 0 is the entry next to the current page.
#include <string>
#include <vector>

namespace webpage {

struct HistoryEntry {
  std::wstring url;
  std::wstring title;
  long long id = 0;  // the engine's entry id
};

struct NavigationHistory {
  std::vector<HistoryEntry> entries;
  int current = -1;  // index of the page shown; -1 when unknown
};

// The pages before the current one, nearest first.
std::wstring BuildBackTravelLog(const NavigationHistory& history);
// The pages after the current one, nearest first.
std::wstring BuildForeTravelLog(const NavigationHistory& history);

}  // namespace webpage

#include "uicontrol/travellog.h"

namespace {
constexpr wchar_t kTitleSeparator = L'\x01';
constexpr wchar_t kIndexSeparator = L'\x02';
constexpr wchar_t kEntrySeparator = L'\x03';
}  // namespace

TravelLogMap ParseTravelLog(const std::wstring& text) {
  TravelLogMap entries;
  size_t p = 0;
  while (p < text.size()) {
    if (p + 1 < text.size() && text[p + 1] == kEntrySeparator) break;
    const size_t separator = text.find(kEntrySeparator, p);
    const size_t end = separator == std::wstring::npos ? text.size() : separator;
    const std::wstring entry = text.substr(p, end - p);
    p = separator == std::wstring::npos ? text.size() : separator + 1;

    const size_t split = entry.find(kIndexSeparator);
    if (split == std::wstring::npos || split == 0) continue;
    entries[entry.substr(0, split)] = entry.substr(split + 1);
  }
  return entries;
}

TravelLogEntry SplitTravelLogValue(const std::wstring& value) {
  TravelLogEntry entry;
  const size_t split = value.find(kTitleSeparator);
  if (split == std::wstring::npos) {
    entry.strURL = value;
    entry.strTitle = value;
  } else {
    entry.strURL = value.substr(0, split);
    entry.strTitle = value.substr(split + 1);
  }
  if (entry.strTitle.empty()) entry.strTitle = entry.strURL;
  return entry;
}

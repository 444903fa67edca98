#include "components/webpage/travellog.h"

namespace webpage {
namespace {

// Control characters would break the separators (1, 2, 3) or the line format.
std::wstring Clean(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) {
    if (c < 0x20) c = L' ';
  }
  return out;
}

void Append(std::wstring* log, int index, const HistoryEntry& entry) {
  if (!log->empty()) log->push_back(L'\x03');
  *log += std::to_wstring(index);
  log->push_back(L'\x02');
  *log += Clean(entry.url);
  log->push_back(L'\x01');
  *log += Clean(entry.title.empty() ? entry.url : entry.title);
}

bool Valid(const NavigationHistory& history) {
  return history.current >= 0 && history.current < static_cast<int>(history.entries.size());
}

}  // namespace

std::wstring BuildBackTravelLog(const NavigationHistory& history) {
  std::wstring log;
  if (!Valid(history)) return log;
  for (int i = history.current - 1, index = 0; i >= 0; --i, ++index) Append(&log, index, history.entries[i]);
  return log;
}

std::wstring BuildForeTravelLog(const NavigationHistory& history) {
  std::wstring log;
  if (!Valid(history)) return log;
  int count = static_cast<int>(history.entries.size());
  for (int i = history.current + 1, index = 0; i < count; ++i, ++index) Append(&log, index, history.entries[i]);
  return log;
}

}  // namespace webpage

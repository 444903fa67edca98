#include "components/pagecore/historyreplay.h"

#include <algorithm>

namespace pagecore {

namespace {

std::vector<HistoryEntry> NonEmpty(std::vector<HistoryEntry> entries) {
  if (entries.empty()) entries.push_back({L"about:blank", L""});
  return entries;
}

}  // namespace

CHistoryReplay::CHistoryReplay(std::vector<HistoryEntry> entries, int index)
    : m_entries(NonEmpty(std::move(entries))),
      m_index(std::clamp(index, 0, static_cast<int>(m_entries.size()) - 1)),
      m_loads(static_cast<int>(m_entries.size()) * 2 - 1 - m_index) {}

bool CHistoryReplay::OnEvent(const std::wstring& key, Step* next) {
  *next = Step();
  if (Finished()) return false;
  // A load ends with its document or its failure; a failed entry is kept as it is.
  if (key == L"DOCUMENTCOMPLETE" || key == L"NAVIGATEERROR") {
    ++m_load;
    const int count = static_cast<int>(m_entries.size());
    if (m_load < count) {
      next->kind = Step::kNavigate;
      next->url = m_entries[static_cast<size_t>(m_load)].url;
    } else {
      next->kind = Step::kBack;
    }
  }
  return true;
}

}  // namespace pagecore

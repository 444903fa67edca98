#include "host/sessionsnapshot.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/text.h"
#include "uicontrol/interfaces/keyvalue.h"

namespace {

void AddEntries(const SessionTabState& tab, const std::wstring& prefix, std::vector<std::pair<std::wstring, std::wstring>>* out) {
  for (size_t j = 0; j < tab.entries.size(); ++j) {
    out->push_back({prefix + L"url." + std::to_wstring(j), tab.entries[j].url});
    out->push_back({prefix + L"title." + std::to_wstring(j), tab.entries[j].title});
  }
  out->push_back({prefix + L"index", std::to_wstring(tab.index)});
}

std::wstring Join(const std::vector<std::pair<std::wstring, std::wstring>>& pairs) {
  std::wstring text;
  for (const auto& pair : pairs) text += pair.first + L"=" + keyvalue::SingleLine(pair.second) + L"\n";
  return text;
}

bool ReadTab(const TiXmlElement* element, SessionTabState* tab) {
  tab->entries.clear();
  for (const TiXmlElement* e = element->FirstChildElement("Entry"); e; e = e->NextSiblingElement("Entry")) {
    const char* url = e->Attribute("url");
    const char* title = e->Attribute("title");
    tab->entries.push_back({platform::Utf8ToWide(url ? url : ""), platform::Utf8ToWide(title ? title : "")});
  }
  const char* index = element->Attribute("index");
  tab->index = index ? std::atoi(index) : 0;
  return NormalizeTab(tab);
}

bool Parse(const std::wstring& text, TiXmlDocument* doc, const char* root) {
  const std::string utf8 = platform::WideToUtf8(text);
  doc->Parse(utf8.c_str());
  return !doc->Error() && doc->RootElement() && doc->RootElement()->ValueStr() == root;
}

}  // namespace

bool NormalizeTab(SessionTabState* tab) {
  std::vector<SessionEntry> kept;
  int index = 0;
  for (size_t j = 0; j < tab->entries.size(); ++j) {
    if (tab->entries[j].url.empty()) continue;
    if (static_cast<int>(j) <= tab->index) index = static_cast<int>(kept.size());
    kept.push_back(tab->entries[j]);
  }
  if (kept.empty()) {
    tab->entries.clear();
    tab->index = 0;
    return false;
  }
  // The window of kept entries: centred on the shown one where both sides have enough.
  const size_t size = kept.size();
  size_t first = 0;
  if (size > kSessionEntriesKept) {
    const size_t half = kSessionEntriesKept / 2;
    const size_t shown = static_cast<size_t>(index);
    first = shown > half ? std::min(shown - half, size - kSessionEntriesKept) : 0;
  }
  const size_t count = std::min(size, kSessionEntriesKept);
  tab->entries.assign(kept.begin() + static_cast<long>(first), kept.begin() + static_cast<long>(first + count));
  tab->index = index - static_cast<int>(first);
  return true;
}

std::wstring SessionParams(const SessionSnapshot& snapshot) {
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  int count = 0, selected = -1;
  for (size_t i = 0; i < snapshot.tabs.size(); ++i) {
    SessionTabState tab = snapshot.tabs[i];
    if (tab.isPrivate || !NormalizeTab(&tab)) continue;
    if (static_cast<int>(i) == snapshot.selected) selected = count;
    AddEntries(tab, L"tab." + std::to_wstring(count) + L".", &pairs);
    ++count;
  }
  pairs.insert(pairs.begin(), {{L"count", std::to_wstring(count)}, {L"selected", std::to_wstring(selected)}});
  return Join(pairs);
}

std::wstring TabEntryParams(const SessionTabState& tab) {
  SessionTabState kept = tab;
  if (kept.isPrivate || !NormalizeTab(&kept)) return std::wstring();
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  AddEntries(kept, L"", &pairs);
  return Join(pairs);
}

bool ReadSessionDocument(const std::wstring& text, SessionSnapshot* snapshot) {
  *snapshot = SessionSnapshot();
  TiXmlDocument doc;
  if (!Parse(text, &doc, "Session")) return false;
  const char* selected = doc.RootElement()->Attribute("selected");
  const int wanted = selected ? std::atoi(selected) : -1;
  int place = 0;
  for (const TiXmlElement* e = doc.RootElement()->FirstChildElement("Tab"); e; e = e->NextSiblingElement("Tab"), ++place) {
    SessionTabState tab;
    if (!ReadTab(e, &tab)) continue;
    if (place == wanted) snapshot->selected = static_cast<int>(snapshot->tabs.size());
    snapshot->tabs.push_back(std::move(tab));
  }
  return true;
}

bool ReadTabDocument(const std::wstring& text, SessionTabState* tab) {
  *tab = SessionTabState();
  TiXmlDocument doc;
  if (!Parse(text, &doc, "Tab")) return false;
  return ReadTab(doc.RootElement(), tab);
}

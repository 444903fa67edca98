#include "host/sessionkeeper.h"

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <map>

#include "host/recovery.h"
#include "platform/text.h"
#include "uicontrol/interfaces/keyvalue.h"
#include "uicontrol/interfaces/webpage.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

std::wstring EventValue(const std::wstring& text, const wchar_t* name) {
  std::wstring_view value;
  if (!keyvalue::FindValue(text, name, keyvalue::Reading::kEventText, &value)) return std::wstring();
  return std::wstring(value);
}

// Index -> value of a travel log text: entries separated by character 3, each an index,
// character 2 and the value.
std::map<long, std::wstring> TravelLogEntries(const std::wstring& text) {
  std::map<long, std::wstring> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\x03', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring entry = text.substr(start, end - start);
    const size_t split = entry.find(L'\x02');
    if (split != std::wstring::npos && split > 0) {
      entries[std::wcstol(entry.substr(0, split).c_str(), nullptr, 10)] = entry.substr(split + 1);
    }
    start = end + 1;
  }
  return entries;
}

SessionEntry EntryFromValue(const std::wstring& value) {
  const size_t split = value.find(L'\x01');
  if (split == std::wstring::npos) return {value, value};
  return {value.substr(0, split), value.substr(split + 1)};
}

std::wstring ReadPageData(IWebPageData* data, const wchar_t* name) {
  wchar_t* value = nullptr;
  std::wstring text;
  if (SUCCEEDED(data->GetData(name, &value)) && value) text = value;
  if (value) data->FreeData(value);
  return text;
}

bool QueryText(IDataAccessor* store, const wchar_t* name, const std::wstring& params, std::wstring* out) {
  com_ptr<IDataAccessorII> ii;
  if (!store || FAILED(com_ptr<IDataAccessor>(store).QueryInterface(ii))) return false;
  com_ptr<IDataHolder> holder;
  ii->QueryData(name, params.c_str(), &holder);
  if (!holder) return false;
  const wchar_t* text = nullptr;
  holder->GetText(&text);
  *out = text ? text : L"";
  return true;
}

int64_t ReadNumberSetting(IDataAccessor* store, const wchar_t* name) {
  wchar_t* value = nullptr;
  int64_t number = 0;
  if (SUCCEEDED(store->GetData(name, &value)) && value) number = std::wcstoll(value, nullptr, 10);
  if (value) store->FreeData(value);
  return number;
}

}  // namespace

SessionTabState TabFromTravelLog(const std::wstring& back, const std::wstring& forward, const std::wstring& url,
                                 const std::wstring& title) {
  SessionTabState tab;
  const std::map<long, std::wstring> backs = TravelLogEntries(back);
  // Back index 0 is the entry just before the shown one.
  for (auto it = backs.rbegin(); it != backs.rend(); ++it) tab.entries.push_back(EntryFromValue(it->second));
  tab.index = static_cast<int>(tab.entries.size());
  tab.entries.push_back({url, title.empty() ? url : title});
  for (const auto& entry : TravelLogEntries(forward)) tab.entries.push_back(EntryFromValue(entry.second));
  NormalizeTab(&tab);
  return tab;
}

SessionTabState MergeReopened(const SessionTabState& kept, const SessionTabState& page, bool* pageHasAll) {
  *pageHasAll = false;
  if (kept.Empty()) return page;
  if (page.Empty() || (page.entries.size() == 1 && page.Current().url == kept.Current().url)) {
    // Nothing loaded yet, or just the kept page: the tab is what was kept.
    return kept;
  }
  const auto keptIndex = static_cast<size_t>(kept.index);
  if (page.entries[0].url == kept.Current().url) {
    // The page's own history begins at the kept page: the kept back entries come first.
    SessionTabState merged;
    merged.entries.assign(kept.entries.begin(), kept.entries.begin() + static_cast<long>(keptIndex));
    merged.entries.insert(merged.entries.end(), page.entries.begin(), page.entries.end());
    merged.index = kept.index + page.index;
    NormalizeTab(&merged);
    return merged;
  }
  // The page loaded the kept entries again.
  if (page.entries.size() >= kept.entries.size()) {
    *pageHasAll = true;
    return page;
  }
  // The page loaded only the first of the kept entries (or none) before the user took
  // it elsewhere, which ends the loading. How many it holds again:
  size_t loaded = 0;
  while (loaded < page.entries.size() && page.entries[loaded].url == kept.entries[loaded].url) ++loaded;
  // It shows the last it loaded again: the loading is under way (or was stopped there),
  // and the kept entries stand for the tab as they were.
  if (loaded > 0 && loaded == page.entries.size() && static_cast<size_t>(page.index) + 1 == loaded) return kept;
  // It shows an earlier one: the user went back within them; the kept entries count.
  if (static_cast<size_t>(page.index) < loaded) {
    SessionTabState merged = kept;
    merged.index = page.index;
    return merged;
  }
  // It shows a page of its own, reached from the kept one: the kept entries up to the one
  // shown, then the page's own, so that the shown entry is never lost.
  SessionTabState merged;
  const size_t first = std::max(keptIndex + 1, loaded);
  merged.entries.assign(kept.entries.begin(), kept.entries.begin() + static_cast<long>(first));
  merged.entries.insert(merged.entries.end(), page.entries.begin() + static_cast<long>(loaded), page.entries.end());
  merged.index = static_cast<int>(first) + page.index - static_cast<int>(loaded);
  NormalizeTab(&merged);
  return merged;
}

CSessionKeeper::CSessionKeeper(IDataAccessor* store) : m_store(store) {}

CSessionKeeper::~CSessionKeeper() {
  if (m_writer) m_writer->Stop();
}

LastRun CSessionKeeper::ReadLastRun(bool unclean) {
  LastRun last;
  last.unclean = unclean;
  std::wstring document;
  SessionSnapshot snapshot;
  if (QueryText(m_store, L"get.session", L"", &document)) ReadSessionDocument(document, &snapshot);
  const int64_t restored = ReadNumberSetting(m_store, L"session.restored");
  const int64_t saved = ReadNumberSetting(m_store, L"session.saved");
  last.crashLoop = unclean && restored > 0 && saved >= restored && saved - restored < kCrashLoopSeconds;
  // This run has restored nothing yet.
  WriteSetting(L"session.restored", 0);
  last.selected = snapshot.selected;
  const std::wstring prefix = L"session-" + std::to_wstring(static_cast<long long>(std::time(nullptr))) + L"-";
  platform::CMutexLock lock(m_mutex);
  for (size_t i = 0; i < snapshot.tabs.size(); ++i) {
    const SessionTabState& tab = snapshot.tabs[i];
    const std::wstring key = prefix + std::to_wstring(i);
    m_waiting[key] = tab;
    last.tabs.push_back({platform::WideToUtf8(key), platform::WideToUtf8(tab.Current().title),
                         platform::WideToUtf8(tab.Current().url)});
  }
  return last;
}

void CSessionKeeper::Start(std::chrono::milliseconds interval) {
  IDataAccessor* store = m_store;
  m_writer = std::make_unique<CSessionWriter>([this] { return Collect(); },
                                              [store](const std::wstring& params) {
                                                store->SetData(L"save.session", params.c_str());
                                              },
                                              interval);
}

void CSessionKeeper::SetTabs(const std::vector<OpenTab>& tabs, unsigned int selected) {
  {
    platform::CMutexLock lock(m_mutex);
    if (m_quitting) return;
    m_order = tabs;
    m_selected = selected;
    // Tabs that are gone take their shown page with them.
    for (auto it = m_shown.begin(); it != m_shown.end();) {
      bool open = false;
      for (const OpenTab& tab : tabs) open = open || tab.id == it->first;
      it = open ? std::next(it) : m_shown.erase(it);
    }
  }
  if (m_writer) m_writer->Changed();
}

void CSessionKeeper::PageEvent(unsigned int id, const std::wstring& key, const std::wstring& value) {
  if (id == 0) return;
  const bool shown = key == L"NAVIGATECOMPLETE" || key == L"DOCUMENTCOMPLETE";
  if (!shown && key != L"TITLECHANGE") return;
  const std::wstring url = EventValue(value, L"URL");
  if (url.empty()) return;
  {
    platform::CMutexLock lock(m_mutex);
    SessionEntry& entry = m_shown[id];
    if (shown && entry.url != url) entry = {url, url};
    if (key == L"TITLECHANGE" && entry.url == url) entry.title = EventValue(value, L"TITLE");
  }
  if (m_writer) m_writer->Changed();
}

void CSessionKeeper::Arm() {
  if (m_writer) m_writer->Arm();
}

void CSessionKeeper::UserClosing(unsigned int id, bool discard) {
  SessionTabState tab = ReadTab(id);
  platform::CMutexLock lock(m_mutex);
  for (const OpenTab& open : m_order) {
    if (open.id == id) tab.isPrivate = open.isPrivate;
  }
  // Kept out of the closed list the way a private tab is.
  if (discard) tab.isPrivate = true;
  m_userClosed.push_back(std::move(tab));
  // A page that never reports its close leaves its entry; the list stays short.
  while (m_userClosed.size() > 16) m_userClosed.pop_front();
}

void CSessionKeeper::Restored() { WriteSetting(L"session.restored", static_cast<int64_t>(std::time(nullptr))); }

void CSessionKeeper::Quit() {
  {
    platform::CMutexLock lock(m_mutex);
    m_quitting = true;
  }
  if (m_writer) m_writer->Stop();
}

void CSessionKeeper::ClosedForRecovery(const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
  SessionTabState tab;
  bool found = false;
  {
    platform::CMutexLock lock(m_mutex);
    // Tabs closed by quitting stay in the saved session, not in the closed list.
    if (m_quitting) return;
    for (auto it = m_userClosed.begin(); it != m_userClosed.end(); ++it) {
      if (!it->Empty() && it->Current().url == url) {
        tab = std::move(*it);
        m_userClosed.erase(it);
        found = true;
        break;
      }
    }
    if (!found && !m_userClosed.empty()) {
      tab = std::move(m_userClosed.front());
      m_userClosed.pop_front();
      found = true;
    }
  }
  if (tab.isPrivate) return;
  SaveClosedTab(m_store, uuid, title, url, found ? TabEntryParams(tab) : std::wstring());
  if (m_writer) m_writer->Changed();
  // The interface's list of closed tabs follows.
  CTabManager::NotifyData(L"TabKeptForRecovery", uuid);
}

bool CSessionKeeper::Lookup(const std::wstring& key, std::wstring* url, SessionTabState* history) {
  {
    platform::CMutexLock lock(m_mutex);
    auto waiting = m_waiting.find(key);
    if (waiting != m_waiting.end()) {
      *history = std::move(waiting->second);
      m_waiting.erase(waiting);
      *url = history->Current().url;
      m_reopened[key] = *history;
      return true;
    }
  }
  std::wstring document;
  if (QueryText(m_store, L"get.recover.tab", keyvalue::WriteSanitized({{L"uuid", key}}), &document) &&
      ReadTabDocument(document, history)) {
    *url = history->Current().url;
    {
      platform::CMutexLock lock(m_mutex);
      m_reopened[key] = *history;
    }
    ForgetClosedTab(m_store, key);
    // Off the list: the interface reads it again.
    CTabManager::NotifyData(L"TabKeptForRecovery", key);
    return true;
  }
  // A tab kept before the entries were (or by another program): by its address alone.
  if (!LookupClosedTab(m_store, key, url)) return false;
  history->entries.assign(1, {*url, *url});
  history->index = 0;
  CTabManager::NotifyData(L"TabKeptForRecovery", key);
  return true;
}

SessionTabState CSessionKeeper::ReadTab(unsigned int id) {
  CTabInfo info = CTabManager::Instance().FindTabInfo(id);
  std::wstring url = info.strURL.Get();
  std::wstring title = info.strTitle.Get();
  {
    platform::CMutexLock lock(m_mutex);
    auto shown = m_shown.find(id);
    if (shown != m_shown.end()) {
      url = shown->second.url;
      title = shown->second.title;
    } else {
      for (const OpenTab& open : m_order) {
        if (open.id == id && url.empty()) url = title = open.url;
      }
    }
  }
  std::wstring back, forward;
  com_ptr<IWebPage> page = info.spWebPage.Get();
  com_ptr<IWebPageData> data;
  if (page && SUCCEEDED(page.QueryInterface(data)) && data) {
    back = ReadPageData(data.get(), L"TRAVELLOG_BACK");
    forward = ReadPageData(data.get(), L"TRAVELLOG_FORE");
  }
  return TabFromTravelLog(back, forward, url, title);
}

SessionSnapshot CSessionKeeper::Collect() {
  std::vector<OpenTab> order;
  unsigned int selected = 0;
  {
    platform::CMutexLock lock(m_mutex);
    order = m_order;
    selected = m_selected;
  }
  SessionSnapshot snapshot;
  for (const OpenTab& open : order) {
    // A private tab's page is not even read.
    SessionTabState tab;
    tab.isPrivate = open.isPrivate;
    if (!tab.isPrivate) tab = ReadTab(open.id);
    if (!tab.isPrivate && !open.key.empty()) KeepReopened(open.key, open.id, &tab);
    if (open.id == selected) snapshot.selected = static_cast<int>(snapshot.tabs.size());
    snapshot.tabs.push_back(std::move(tab));
  }
  return snapshot;
}

void CSessionKeeper::KeepReopened(const std::wstring& key, unsigned int id, SessionTabState* tab) {
  platform::CMutexLock lock(m_mutex);
  auto kept = m_reopened.find(key);
  if (kept == m_reopened.end()) {
    // Not yet taken by its page: the tab is what was kept.
    auto waiting = m_waiting.find(key);
    if (waiting != m_waiting.end()) *tab = waiting->second;
    return;
  }
  if (m_shown.find(id) == m_shown.end()) {
    // The page is still loading the kept entries one by one and reports none of those
    // loads: what its history holds meanwhile is the loading's progress, not a place the
    // user chose, so the tab is what was kept.
    *tab = kept->second;
    return;
  }
  bool pageHasAll = false;
  *tab = MergeReopened(kept->second, *tab, &pageHasAll);
  if (pageHasAll) m_reopened.erase(kept);
}

void CSessionKeeper::WriteSetting(const wchar_t* name, int64_t value) {
  if (m_store) m_store->SetData(name, std::to_wstring(value).c_str());
}

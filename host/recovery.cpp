#include "host/recovery.h"

#include <cwchar>
#include <fstream>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/keyvalue.h"

using qxdk::UTIL::com_ptr;

namespace {

bool Query(IDataAccessorII* store, const wchar_t* name, const std::wstring& params, std::wstring* out) {
  com_ptr<IDataHolder> holder;
  store->QueryData(name, params.c_str(), &holder);
  if (!holder) return false;
  const wchar_t* text = nullptr;
  holder->GetText(&text);
  *out = text ? text : L"";
  return true;
}

void Forget(IDataAccessor* store, const std::wstring& uuid) {
  store->SetData(L"clear.recover.all", keyvalue::WriteSanitized({{L"uuid", uuid}}).c_str());
}

// Walks the recover list until `visit` (index, uuid, url) returns true.
template <typename Visit>
void ForEachClosedTab(IDataAccessor* store, Visit visit) {
  com_ptr<IDataAccessorII> ii;
  if (!store || FAILED(com_ptr<IDataAccessor>(store).QueryInterface(ii))) return;
  std::wstring count;
  if (!Query(ii.get(), L"get.recover.index.section.count", L"", &count)) return;
  const long n = std::wcstol(count.c_str(), nullptr, 10);
  for (long i = 0; i < n && i < 10000; ++i) {
    const std::wstring id = keyvalue::Hex(static_cast<uint64_t>(i));
    std::wstring uuid, url;
    if (!Query(ii.get(), L"get.recover.index.value", keyvalue::WriteSanitized({{L"id", id}, {L"key", L"uuid"}}), &uuid))
      continue;
    Query(ii.get(), L"get.recover.index.value", keyvalue::WriteSanitized({{L"id", id}, {L"key", L"url"}}), &url);
    if (visit(uuid, url)) return;
  }
}

std::string Field(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url) {
  if (!store || uuid.empty() || url.empty()) return;
  std::vector<std::wstring> same;
  ForEachClosedTab(store, [&](const std::wstring& kept, const std::wstring& keptURL) {
    if (keptURL == keyvalue::SingleLine(url)) same.push_back(kept);
    return false;
  });
  for (const std::wstring& kept : same) Forget(store, kept);
  const std::wstring text =
      keyvalue::WriteSanitized({{L"title", title.empty() ? url : title}, {L"url", url}, {L"uuid", uuid}});
  store->SetData(L"save.recover.tab", text.c_str());
}

bool LookupClosedTab(IDataAccessor* store, const std::wstring& uuid, std::wstring* url) {
  bool found = false;
  ForEachClosedTab(store, [&](const std::wstring& kept, const std::wstring& keptURL) {
    if (kept != uuid || keptURL.empty()) return false;
    *url = keptURL;
    found = true;
    return true;
  });
  if (found) Forget(store, uuid);
  return found;
}

bool WriteSessionFile(const std::string& path, const std::vector<SessionTab>& tabs) {
  std::ofstream out(path, std::ios::trunc);
  for (const SessionTab& tab : tabs) out << Field(tab.uuid) << '\t' << Field(tab.title) << '\t' << Field(tab.url) << '\n';
  return static_cast<bool>(out);
}

std::vector<SessionTab> ReadSessionFile(const std::string& path) {
  std::vector<SessionTab> tabs;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? std::string::npos : line.find('\t', first + 1);
    if (second == std::string::npos || first == 0) continue;
    tabs.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
  }
  return tabs;
}

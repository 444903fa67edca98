#include "host/recovery.h"

#include <cwchar>
#include <vector>

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

}  // namespace

void ForgetClosedTab(IDataAccessor* store, const std::wstring& uuid) {
  store->SetData(L"clear.recover.all", keyvalue::WriteSanitized({{L"uuid", uuid}}).c_str());
}

void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url, const std::wstring& entryParams) {
  if (!store || uuid.empty() || url.empty()) return;
  std::vector<std::wstring> same;
  ForEachClosedTab(store, [&](const std::wstring& kept, const std::wstring& keptURL) {
    if (keptURL == keyvalue::SingleLine(url)) same.push_back(kept);
    return false;
  });
  for (const std::wstring& kept : same) ForgetClosedTab(store, kept);
  const std::wstring text =
      keyvalue::WriteSanitized({{L"title", title.empty() ? url : title}, {L"url", url}, {L"uuid", uuid}}) + entryParams;
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
  if (found) ForgetClosedTab(store, uuid);
  return found;
}

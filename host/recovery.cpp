#include "host/recovery.h"

#include <cwchar>

#include "uicontrol/com/qxcom.h"

using qxdk::UTIL::com_ptr;

namespace {

std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'\n' || c == L'\r' || c == L'\0') c = L' ';
  }
  return text;
}

bool Query(IDataAccessorII* store, const wchar_t* name, const std::wstring& params, std::wstring* out) {
  com_ptr<IDataHolder> holder;
  store->QueryData(name, params.c_str(), &holder);
  if (!holder) return false;
  const wchar_t* text = nullptr;
  holder->GetText(&text);
  *out = text ? text : L"";
  return true;
}

}  // namespace

void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url) {
  if (!store || uuid.empty() || url.empty()) return;
  const std::wstring text = L"title=" + OneLine(title.empty() ? url : title) + L"\nurl=" + OneLine(url) +
                            L"\nuuid=" + OneLine(uuid) + L"\n";
  store->SetData(L"save.recover.tab", text.c_str());
}

bool LookupClosedTab(IDataAccessor* store, const std::wstring& uuid, std::wstring* url) {
  com_ptr<IDataAccessorII> ii;
  if (!store || FAILED(com_ptr<IDataAccessor>(store).QueryInterface(ii))) return false;
  std::wstring count;
  if (!Query(ii.get(), L"get.recover.index.section.count", L"", &count)) return false;
  const long n = std::wcstol(count.c_str(), nullptr, 10);
  for (long i = 0; i < n && i < 10000; ++i) {
    wchar_t id[16];
    std::swprintf(id, 16, L"%lx", static_cast<unsigned long>(i));
    std::wstring found;
    if (!Query(ii.get(), L"get.recover.index.value", std::wstring(L"id=") + id + L"\nkey=uuid\n", &found)) continue;
    if (found != uuid) continue;
    return Query(ii.get(), L"get.recover.index.value", std::wstring(L"id=") + id + L"\nkey=url\n", url) &&
           !url->empty();
  }
  return false;
}

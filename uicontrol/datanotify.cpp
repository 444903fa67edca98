// The data store's change notifications: the subscription made when the store is
// installed, and the reaction to each notification.
#include <cwchar>

#include "logging/logging.h"
#include "uicontrol/datamessages.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// In subscription order.
const wchar_t* const kDataChangeNames[] = {
    L"add_favor",          L"update_favor",               L"del_favor",            L"del_favor_set",
    L"set_search_default", L"set_default_browser_quorla", L"insert.recover.index", L"page.size",
};

bool Is(const wchar_t* name, const wchar_t* expected) { return std::wcscmp(name, expected) == 0; }

}  // namespace

void CTabManager::RegisterDataChange() {
  com_ptr<IDataAccessorNotifier> spNotifier;
  com_ptr<IDataAccessor> spStore = m_spDataAccessor.Get();
  if (spStore) spStore.QueryInterface(spNotifier);
  if (spNotifier) {
    for (const wchar_t* name : kDataChangeNames) {
      uintptr_t cookie = 0;  // subscriptions last as long as the store
      spNotifier->Subscribe(name, static_cast<INotifierStub*>(this), &cookie);
    }
  } else {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kNoStoreNotifier;
  }
  GetBusinessSearch();
}

// Runs on the store's notifying thread; the list reactions only post tasks.
HRESULT CTabManager::Notify(const wchar_t* name, const wchar_t* value, const wchar_t*) {
  if (!name) return 0;
  if (Is(name, L"add_favor") || Is(name, L"update_favor") || Is(name, L"del_favor") || Is(name, L"del_favor_set")) {
    GetAllFavoriteItems();
    GetFavoriteByFloder();
  } else if (Is(name, L"set_search_default")) {
    GetAllSearchLlists();
  } else if (Is(name, L"set_default_browser_quorla")) {
    SetDefaultBrowser(!IsDefaultBrowser());
  } else if (Is(name, L"insert.recover.index")) {
    GetRecoverLists();
  } else if (Is(name, L"page.size")) {
    CTabManager::Notify(0u, L"page.size", value ? value : L"");
  }
  return 0;
}

#include "uicontrol/searchtasks.h"

#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

bool CTaskGetAllSearchList::Execute() {
  std::wstring text;
  if (QueryStoreText(m_spStore.get(), L"query_search_all_ui", L"", &text)) {
    CTabManager::NotifyData(L"GetAllSearchLists", text);
  }
  return true;
}

bool CTaskSetDefaultSearch::Execute() {
  if (!m_spStore) return true;
  // A single pair without the final line feed, as the store reads this command.
  const std::wstring text = L"id=" + m_strID;
  m_spStore->SetData(L"set_search_default", text.c_str());
  return true;
}

bool CTaskGetBusinessSearch::Execute() {
  com_ptr<IDataAccessorII> spStoreII;
  if (m_spStore) m_spStore.QueryInterface(spStoreII);
  std::wstring strID;
  bool hadText = false;
  if (!QueryStoreText(spStoreII.get(), L"business_search_id", L"", &strID, &hadText)) return true;
  if (hadText && strID != L"-1") CTabManager::Instance().SetDefaultSearch(strID);
  return true;
}

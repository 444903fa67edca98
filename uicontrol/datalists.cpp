// The tab manager's requests for the search engine list, the default engine, a tab's
// navigation history and the recover list: each posts its task to the IO queue.
#include "logging/logging.h"
#include "logging/messages.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/navigatehistory.h"
#include "uicontrol/recoverlist.h"
#include "uicontrol/searchtasks.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

bool CTabManager::GetAllSearchLlists() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetAllSearchList>(GetDataAccessorII()));
  return true;
}

bool CTabManager::SetDefaultSearch(const std::wstring& strID) {
  // The ID goes into a parameter text unescaped: a line feed or NUL would change it.
  if (!keyvalue::IsSingleLine(strID)) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
    return false;
  }
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskSetDefaultSearch>(strID, GetDataAccessor()));
  return true;
}

bool CTabManager::GetBusinessSearch() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetBusinessSearch>(GetDataAccessor()));
  return true;
}

bool CTabManager::GetNavigateHistory(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindCheckedTab(uID);
  if (!spTabInfo) return false;
  com_ptr<IWebPageData> spPageData;
  com_ptr<IWebPage> spPage = spTabInfo->spWebPage.Get();
  if (spPage) spPage.QueryInterface(spPageData);
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetNavigateHistory>(spPageData, GetDataAccessorII(), spTabInfo));
  return true;
}

bool CTabManager::GetRecoverLists() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetRecoverList>(GetDataAccessorII()));
  return true;
}

bool CTabManager::ClearRecoverLists() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskClearRecoverList>(GetDataAccessor()));
  return true;
}

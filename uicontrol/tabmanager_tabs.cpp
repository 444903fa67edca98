// The tab registry and the tab lifecycle: add, add from a link, restore, close, lookups.
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/system.h"
#include "platform/window.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/pageorder.h"
#include "uicontrol/tabmanager.h"
#include "uicontrol/tabtasks.h"

using qxdk::UTIL::com_ptr;

namespace {

// Refuses texts that would add lines to an order (see IsSingleLineValue).
bool RefuseUnsafe(const std::wstring& text) {
  if (keyvalue::IsSingleLine(text)) return false;
  LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
  return true;
}

std::shared_ptr<CTabInfo> NewRecord(unsigned int uID, unsigned int uParentID) {
  auto spTabInfo = std::make_shared<CTabInfo>();
  spTabInfo->uID = uID;
  spTabInfo->uParentID = uParentID;
  spTabInfo->uTickCount = GetTickCount();
  spTabInfo->eTabStatusInfo = eTabStatusNew;
  return spTabInfo;
}

}  // namespace

std::shared_ptr<CTabInfo> CTabManager::FindTabInfoInternal(unsigned int uID) {
  {
    CAutoLock guard(m_lockTabInfo);
    auto iter = m_mapTabInfo.find(uID);
    if (iter != m_mapTabInfo.end()) return iter->second;
    CHECK_REPORT(iter != m_mapTabInfo.end());
  }
  LOG_AT(logging::LOG_ERROR) << logging::msg::kTabNotFound;
  return nullptr;
}

unsigned int CTabManager::AddTab(const std::wstring& strURL, unsigned int uParentID) {
  CHECK_REPORT(strURL.empty() == false);
  if (strURL.empty()) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyURL;
    return 0;
  }
  if (RefuseUnsafe(strURL)) return 0;

  std::shared_ptr<CTabInfo> spTabInfo = NewRecord(static_cast<unsigned int>(CreateID()), uParentID);
  spTabInfo->strTitle.Set(strURL);
  spTabInfo->strURL.Set(strURL);
  const unsigned int uID = spTabInfo->uID;
  {
    CAutoLock guard(m_lockTabInfo);
    m_mapTabInfo[uID] = spTabInfo;
  }

  // From here on a record that gets no page stays registered without one, as a tab of
  // status New: it is counted and listed, and CloseTab or CloseAllTab take it away.
  com_ptr<IWebPageManager> spWebPageManager = GetWebPageManager();
  CHECK_REPORT(spWebPageManager);
  if (!spWebPageManager) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kNoPageManager;
    return 0;
  }
  com_ptr<IWebPage> spPage;
  if (FAILED(spWebPageManager->NewPage(nullptr, &spPage))) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kNewPageFailed;
    return 0;
  }
  spTabInfo->SetWebPage(spPage);
  CHECK_REPORT(spTabInfo->spWebPage);
  if (!spPage) return 0;

  SubscribeRecord(spTabInfo, true);
  SendPageOrder(*spTabInfo, {{L"CMD", L"NAVIGATE"}, {L"URL", spTabInfo->strURL.Get()}});
  return uID;
}

unsigned int CTabManager::AddLinkTab(const std::wstring&, unsigned int uParentId) {
  CHECK_REPORT(uParentId);
  if (!uParentId) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return 0;
  }
  std::shared_ptr<CTabInfo> spTabInfo = NewRecord(static_cast<unsigned int>(CreateID()), uParentId);
  const unsigned int uID = spTabInfo->uID;
  std::shared_ptr<CTabInfo> spParentTabInfo;
  {
    CAutoLock guard(m_lockTabInfo);
    m_mapTabInfo[uID] = spTabInfo;
    auto iter = m_mapTabInfo.find(uParentId);
    if (iter != m_mapTabInfo.end()) spParentTabInfo = iter->second;
  }
  if (!spParentTabInfo) {
    LOG_AT(logging::LOG_ERROR) << logging::msg::kParentNotFound;
    return 0;
  }
  m_spUITaskQueue->PostTask(std::make_shared<CTaskAddLinkTab>(spTabInfo, spParentTabInfo));
  return uID;
}

unsigned int CTabManager::RestoreTab(const std::wstring& strUUID) {
  CHECK_REPORT(strUUID.empty() == false);
  if (strUUID.empty()) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyUUID;
    return 0;
  }
  if (RefuseUnsafe(strUUID)) return 0;
  std::shared_ptr<CTabInfo> spTabInfo = NewRecord(static_cast<unsigned int>(CreateID()), 0);
  const unsigned int uID = spTabInfo->uID;
  {
    CAutoLock guard(m_lockTabInfo);
    m_mapTabInfo[uID] = spTabInfo;
  }
  m_spUITaskQueue->PostTask(std::make_shared<CTaskRestoreNewTab>(strUUID, spTabInfo));
  return uID;
}

bool CTabManager::RestoreTab(unsigned int uID, const std::wstring& strUUID) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return false;
  }
  CHECK_REPORT(strUUID.empty() == false);
  if (strUUID.empty()) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyUUID;
    return false;
  }
  if (RefuseUnsafe(strUUID)) return false;
  std::shared_ptr<CTabInfo> spTabInfo;
  {
    CAutoLock guard(m_lockTabInfo);
    auto iter = m_mapTabInfo.find(uID);
    if (iter != m_mapTabInfo.end()) {
      spTabInfo = iter->second;
      spTabInfo->uTickCount = GetTickCount();
    }
  }
  if (!spTabInfo) {
    LOG_AT(logging::LOG_ERROR) << logging::msg::kTabInfoNotFound;
    return false;
  }
  m_spUITaskQueue->PostTask(std::make_shared<CTaskRestoreOldTab>(strUUID, spTabInfo));
  return true;
}

bool CTabManager::CloseTab(unsigned int uID) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return false;
  }
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  {
    CAutoLock guard(m_lockTabInfo);
    m_mapTabInfo.erase(uID);
  }
  if (!spTabInfo) return false;

  // From now on the record ignores its page's events.
  spTabInfo->eTabStatusInfo = eTabStatusClosing;
  HWND hWndWeb = spTabInfo->hWndWeb;
  ::ShowWindow(hWndWeb, SW_HIDE);
  ::SetParent(hWndWeb, ::GetDesktopWindow());
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskCloseTab>(spTabInfo));
  return true;
}

void CTabManager::CloseTab(const std::vector<unsigned int>& vecID) {
  for (auto iter = vecID.begin(); iter != vecID.end(); ++iter) {
    CHECK_REPORT(*iter);
    if (!*iter) {
      LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyTabID;
      continue;
    }
    bool bClose = CloseTab(*iter);
    CHECK_REPORT(bClose);
  }
}

void CTabManager::CloseAllTab() {
  std::map<unsigned int, std::shared_ptr<CTabInfo>> mapCopy;
  {
    CAutoLock guard(m_lockTabInfo);
    mapCopy = m_mapTabInfo;
  }
  for (auto iter = mapCopy.begin(); iter != mapCopy.end(); ++iter) {
    CHECK_REPORT(iter->second);
    if (!iter->second) {
      LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyTabID;
      continue;
    }
    bool bClose = CloseTab(iter->second->uID);
    CHECK_REPORT(bClose);
  }
}

CTabInfo CTabManager::FindTabInfo(unsigned int uID) {
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return CTabInfo();
  }
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  return spTabInfo ? CTabInfo(*spTabInfo) : CTabInfo();
}

CLuaTabInfo CTabManager::FindTabInfoForLua(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  CLuaTabInfo info;
  if (spTabInfo) info = *spTabInfo;
  return info;
}

int CTabManager::GetTabsCount() {
  CAutoLock guard(m_lockTabInfo);
  return static_cast<int>(m_mapTabInfo.size());
}

bool CTabManager::SelectTab(unsigned int) { return true; }
int CTabManager::HideAllTab() { return 1; }
unsigned int CTabManager::GetCurrentID() { return m_uCurrentID; }

int CTabManager::SetCurrentID(unsigned int uID) {
  m_uCurrentID = uID;
  return 1;
}

unsigned int CTabManager::GetLastID() { return m_uLastID; }

int CTabManager::SetLastID(unsigned int uID) {
  m_uLastID = uID;
  return 1;
}

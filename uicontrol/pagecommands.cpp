// Page commands: the public operations that command a tab's page.
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/dialogs.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/pagetasks.h"
#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

template <class Task>
std::shared_ptr<ITabTask> Make(std::shared_ptr<CTabInfo> spTabInfo) {
  return std::make_shared<Task>(std::move(spTabInfo));
}

bool IsInternalPageForSave(const std::wstring& lowerURL) {
  static const wchar_t* const kInternal[] = {L"re:fav", L"re:history", L"re:favorite", L"re:options", L"re:index"};
  for (const wchar_t* page : kInternal) {
    if (lowerURL == page) return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<CTabInfo> CTabManager::FindCheckedTab(unsigned int uID) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return nullptr;
  }
  return FindTabInfoInternal(uID);
}

bool CTabManager::PostStandardCommand(unsigned int uID, bool bUIQueue,
                                      std::shared_ptr<ITabTask> (*makeTask)(std::shared_ptr<CTabInfo>)) {
  std::shared_ptr<CTabInfo> spTabInfo = FindCheckedTab(uID);
  if (!spTabInfo) return false;
  (bUIQueue ? m_spUITaskQueue : m_spIOTaskQueue)->PostTask(makeTask(std::move(spTabInfo)));
  return true;
}

bool CTabManager::Navigate(unsigned int uID, const std::wstring& strURL) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return false;
  }
  CHECK_REPORT(strURL.empty() == false);
  if (strURL.empty()) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyURL;
    return false;
  }
  if (!keyvalue::IsSingleLine(strURL)) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
    return false;
  }
  std::shared_ptr<CTabInfo> spTabInfo;
  {
    CAutoLock guard(m_lockTabInfo);
    auto iter = m_mapTabInfo.find(uID);
    if (iter != m_mapTabInfo.end()) spTabInfo = iter->second;
  }
  if (!spTabInfo) {
    LOG_AT(logging::LOG_ERROR) << logging::msg::kPageNotFound;
    return false;
  }
  spTabInfo->strURL.Set(strURL);
  m_spUITaskQueue->PostTask(std::make_shared<CTaskNavigate>(spTabInfo));
  return true;
}

bool CTabManager::GoForward(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskGoForward>); }
bool CTabManager::GoBack(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskGoBack>); }
bool CTabManager::Stop(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskStop>); }
bool CTabManager::Refresh(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskRefresh>); }
bool CTabManager::OpenFile(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskOpenFile>); }
bool CTabManager::SaveWebToImage(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskSaveImage>); }
bool CTabManager::PageSet(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskPageSet>); }
bool CTabManager::Print(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskPrint>); }
bool CTabManager::PrintView(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskPrintView>); }
bool CTabManager::SendLinkUseEmail(unsigned int uID) {
  return PostStandardCommand(uID, true, Make<CTaskUseEmailSendLink>);
}
bool CTabManager::SendWebUseEmail(unsigned int uID) {
  return PostStandardCommand(uID, true, Make<CTaskUseEmailSendPage>);
}
bool CTabManager::PageAttribute(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskTabAttribute>); }
bool CTabManager::ViewSource(unsigned int uID) { return PostStandardCommand(uID, true, Make<CTaskViewSource>); }
bool CTabManager::InternetOption(unsigned int uID) {
  return PostStandardCommand(uID, true, Make<CTaskInternetOption>);
}

bool CTabManager::Home(unsigned int uID) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return false;
  }
  if (GetDefaultIndex().empty()) {
    ::MessageBoxW(m_hPageParentWnd.load(), L"当前主页为空，请重新设置主页！", L"提示", MB_ICONERROR);
    return false;
  }
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (!spTabInfo) return false;
  m_spUITaskQueue->PostTask(std::make_shared<CTaskHome>(spTabInfo));
  return true;
}

bool CTabManager::SaveWeb(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindCheckedTab(uID);
  if (!spTabInfo) return false;
  if (IsInternalPageForSave(platform::AsciiLower(spTabInfo->strURL.Get()))) return false;
  m_spUITaskQueue->PostTask(std::make_shared<CTaskSaveWeb>(spTabInfo));
  return true;
}

bool CTabManager::SetTextSize(unsigned int uID, unsigned int uSize) {
  std::shared_ptr<CTabInfo> spTabInfo = FindCheckedTab(uID);
  if (!spTabInfo) return false;
  m_spUITaskQueue->PostTask(std::make_shared<CTaskSetTextSize>(uSize, spTabInfo));
  return true;
}

unsigned int CTabManager::GetTextSize(unsigned int uID) {
  CHECK_REPORT(uID);
  if (!uID) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
    return 0;
  }
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (!spTabInfo) return 2;
  com_ptr<IWebPageData> spData;
  spTabInfo->spWebPage.Get().QueryInterface(spData);
  wchar_t* lpszValue = nullptr;
  if (spData) spData->GetData(L"font.size", &lpszValue);
  CHECK_REPORT(lpszValue);
  if (!lpszValue) return 2;
  const int size = LeadingDecimal(lpszValue);
  spData->FreeData(lpszValue);
  return static_cast<unsigned int>(size);
}

bool CTabManager::SetWebZoom(unsigned int, unsigned int uZoom) {
  // Written as a signed int is, as GetWebZoom and every reader of the setting expect.
  SetValue(L"page.size", std::to_wstring(static_cast<int>(uZoom)));
  return true;
}

unsigned int CTabManager::GetWebZoom(unsigned int) {
  const std::wstring value = GetValue(L"page.size");
  return value.empty() ? 0 : static_cast<unsigned int>(LeadingDecimal(value));
}

void CTabManager::ShowWebFind(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (spTabInfo) m_spIOTaskQueue->PostTask(std::make_shared<CTaskShowWebFind>(spTabInfo));
}

void CTabManager::ShowWebMenu(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (spTabInfo) m_spIOTaskQueue->PostTask(std::make_shared<CTaskShowWebMenu>(spTabInfo));
}

bool CTabManager::ShowIeWindow(unsigned int uID, bool bShow) {
  if (!uID) return false;
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (!spTabInfo) return false;
  ::ShowWindow(spTabInfo->hWndWeb, bShow ? SW_SHOW : SW_HIDE);
  return true;
}

// Its work depends on a current tab, and the registry never sets one.
bool CTabManager::ChangeIeZorder(HWND) { return false; }

bool CTabManager::MoveWebWindow(unsigned long uID, RECT& rcWnd) {
  if (uID > 0xFFFFFFFFul) return false;
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(static_cast<unsigned int>(uID));
  if (!spTabInfo) return false;
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskMoveWnd>(spTabInfo, rcWnd));
  return true;
}

bool CTabManager::SendParentHwnd(unsigned int uID, HWND hWnd) {
  if (!uID) return false;
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  if (!spTabInfo) return false;
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskSendParentHwnd>(spTabInfo, hWnd));
  return true;
}

bool CTabManager::EnableAudio(unsigned int uID, bool bEnable) {
  std::shared_ptr<CTabInfo> spTabInfo = FindCheckedTab(uID);
  if (!spTabInfo) return false;
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskEnableAudio>(spTabInfo, bEnable));
  m_bAudioEnable = bEnable;
  return true;
}

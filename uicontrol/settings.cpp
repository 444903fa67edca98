// Settings kept by the data store, the default-browser registration and the updater.
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// Reads a setting: false when the store gives no text.
bool ReadSetting(const std::wstring& strName, std::wstring* value) {
  value->clear();
  com_ptr<IDataAccessor> spStore = CTabManager::GetDataAccessor();
  if (!spStore) return false;
  wchar_t* lpszValue = nullptr;
  spStore->GetData(strName.c_str(), &lpszValue);
  if (!lpszValue) return false;
  *value = lpszValue;
  spStore->FreeData(lpszValue);
  return true;
}

void WriteSetting(const wchar_t* name, const wchar_t* value) {
  com_ptr<IDataAccessor> spStore = CTabManager::GetDataAccessor();
  if (spStore) spStore->SetData(name, value);
}

class CTaskShowSetDefaultBrowserDlg : public ITabTask {
 public:
  CTaskShowSetDefaultBrowserDlg(com_ptr<IDataAccessor> spStore, bool bShow) : m_spStore(std::move(spStore)), m_bShow(bShow) {}
  bool Execute() override {
    if (m_spStore) m_spStore->SetData(L"check.default.browser", m_bShow ? L"1" : L"0");
    return true;
  }

 private:
  com_ptr<IDataAccessor> m_spStore;
  bool m_bShow;
};

}  // namespace

std::wstring CTabManager::GetValue(const std::wstring& strName) {
  std::wstring value;
  ReadSetting(strName, &value);
  return value;
}

void CTabManager::SetValue(const std::wstring& strName, const std::wstring& strValue) {
  WriteSetting(strName.c_str(), strValue.c_str());
}

int CTabManager::GetItemValue(const std::wstring& strCommand, const std::wstring& strParameters) {
  std::wstring text;
  QueryStoreText(GetDataAccessorII().get(), strCommand.c_str(), strParameters, &text);
  return LeadingDecimal(text);
}

std::wstring CTabManager::QueryIconPathFromURL(const std::wstring& strURL) {
  if (!keyvalue::IsSingleLine(strURL)) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
    return std::wstring();
  }
  std::wstring text;
  QueryStoreText(GetDataAccessorII().get(), L"get_icon", FormatKeyValueText({{L"url", strURL}}), &text);
  return text;
}

std::wstring CTabManager::GetDefaultIndex() { return GetValue(L"defaulturl"); }

bool CTabManager::IsShowDefaultIndex() {
  std::wstring value;
  bool lpszValue = ReadSetting(L"set_show_homepage", &value);
  CHECK_REPORT(lpszValue);
  return lpszValue && value == L"1";
}

bool CTabManager::IsShowSetDefaultBrowserDlg() {
  std::wstring value;
  ReadSetting(L"check.default.browser", &value);
  return value != L"0";
}

void CTabManager::SetShowSetDefaultBrowserDlg(bool bShow) {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskShowSetDefaultBrowserDlg>(GetDataAccessor(), bShow));
}

bool CTabManager::IsShowCloseTabs() {
  std::wstring value;
  ReadSetting(L"browser.close.info", &value);
  return value != L"0";
}

void CTabManager::SetShowCloseTabs(bool bShow) { WriteSetting(L"browser.close.info", bShow ? L"1" : L"0"); }

bool CTabManager::IsDefaultBrowser() {
  platform::CRegKey key;
  switch (platform::GetWindowsMajorVersion()) {
    case 5:
      if (!key.Open(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", KEY_READ | KEY_WRITE)) return false;
      return key.QueryString(L"").find(L"qxbrowser.exe") != std::wstring::npos;
    case 6:
      if (!key.Open(HKEY_CURRENT_USER,
                    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
                    KEY_READ | KEY_WRITE)) {
        return false;
      }
      return key.QueryString(L"ProgId") == L"QuorlaHTML";
    default:
      return false;
  }
}

void CTabManager::SetDefaultBrowser(bool bDefault) {
  const std::wstring strProgram = platform::ExecutableFolder() + L"sadb.exe";
  ShellExecuteW(nullptr, L"open", strProgram.c_str(), bDefault ? L"set" : L"unset", nullptr, SW_SHOWDEFAULT);
}

bool CTabManager::UpdateBrowser() {
  const std::wstring strProgram = ExpandEnvironmentStringsW(L"%programfiles%\\quorla\\qxd\\qxstub.exe");
  ShellExecuteW(nullptr, L"open", strProgram.c_str(), L"/update /subkey QXE /logon", nullptr, SW_SHOWNORMAL);
  return true;
}

void CTabManager::UpdateTickCount(unsigned int uID) {
  std::shared_ptr<CTabInfo> spTabInfo = FindTabInfoInternal(uID);
  CHECK_REPORT(spTabInfo);
  if (!spTabInfo) return;
  spTabInfo->uTickCount = GetTickCount();
}

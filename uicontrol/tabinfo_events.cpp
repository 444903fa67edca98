// Page events: bringing the record up to date, the few side effects that belong to the
// library, and forwarding every event to the user interface.
#include <cwchar>

#include "platform/system.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/eventtext.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// Addresses of the browser's own pages, which are kept out of the history.
bool IsInternalPage(const std::wstring& lowerURL) {
  static const wchar_t* const kInternal[] = {L"about:blank", L"re:fav",     L"re:history",
                                             L"re:favorite", L"re:options", L"re:index"};
  for (const wchar_t* page : kInternal) {
    if (lowerURL == page) return true;
  }
  return false;
}

// The title as shown: the registered sign becomes TAB "reg" TAB, no-break spaces spaces.
std::wstring DisplayTitle(std::wstring title) {
  std::wstring out;
  out.reserve(title.size());
  for (wchar_t c : title) {
    if (c == L'\u00AE') {
      out += L"\treg\t";
    } else {
      out += c;
    }
  }
  for (wchar_t& c : out) {
    if (c == L'\u00A0') c = L' ';
  }
  return out;
}

std::wstring HistoryDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%04d-%d-%d %d:%d:%d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond);
  return buffer;
}

}  // namespace

HRESULT CTabInfo::NotifyOrder(const wchar_t* key, const wchar_t* value, int) {
  if (eTabStatusInfo == eTabStatusClosing) return 0;
  const std::wstring strKey = key ? key : L"";

  if (strKey == L"BEFORENAVIGATE") {
    strIconPath.Set(std::wstring());
    strTitle.Set(std::wstring());
  } else if (strKey == L"NEWINDOW") {
  } else if (strKey == L"GOFORWARDSTATECHANGE") {
    bForwardEnable = EventFlagValue(ParseEventText(value), L"STATE");
  } else if (strKey == L"BACKFORWARDSTATECHANGE") {
    bBackwardEnable = EventFlagValue(ParseEventText(value), L"STATE");
  } else if (strKey == L"PROGRESSCHANGE") {
    uProcent = EventPercentValue(ParseEventText(value), L"PERCENT");
  } else if (strKey == L"TITLECHANGE") {
    EventParams params = ParseEventText(value);
    const std::wstring strNewURL = EventTextValue(params, L"URL");
    const std::wstring strNewTitle = EventTextValue(params, L"TITLE");
    if (strURL.Equals(strNewURL) && strTitle.Equals(strNewTitle)) return 0;
    strTitle.Set(DisplayTitle(strNewTitle));
    strURL.Set(strNewURL);
  } else if (strKey == L"ICONCHANGE") {
    strIconPath.Set(EventTextValue(ParseEventText(value), L"ICOURL"));
    if (bDocumentComplete) WriteHistory();
  } else if (strKey == L"DOCUMENTCOMPLETE") {
    uProcent = 100;
    WriteHistory();
    bDocumentComplete = 1;
  } else if (strKey == L"PROCESSCRASH" || strKey == L"NAVIGATEERROR") {
  } else if (strKey == L"CHLIDHANDLE") {
    HWND hWnd = HandleFromValue(EventNumberValue(ParseEventText(value), L"HWND"));
    hWndWeb = hWnd;
    // The web window goes into the main window, which the host may not have bound yet.
    HWND hMainWnd = CTabManager::Instance().WaitForBoundMainWnd();
    ::SetParent(hWnd, hMainWnd);
    static_cast<INotifOrderStub*>(this)->CreateSHowHideEvent(hWnd);
    CTabManager::Instance().ShowIeWindow(uID, true);
    eTabStatus expected = eTabStatusNew;
    eTabStatusInfo.compare_exchange_strong(expected, eTabStatusReady);
  } else if (strKey == L"SHOWADDFAVWND") {
    EventParams params = ParseEventText(value);
    com_ptr<IAddFavoriteDlg> spDialog = CTabManager::GetAddFavoriteDlg();
    if (spDialog) spDialog->ShowDialog(EventNumberValue(params, L"FAVPID"), CTabManager::GetMainWndHwnd(), 0, 0, 0);
  } else if (strKey == L"SHOWEDITFAVWND") {
    EventParams params = ParseEventText(value);
    com_ptr<IEditFavoriteDlg> spDialog = CTabManager::GetEditFavoriteDlg();
    if (spDialog) {
      const std::wstring strTitleParam = EventTextValue(params, L"TITLECHANGE");
      const std::wstring strURLParam = EventTextValue(params, L"URL");
      spDialog->ShowDialog(EventNumberValue(params, L"FAVPID"), EventNumberValue(params, L"FAVID"),
                           CTabManager::GetMainWndHwnd(), strTitleParam.c_str(), strURLParam.c_str(), 0);
    }
  } else if (strKey == L"CLOSEWNDNOTIFTY") {
  } else if (strKey == L"BLOCKURLTOUCH") {
    eTabSafeInfo = EventNumberValue(ParseEventText(value), L"BLOCKURLSTAT") == 1 ? eTabSafeBlocked : eTabSafeNormal;
  } else if (strKey == L"SHOWIEWND") {
    bIsWndShow = EventNumberValue(ParseEventText(value), L"ISWNDSHOW") == 1 ? 1 : 0;
  } else if (strKey == L"NAVIGATECOMPLETE" || strKey == L"POPBLOCK") {
  } else if (strKey == L"STATEXTCHANGED") {
    strStatText.Set(EventTextValue(ParseEventText(value), L"STATTEXT"));
  }

  CTabManager::Notify(uID, key, value);
  return 0;
}

int CTabInfo::WriteHistory() {
  const std::wstring strCurrentURL = strURL.Get();
  if (strCurrentURL.empty()) return 0;
  const std::wstring strLowerURL = platform::AsciiLower(strCurrentURL);
  if (IsInternalPage(strLowerURL)) return 1;

  // Titles and icons come from the page: they may not add lines to the entry.
  const std::wstring text = FormatKeyValueText({{L"title", ToSingleLine(strTitle.Get())},
                                                {L"url", ToSingleLine(strLowerURL)},
                                                {L"icon", ToSingleLine(strIconPath.Get())},
                                                {L"date", HistoryDate()}});
  com_ptr<IDataAccessor> spStore = CTabManager::GetDataAccessor();
  if (spStore) spStore->SetData(L"add_his", text.c_str());
  return 1;
}

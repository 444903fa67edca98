// Page events: bringing the record up to date, the few side effects that belong to the
// library, and forwarding every event to the user interface.
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/system.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/eventscan.h"
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
std::wstring DisplayTitle(std::wstring_view title) {
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

namespace {

// The value of a name in an event text (empty when absent), read in one pass; the
// Event*Of readings of an empty value are those of an absent one.
template <size_t N>
std::wstring_view Value(const wchar_t* text, const wchar_t (&name)[N]) {
  std::wstring_view value;
  if (text) eventscan::Find(text, name, &value);
  return value;
}

// Whether the shown title differs from the page's: one look at each character for both
// signs, four at a time (two searches of the C library cost twice the calls and passes).
bool NeedsDisplayForm(std::wstring_view title) {
  const wchar_t* p = title.data();
  const wchar_t* const end = p + title.size();
#if defined(__SSE2__)
  static_assert(sizeof(wchar_t) == 4, "four characters to a vector");
  const __m128i registered = _mm_set1_epi32(0xAE);
  const __m128i noBreakSpace = _mm_set1_epi32(0xA0);
  for (; end - p >= 4; p += 4) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits = _mm_or_si128(_mm_cmpeq_epi32(chars, registered), _mm_cmpeq_epi32(chars, noBreakSpace));
    if (_mm_movemask_epi8(hits) != 0) return true;
  }
#endif
  for (; p != end; ++p) {
    if (*p == L'\u00AE' || *p == L'\u00A0') return true;
  }
  return false;
}

}  // namespace

HRESULT CTabInfo::NotifyOrder(const wchar_t* key, const wchar_t* value, int) {
  if (eTabStatusInfo == eTabStatusClosing) return 0;

  switch (LookupPageEvent(key)) {
    case PageEvent::BeforeNavigate:
      strIconPath.Set(std::wstring());
      strTitle.Set(std::wstring());
      break;
    case PageEvent::GoForwardState:
      bForwardEnable = EventFlagOf(Value(value, L"STATE"));
      break;
    case PageEvent::BackForwardState:
      bBackwardEnable = EventFlagOf(Value(value, L"STATE"));
      break;
    case PageEvent::ProgressChange:
      uProcent.store(EventPercentOf(Value(value, L"PERCENT")), std::memory_order_release);
      break;
    case PageEvent::TitleChange: {
      // Both values in one pass over the text; an absent one reads as empty.
      static constexpr std::wstring_view kNames[] = {L"TITLE", L"URL"};
      std::wstring_view values[2];
      if (value) eventscan::FindValuesInLongLines(value, kNames, values);
      if (!ApplyTitleChange(values[0], values[1], NeedsDisplayForm(values[0]))) return 0;
      break;
    }
    case PageEvent::IconChange:
      strIconPath.Set(std::wstring(Value(value, L"ICOURL")));
      if (bDocumentComplete) WriteHistory();
      break;
    case PageEvent::DocumentComplete:
      uProcent = 100;
      WriteHistory();
      bDocumentComplete = 1;
      break;
    case PageEvent::ChildHandle: {
      HWND hWnd = HandleFromValue(EventNumberOf(Value(value, L"HWND")));
      hWndWeb = hWnd;
      // The web window goes into the main window, which the host may not have bound
      // yet: then BindMainWnd places it. The page's thread never waits for the host.
      CTabManager::Instance().PlaceWebWindow(uID, hWnd);
      break;
    }
    case PageEvent::ShowAddFavorite: {
      com_ptr<IAddFavoriteDlg> spDialog = CTabManager::GetAddFavoriteDlg();
      if (spDialog) {
        spDialog->ShowDialog(EventNumberOf(Value(value, L"FAVPID")), CTabManager::GetMainWndHwnd(), 0, 0, 0);
      }
      break;
    }
    case PageEvent::ShowEditFavorite: {
      com_ptr<IEditFavoriteDlg> spDialog = CTabManager::GetEditFavoriteDlg();
      if (spDialog) {
        const std::wstring strTitleParam(Value(value, L"TITLECHANGE"));
        const std::wstring strURLParam(Value(value, L"URL"));
        spDialog->ShowDialog(EventNumberOf(Value(value, L"FAVPID")), EventNumberOf(Value(value, L"FAVID")),
                             CTabManager::GetMainWndHwnd(), strTitleParam.c_str(), strURLParam.c_str(), 0);
      }
      break;
    }
    case PageEvent::BlockURLTouch:
      eTabSafeInfo = EventNumberOf(Value(value, L"BLOCKURLSTAT")) == 1 ? eTabSafeBlocked : eTabSafeNormal;
      break;
    case PageEvent::ShowWindow:
      bIsWndShow = EventNumberOf(Value(value, L"ISWNDSHOW")) == 1 ? 1 : 0;
      break;
    case PageEvent::StatusTextChanged:
      strStatText.Set(std::wstring(Value(value, L"STATTEXT")));
      break;
    case PageEvent::NewWindow:
    case PageEvent::ProcessCrash:
    case PageEvent::NavigateError:
    case PageEvent::CloseWindow:
    case PageEvent::NavigateComplete:
    case PageEvent::PopupBlocked:
    case PageEvent::Unknown:
      break;
  }

  CTabManager::Notify(uID, key, value);
  return 0;
}

bool CTabInfo::ApplyTitleChange(std::wstring_view newTitle, std::wstring_view newURL, bool bDisplayForm) {
  // The display form is built before the lock is taken; the stored texts are assigned in
  // place, so a title of a length seen before costs no allocation.
  const std::wstring strShown = bDisplayForm ? DisplayTitle(newTitle) : std::wstring();
  platform::CMutexLock guard(m_lockText);
  // Both fields are guarded by the record's text lock.
  strTitle.Lock().AssertHeld();
  strURL.Lock().AssertHeld();
  std::wstring& title = strTitle.LockedValue();
  std::wstring& url = strURL.LockedValue();
  // The title first: it differs in length more often than the address does.
  if (title == newTitle && url == newURL) return false;
  title.assign(bDisplayForm ? std::wstring_view(strShown) : newTitle);
  url.assign(newURL);
  return true;
}

int CTabInfo::WriteHistory() {
  const std::wstring strCurrentURL = strURL.Get();
  if (strCurrentURL.empty()) return 0;
  const std::wstring strLowerURL = platform::AsciiLower(strCurrentURL);
  if (IsInternalPage(strLowerURL)) return 1;

  // Titles and icons come from the page: they may not add lines to the entry.
  const std::wstring text = FormatKeyValueText({{L"title", keyvalue::SingleLine(strTitle.Get())},
                                                {L"url", keyvalue::SingleLine(strLowerURL)},
                                                {L"icon", keyvalue::SingleLine(strIconPath.Get())},
                                                {L"date", HistoryDate()}});
  com_ptr<IDataAccessor> spStore = CTabManager::GetDataAccessor();
  if (spStore) spStore->SetData(L"add_his", text.c_str());
  return 1;
}

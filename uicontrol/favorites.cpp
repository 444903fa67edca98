// The favourite operations of the tab manager: each posts its task to the IO queue.
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/text.h"
#include "uicontrol/favoritetasks.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/tabmanager.h"
#include "uicontrol/urllog.h"

namespace {

// The browser's own pages, which are never kept as favourites.
bool IsInternalAddress(const std::wstring& strLowerURL) {
  static const wchar_t* const kInternal[] = {L"about:blank", L"re:fav",     L"re:history",
                                             L"re:favorite", L"re:options", L"re:index"};
  for (const wchar_t* address : kInternal) {
    if (strLowerURL == address) return true;
  }
  return false;
}

// The parameter texts are not escaped: a field holding a line feed or NUL would add or
// cut lines, so such fields are refused.
bool AllSingleLine(std::initializer_list<const std::wstring*> values) {
  for (const std::wstring* value : values) {
    if (!keyvalue::IsSingleLine(*value)) {
      LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
      return false;
    }
  }
  return true;
}

}  // namespace

bool CTabManager::GetAllFavoriteItems() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetAllFavoriteItems>(GetDataAccessorII()));
  return true;
}

bool CTabManager::GetFavoriteByFloder() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskGetFavoriteByFloder>(GetDataAccessorII()));
  return true;
}

bool CTabManager::AddFavoriteItem(int nParentId, const std::wstring& strURL, const std::wstring& strTitle,
                                  const std::wstring& strIcon) {
  const std::wstring strLowerURL = platform::AsciiLower(strURL);
  if (IsInternalAddress(strLowerURL)) return false;
  if (!AllSingleLine({&strURL, &strTitle, &strIcon})) return false;
  m_spIOTaskQueue->PostTask(
      std::make_shared<CTaskAddFavoriteItem>(nParentId, strURL, strTitle, strIcon, GetDataAccessor()));
  AppendUrlLog(strLowerURL);
  return true;
}

bool CTabManager::DeleteFavoriteItem(const std::wstring& strID) {
  if (!AllSingleLine({&strID})) return false;
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskDeleteFavoriteItem>(strID, GetDataAccessor()));
  return true;
}

bool CTabManager::ImportIEFavorites() {
  m_spIOTaskQueue->PostTask(std::make_shared<CTaskImportIEFavorite>());
  return true;
}

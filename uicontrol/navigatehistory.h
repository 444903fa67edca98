#pragma once
// The back/forward history of one tab as the "NavigateHistory" document.
#include <memory>
#include <string>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/interfaces/webpage.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabtask.h"
#include "uicontrol/travellog.h"

class CXmlListDocument;

// Builds the document from the page's travel logs, the record's current page and the
// store's icons, and sends it as "GetNavigateHistory": back entries from the highest
// index down, the current page, forward entries from index 0 up.
class CTaskGetNavigateHistory : public ITabTask {
 public:
  CTaskGetNavigateHistory(qxdk::UTIL::com_ptr<IWebPageData> spPageData, qxdk::UTIL::com_ptr<IDataAccessorII> spStore,
                          std::shared_ptr<CTabInfo> spTabInfo)
      : m_spPageData(std::move(spPageData)), m_spStore(std::move(spStore)), m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  // A travel log text; a page without data or a null text reads as empty.
  std::wstring ReadTravelLog(const wchar_t* name);
  // The icon path of a URL; false when the store has no answer.
  bool QueryIcon(const std::wstring& strURL, std::wstring* icon);
  // Appends the entries under the indexes 0 to size - 1, in the given direction. An index
  // that is missing, or whose icon the store does not answer, is skipped.
  void AppendEntries(const TravelLogMap& entries, bool bHighestFirst, CXmlListDocument& document);

  qxdk::UTIL::com_ptr<IWebPageData> m_spPageData;
  qxdk::UTIL::com_ptr<IDataAccessorII> m_spStore;
  std::shared_ptr<CTabInfo> m_spTabInfo;
};

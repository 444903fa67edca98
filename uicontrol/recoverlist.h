#pragma once
// The recover list: tabs the store keeps under a uuid, which RestoreTab can reopen.
#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/tabtask.h"

// Reads every index the store counts and sends the "RecoverHistory" document as
// "GetRecoverList". Entries without a title or without a uuid are left out.
class CTaskGetRecoverList : public ITabTask {
 public:
  explicit CTaskGetRecoverList(qxdk::UTIL::com_ptr<IDataAccessorII> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessorII> m_spStore;
};

// Empties the store's recover list.
class CTaskClearRecoverList : public ITabTask {
 public:
  explicit CTaskClearRecoverList(qxdk::UTIL::com_ptr<IDataAccessor> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessor> m_spStore;
};

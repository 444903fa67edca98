#pragma once
// Search engine tasks, run on the IO worker.
#include <string>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/tabtask.h"

// Sends the store's search engine list as "GetAllSearchLists".
class CTaskGetAllSearchList : public ITabTask {
 public:
  explicit CTaskGetAllSearchList(qxdk::UTIL::com_ptr<IDataAccessorII> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessorII> m_spStore;
};

// Makes one engine the default ("set_search_default").
class CTaskSetDefaultSearch : public ITabTask {
 public:
  CTaskSetDefaultSearch(std::wstring strID, qxdk::UTIL::com_ptr<IDataAccessor> spStore)
      : m_strID(std::move(strID)), m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  std::wstring m_strID;
  qxdk::UTIL::com_ptr<IDataAccessor> m_spStore;
};

// Applies the engine that the store names as the business default, unless it names
// none ("-1"): the choice goes through SetDefaultSearch, a second task.
class CTaskGetBusinessSearch : public ITabTask {
 public:
  explicit CTaskGetBusinessSearch(qxdk::UTIL::com_ptr<IDataAccessor> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessor> m_spStore;
};

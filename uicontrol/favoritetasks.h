#pragma once
// Favourite tasks, run on the IO worker. Each holds its own reference to the store.
#include <chrono>
#include <string>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/tabtask.h"

// Sends the store's favourites list as "GetAllFavoriteItems".
class CTaskGetAllFavoriteItems : public ITabTask {
 public:
  explicit CTaskGetAllFavoriteItems(qxdk::UTIL::com_ptr<IDataAccessorII> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessorII> m_spStore;
};

// Sends the store's favourites folder document as "GetFavoriteByFloder".
class CTaskGetFavoriteByFloder : public ITabTask {
 public:
  explicit CTaskGetFavoriteByFloder(qxdk::UTIL::com_ptr<IDataAccessorII> spStore) : m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  qxdk::UTIL::com_ptr<IDataAccessorII> m_spStore;
};

// Writes "add_favor" with the entry and the local time.
class CTaskAddFavoriteItem : public ITabTask {
 public:
  CTaskAddFavoriteItem(int nParentId, std::wstring strURL, std::wstring strTitle, std::wstring strIcon,
                       qxdk::UTIL::com_ptr<IDataAccessor> spStore)
      : m_nParentId(nParentId),
        m_strURL(std::move(strURL)),
        m_strTitle(std::move(strTitle)),
        m_strIcon(std::move(strIcon)),
        m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  int m_nParentId;
  std::wstring m_strURL;
  std::wstring m_strTitle;
  std::wstring m_strIcon;
  qxdk::UTIL::com_ptr<IDataAccessor> m_spStore;
};

// Writes "del_favor" for one favourite ID.
class CTaskDeleteFavoriteItem : public ITabTask {
 public:
  CTaskDeleteFavoriteItem(std::wstring strID, qxdk::UTIL::com_ptr<IDataAccessor> spStore)
      : m_strID(std::move(strID)), m_spStore(std::move(spStore)) {}
  bool Execute() override;

 private:
  std::wstring m_strID;
  qxdk::UTIL::com_ptr<IDataAccessor> m_spStore;
};

// Runs the import program beside the executable and waits for it; then sends
// "ImportIEFavorite". The IO queue waits meanwhile, so later favourite tasks see the
// imported entries. A program that has not ended within the time limit is ended with
// everything it started, logged, and sends nothing, as one that cannot start.
class CTaskImportIEFavorite : public ITabTask {
 public:
  bool Execute() override;
  static constexpr std::chrono::milliseconds kDefaultTimeLimit{120000};
  static void SetTimeLimit(std::chrono::milliseconds limit);
  static std::chrono::milliseconds TimeLimit();
};

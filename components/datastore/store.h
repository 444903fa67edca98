#pragma once
// The store component: one object that answers IDataAccessor, IDataAccessorII and
// IDataAccessorNotifier (and IID_IUnknown). It has two connections to the file, each
// serialised by its own lock: one for the write commands and one for the reads (QueryData
// and GetData), so that a read on the host's thread never waits behind a write that waits
// for the disk or for another process (WAL readers see the last commit). Logs and
// notifications leave the store only after the lock is released.
#include <memory>
#include <mutex>
#include <unordered_set>

#include "components/datastore/commands.h"
#include "components/datastore/datastore.h"

namespace datastore {

class CDataStore final : public IDataAccessor,
                         public IDataAccessorII,
                         public IDataAccessorNotifier,
                         public qxcom::CUnknownImp {
 public:
  // Opens the database and starts the notifying thread; null with the reason logged.
  static CDataStore* Open(const DataStoreOptions& options);

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SetData(const wchar_t* name, const wchar_t* text) override;
  HRESULT GetData(const wchar_t* name, wchar_t** text) override;
  HRESULT FreeData(wchar_t* text) override;
  HRESULT QueryData(const wchar_t* name, const wchar_t* parameters, IDataHolder** holder) override;
  HRESULT Subscribe(const wchar_t* name, INotifierStub* sink, uintptr_t* cookie) override;

 private:
  explicit CDataStore(const DataStoreOptions& options);
  ~CDataStore() override;

  // Checks a name used as a setting; logs why it cannot be one.
  bool IsUsableSettingName(CCallLog& log, const std::string& name) const;

  const DataStoreOptions m_options;
  const CLogger m_logger;
  std::mutex m_dbMutex;  // guards m_db and every statement of it
  std::unique_ptr<CSqliteDb> m_db;
  std::mutex m_readMutex;  // guards m_readDb likewise
  std::unique_ptr<CSqliteDb> m_readDb;
  CNotifier m_notifier;
  std::unique_ptr<CStoreContext> m_ctx;
  std::unique_ptr<CStoreContext> m_readCtx;
  // Texts handed out by GetData and not yet given back; the rest go with the store.
  std::mutex m_textMutex;
  std::unordered_set<wchar_t*> m_texts;
};

}  // namespace datastore

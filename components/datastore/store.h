#pragma once
// The store component: one object that answers IDataAccessor, IDataAccessorII and
// IDataAccessorNotifier (and IID_IUnknown). Every call takes the database lock for the
// length of one command, so commands from the library's threads are serialised; logs and
// notifications leave the store only after that lock is released.
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

  HRESULT SetDataLocked(CCallLog& log, const wchar_t* name, const wchar_t* text);
  // Checks a name used as a setting; logs why it cannot be one.
  bool IsUsableSettingName(CCallLog& log, const std::string& name) const;

  const DataStoreOptions m_options;
  const CLogger m_logger;
  std::mutex m_dbMutex;  // guards m_db and every statement of it
  std::unique_ptr<CSqliteDb> m_db;
  CNotifier m_notifier;
  std::unique_ptr<CStoreContext> m_ctx;
  // Texts handed out by GetData and not yet given back; the rest go with the store.
  std::mutex m_textMutex;
  std::unordered_set<wchar_t*> m_texts;
};

}  // namespace datastore

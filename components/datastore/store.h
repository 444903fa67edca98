#pragma once
// The store component: one object that answers IDataAccessor, IDataAccessorII and
// IDataAccessorNotifier (and IID_IUnknown). It has two connections to the file: one for
// the writes, used by the store's writer thread alone, and one for the reads (QueryData
// and GetData) behind a lock. SetData checks its input on the caller's thread and queues
// the write, so no caller waits for the disk; a read first waits for the writes queued
// before it, so it sees them. Logs and notifications leave the store only after the lock
// is released.
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "components/datastore/commands.h"
#include "components/datastore/datastore.h"
#include "components/datastore/writequeue.h"
#include "platform/mutex.h"

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

  using Write = std::function<HRESULT(CStoreContext& ctx, CCallLog& log)>;

  // Checks a name used as a setting; logs why it cannot be one.
  bool IsUsableSettingName(CCallLog& log, const std::string& name) const;
  // Queues a write for the writer thread; its log entries carry the prefix. S_OK, or
  // E_FAIL (logged) when the store no longer takes writes.
  HRESULT Queue(CCallLog& log, std::string prefix, Write write);
  // Queues a history trim (at opening and after a change of its setting).
  void QueueTrim();
  // Trims history now; on the writer thread only.
  void TrimNow();
  // The end of a batch of the writer's: commits it, or rolls it back with an error line.
  bool CommitBatch();

  const DataStoreOptions m_options;
  const CLogger m_logger;
  std::unique_ptr<CSqliteDb> m_db;  // the writer thread's alone once the store is open
  platform::CMutex m_readMutex;  // also guards every statement of the read connection
  std::unique_ptr<CSqliteDb> m_readDb GUARDED_BY(m_readMutex);
  CNotifier m_notifier;
  std::unique_ptr<CStoreContext> m_ctx;
  std::unique_ptr<CStoreContext> m_readCtx;
  // SetData's checks: the handlers in checking mode, on the read connection.
  std::unique_ptr<CStoreContext> m_checkCtx;
  CWriteQueue m_writer;
  // Texts handed out by GetData and not yet given back; the rest go with the store.
  platform::CMutex m_textMutex;
  std::unordered_set<wchar_t*> m_texts GUARDED_BY(m_textMutex);
};

}  // namespace datastore

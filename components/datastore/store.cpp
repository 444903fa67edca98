#include "components/datastore/store.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "components/datastore/dataholder.h"
#include "components/datastore/favorites.h"
#include "components/datastore/history.h"
#include "components/datastore/icons.h"
#include "components/datastore/recover.h"
#include "components/datastore/schema.h"
#include "components/datastore/search.h"
#include "components/datastore/session.h"
#include "components/datastore/settings.h"
#include "components/datastore/textconv.h"

namespace datastore {

namespace {

struct SetCommand {
  const wchar_t* name;
  SetHandler handler;
  bool checkReads;  // its check reads the file (through the read connection)
};

struct QueryCommand {
  const wchar_t* name;
  QueryHandler handler;
};

// SetData commands with key=value parameters. Any other SetData name is a setting.
const SetCommand kSetCommands[] = {
    {L"add_favor", AddFavorite, false},
    {L"update_favor", UpdateFavorite, false},
    {L"del_favor", DeleteFavorite, false},
    {L"del_favor_set", DeleteFavoriteSet, false},
    {L"set_search_default", SetDefaultSearch, true},
    {L"add_his", AddHistory, false},
    {L"save.recover.tab", SaveRecoverTab, false},
    {L"clear.recover.all", ClearRecover, false},
    {L"save.session", SaveSession, false},
};

const QueryCommand kQueryCommands[] = {
    {L"query_favor_root_url", QueryFavoriteList},
    {L"get_fav_xml", QueryFavoriteTree},
    {L"query_search_all_ui", QuerySearchEngines},
    {L"business_search_id", QueryBusinessSearch},
    {L"get_icon", QueryIcon},
    {L"get.recover.index.section.count", QueryRecoverCount},
    {L"get.recover.index.value", QueryRecoverValue},
    {L"query_his", QueryHistory},
    {L"get.session", QuerySession},
    {L"get.recover.tab", QueryRecoverTab},
};

template <class Table>
const Table* Find(const Table* begin, const Table* end, const wchar_t* name) {
  for (const Table* it = begin; it != end; ++it) {
    if (std::wcscmp(it->name, name) == 0) return it;
  }
  return nullptr;
}

const SetCommand* FindSet(const wchar_t* name) { return Find(std::begin(kSetCommands), std::end(kSetCommands), name); }
const QueryCommand* FindQuery(const wchar_t* name) {
  return Find(std::begin(kQueryCommands), std::end(kQueryCommands), name);
}

// A caller's name made safe for one log line: control characters shown as '?', and cut short.
std::string SafeName(const wchar_t* name) {
  std::string text = ToUtf8(name);
  if (text.size() > tunables::kLogNameMaxBytes) text = text.substr(0, tunables::kLogNameMaxBytes) + "...";
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

std::string LogName(const wchar_t* name) { return "\"" + SafeName(name) + "\""; }

void LogProblems(CCallLog& log, const CParams& params) {
  for (const std::string& problem : params.problems) log.Warning("parameters: " + problem);
}

// Turns an exception into a status and a log entry, so that none crosses the interface.
template <class Fn>
HRESULT Guarded(CCallLog& log, Fn fn) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    log.Error("out of memory");
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    log.Error(std::string("unexpected failure: ") + e.what());
    return E_FAIL;
  } catch (...) {
    log.Error("unexpected failure");
    return E_FAIL;
  }
}

}  // namespace

CDataStore::CDataStore(const DataStoreOptions& options)
    : m_options(options), m_logger(options.logSink), m_notifier(m_logger), m_writer(m_logger) {}

CDataStore::~CDataStore() {
  // Every queued write runs (and notifies) first; then everything committed is delivered
  // before the sinks are let go.
  m_writer.Stop();
  m_notifier.Stop();
  for (wchar_t* text : m_texts) delete[] text;
}

CDataStore* CDataStore::Open(const DataStoreOptions& options) {
  CDataStore* store = new CDataStore(options);
  bool ok = false;
  {
    CCallLog log(store->m_logger);
    std::string error;
    store->m_db = CSqliteDb::Open(options.databasePath, &error);
    bool connected = store->m_db && ConfigureConnection(*store->m_db, options, &error) &&
                     ApplyMigrations(*store->m_db, StoreMigrations(), &error);
    if (connected) {
      // Nobody else knows the store yet; the lock is for the rule that guards the reader.
      platform::CMutexLock lock(store->m_readMutex);
      connected = (store->m_readDb = CSqliteDb::Open(options.databasePath, &error)) &&
                  ConfigureConnection(*store->m_readDb, options, &error);
      if (connected) {
        store->m_readCtx.reset(new CStoreContext{*store->m_readDb, store->m_notifier, store->m_options});
        store->m_checkCtx.reset(new CStoreContext{*store->m_readDb, store->m_notifier, store->m_options, true});
      }
    }
    if (connected) {
      store->m_ctx.reset(new CStoreContext{*store->m_db, store->m_notifier, store->m_options});
      // While the store is open, history is trimmed again on the writer thread, between writes.
      const std::chrono::seconds trimInterval(tunables::kHistoryTrimIntervalSeconds);
      // The writes that wait together are written in one transaction, each in a savepoint
      // of its own (CTransaction), so that one refused write undoes only itself.
      store->m_writer.SetBatchHooks({[store] { return store->m_db->Exec("BEGIN IMMEDIATE"); },
                                     [store] { return store->m_db->InTransaction(); },
                                     [store] { return store->CommitBatch(); }});
      if (!store->m_notifier.Start()) {
        error = "cannot start the notification thread";
      } else if (!store->m_writer.Start([store] { store->TrimNow(); }, trimInterval)) {
        error = "cannot start the writer thread";
      } else {
        ok = true;
      }
    }
    if (!ok) log.Error(error);
  }
  if (!ok) {
    delete store;
    return nullptr;
  }
  store->QueueTrim();  // what expired while the browser was closed goes first
  store->AddRef();
  return store;
}

HRESULT CDataStore::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IDataAccessor::iid) {
    *ppv = static_cast<IDataAccessor*>(this);
  } else if (riid == IDataAccessorII::iid) {
    *ppv = static_cast<IDataAccessorII*>(this);
  } else if (riid == IDataAccessorNotifier::iid) {
    *ppv = static_cast<IDataAccessorNotifier*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CDataStore::AddRef() { return static_cast<ULONG>(InternalAddRef()); }

ULONG CDataStore::Release() {
  const int32_t count = InternalRelease();
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT CDataStore::SetData(const wchar_t* name, const wchar_t* text) {
  CCallLog log(m_logger);
  return Guarded(log, [&]() -> HRESULT {
    if (!name || !*name) {
      log.Warning("SetData without a name");
      return E_INVALIDARG;
    }
    std::string prefix = SafeName(name) + ": ";
    log.SetPrefix(prefix);
    // Bad input is refused here, on the caller's thread; only the write is queued.
    if (const SetCommand* command = FindSet(name)) {
      CParams params = ParseParams(text);
      LogProblems(log, params);
      HRESULT hr;
      if (command->checkReads) {
        platform::CMutexLock lock(m_readMutex);
        hr = command->handler(*m_checkCtx, log, params);
      } else {
        hr = command->handler(*m_checkCtx, log, params);
      }
      if (hr != S_OK) return hr;
      // A missing date means the time of the call, not the later time of the write.
      if (!params.Find("date")) params.values["date"] = NowDate();
      const SetHandler handler = command->handler;
      auto write = [handler, params = std::move(params)](CStoreContext& ctx, CCallLog& writeLog) {
        return handler(ctx, writeLog, params);
      };
      return Queue(log, std::move(prefix), std::move(write));
    }
    std::string setting = ToUtf8(name);
    if (!IsUsableSettingName(log, setting)) return E_INVALIDARG;
    if (!text) {
      log.Warning("SetData without a value");
      return E_INVALIDARG;
    }
    std::string value = ToUtf8(text);
    const HRESULT hr = WriteSetting(*m_checkCtx, log, setting, value);
    if (hr != S_OK) return hr;
    const bool trims = setting == kHistoryKeepDaysSetting;
    auto write = [setting = std::move(setting), value = std::move(value)](CStoreContext& ctx, CCallLog& writeLog) {
      return WriteSetting(ctx, writeLog, setting, value);
    };
    const HRESULT queued = Queue(log, std::move(prefix), std::move(write));
    // A new limit applies at once, not only at the next daily trim.
    if (queued == S_OK && trims) QueueTrim();
    return queued;
  });
}

HRESULT CDataStore::Queue(CCallLog& log, std::string prefix, Write write) {
  const bool queued = m_writer.Push([this, prefix = std::move(prefix), write = std::move(write)] {
    CCallLog writeLog(m_logger);
    writeLog.SetPrefix(prefix);
    // What the write returns was logged by it; the caller has long gone on.
    Guarded(writeLog, [&] { return write(*m_ctx, writeLog); });
  });
  if (!queued) {
    log.Error("the store is closing and takes no more writes");
    return E_FAIL;
  }
  return S_OK;
}

bool CDataStore::CommitBatch() {
  if (m_db->Exec("COMMIT")) return true;
  CCallLog log(m_logger);
  log.Error("a batch of writes could not be committed (" + m_db->ErrorText() + "); each is written again on its own");
  m_db->Exec("ROLLBACK");
  return false;
}

void CDataStore::QueueTrim() {
  m_writer.Push([this] { TrimNow(); });
}

void CDataStore::TrimNow() {
  CCallLog log(m_logger);
  log.SetPrefix("history: ");
  Guarded(log, [&] {
    TrimHistory(*m_ctx, log);
    return S_OK;
  });
}

bool CDataStore::IsUsableSettingName(CCallLog& log, const std::string& name) const {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      log.Warning("a setting name must not hold control characters");
      return false;
    }
  }
  if (FindQuery(ToWide(name).c_str())) {
    log.Warning("this name is a query command, not a setting");
    return false;
  }
  return true;
}

HRESULT CDataStore::GetData(const wchar_t* name, wchar_t** text) {
  CCallLog log(m_logger);
  return Guarded(log, [&]() -> HRESULT {
    if (!text) {
      log.Warning("GetData without a place for the text");
      return E_POINTER;
    }
    *text = nullptr;
    if (!name || !*name) {
      log.Warning("GetData without a name");
      return E_INVALIDARG;
    }
    log.SetPrefix("GetData " + LogName(name) + ": ");
    if (FindSet(name)) {
      log.Warning("this name is a command, not a setting");
      return E_INVALIDARG;
    }
    const std::string setting = ToUtf8(name);
    if (!IsUsableSettingName(log, setting)) return E_INVALIDARG;
    m_writer.Flush();  // read-your-writes: what was queued before this read is in the file
    std::string value;
    int found;
    {
      platform::CMutexLock lock(m_readMutex);
      found = ReadSetting(*m_readCtx, setting, &value);
      if (found < 0) return DbFailure(*m_readCtx, log, "reading a setting");
    }
    if (found == 0) return S_FALSE;  // absent: a null text
    const std::wstring wide = ToWide(value);
    // Each call gets its own copy, valid until FreeData (or until the store goes).
    wchar_t* copy = new wchar_t[wide.size() + 1];
    std::wmemcpy(copy, wide.c_str(), wide.size() + 1);
    try {
      platform::CMutexLock lock(m_textMutex);
      m_texts.insert(copy);
    } catch (...) {
      delete[] copy;
      throw;
    }
    *text = copy;
    return S_OK;
  });
}

HRESULT CDataStore::FreeData(wchar_t* text) {
  if (!text) return S_OK;
  bool known = false;
  {
    platform::CMutexLock lock(m_textMutex);
    known = m_texts.erase(text) > 0;
  }
  if (!known) {
    CCallLog log(m_logger);
    log.Warning("FreeData: the text was not handed out by GetData, or was given back already");
    return E_INVALIDARG;
  }
  delete[] text;
  return S_OK;
}

HRESULT CDataStore::QueryData(const wchar_t* name, const wchar_t* parameters, IDataHolder** holder) {
  CCallLog log(m_logger);
  return Guarded(log, [&]() -> HRESULT {
    if (!holder) {
      log.Warning("QueryData without a place for the holder");
      return E_POINTER;
    }
    *holder = nullptr;
    if (!name || !*name) {
      log.Warning("QueryData without a name");
      return E_INVALIDARG;
    }
    const QueryCommand* command = FindQuery(name);
    if (!command) {
      log.Warning("QueryData: unknown command " + LogName(name));
      return E_INVALIDARG;
    }
    log.SetPrefix(SafeName(name) + ": ");
    const CParams params = ParseParams(parameters);
    LogProblems(log, params);
    std::optional<std::wstring> result;
    HRESULT hr;
    m_writer.Flush();  // read-your-writes, as in GetData
    {
      platform::CMutexLock lock(m_readMutex);
      hr = command->handler(*m_readCtx, log, params, &result);
    }
    if (result) *holder = CDataHolder::Create(std::move(*result));
    return hr;
  });
}

HRESULT CDataStore::Subscribe(const wchar_t* name, INotifierStub* sink, uintptr_t* cookie) {
  CCallLog log(m_logger);
  return Guarded(log, [&]() -> HRESULT {
    if (cookie) *cookie = 0;
    if (!sink) {
      log.Warning("Subscribe without a sink");
      return E_POINTER;
    }
    if (!IsNotificationName(name)) {
      log.Warning("Subscribe: the store sends no notification " + (name ? LogName(name) : std::string("(null)")));
      return E_INVALIDARG;
    }
    m_notifier.Subscribe(name, sink, cookie);
    return S_OK;
  });
}

}  // namespace datastore

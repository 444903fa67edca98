#pragma once
// What every command handler gets, the handler signatures, the notification names, and
// the small checks that the handlers share. A handler has its connection to itself (a
// query under the read lock, a write on the writer thread); it logs into the call's
// CCallLog (flushed after the lock is released) and posts notifications only after its
// transaction has committed. A SetHandler runs twice: on
// the caller's thread in checking mode (CStoreContext::checkOnly), where it refuses bad
// parameters, then on the writer thread, where it writes and where the refusals that
// depend on what the file holds (an unknown id, ...) are found.
#include <cstdint>
#include <optional>
#include <string>

#include "components/datastore/datastore.h"
#include "components/datastore/logger.h"
#include "components/datastore/notifier.h"
#include "components/datastore/params.h"
#include "components/datastore/sqlitedb.h"

namespace datastore {

struct CStoreContext {
  CSqliteDb& db;
  CNotifier& notifier;
  const DataStoreOptions& options;
  // Checking only: a handler checks its parameters, logs what is wrong, and returns S_OK
  // for a command it would run, without writing. SetData checks this way on the caller's
  // thread before it queues the write (db is then the read connection).
  bool checkOnly = false;
};

// A SetData command with a key=value parameter text.
using SetHandler = HRESULT (*)(CStoreContext& ctx, CCallLog& log, const CParams& params);
// A QueryData command: reads only (it runs on the read connection); leaving *result
// empty means no holder.
using QueryHandler = HRESULT (*)(CStoreContext& ctx, CCallLog& log, const CParams& params,
                                 std::optional<std::wstring>* result);

// Notification names the store sends.
extern const wchar_t kNotifyAddFavor[];
extern const wchar_t kNotifyUpdateFavor[];
extern const wchar_t kNotifyDelFavor[];
extern const wchar_t kNotifyDelFavorSet[];
extern const wchar_t kNotifySetSearchDefault[];
extern const wchar_t kNotifySetDefaultBrowser[];
extern const wchar_t kNotifyInsertRecover[];
extern const wchar_t kNotifyPageSize[];
bool IsNotificationName(const wchar_t* name);

// Logs a database failure (as "busy" when another process held the lock too long) and
// returns E_FAIL. Call before the failed transaction is rolled back.
HRESULT DbFailure(CStoreContext& ctx, CCallLog& log, const char* what);

// A required decimal parameter; logs and returns false when it is missing or malformed.
bool RequireDecimal(const CParams& params, const char* key, CCallLog& log, int64_t* value);
// An optional text parameter; empty when absent.
std::string TextParam(const CParams& params, const char* key);
// The "date" parameter normalised, or now when absent; logs and returns false when malformed.
bool DateParam(const CParams& params, CCallLog& log, std::string* date);
// A wide copy of a UTF-8 decimal number.
std::wstring WideNumber(int64_t value);

}  // namespace datastore

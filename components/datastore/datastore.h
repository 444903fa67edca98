#pragma once
// The browser's data store: favourites, history, icons, the recover list, search engines
// and settings in one SQLite database, reached only through the data accessor interfaces
// (IDataAccessor, IDataAccessorII, IDataAccessorNotifier). Commands and formats are
// described in components/datastore/README.md.
#include <functional>
#include <string>

#include "components/datastore/tunables.h"
#include "uicontrol/interfaces/dataaccessor.h"

#define DATASTORE_API __attribute__((visibility("default")))

namespace datastore {

enum class LogLevel { Info, Warning, Error };

// Receives every log entry of one store. Called on whatever thread made the call that
// logged, on the writer thread (for what a queued write logs) and on the notification
// thread, never with a store lock held. Without a sink,
// entries go to standard error as "datastore: LEVEL text" lines.
using LogSink = std::function<void(LogLevel level, const std::string& text)>;

enum class Durability {
  Full,    // every commit reaches the disk before the call returns (survives power loss)
  Normal,  // commits survive a killed process; the last ones may be lost on power loss
};

struct DataStoreOptions {
  // UTF-8 path of the database file; empty means DefaultDatabasePath().
  std::string databasePath;
  LogSink logSink;
  Durability durability = Durability::Full;
  // How long a call waits for another process that holds the write lock.
  int busyTimeoutMs = tunables::kDefaultBusyTimeoutMs;
  // The recover list keeps at most this many closed tabs (the oldest go first).
  int recoverLimit = tunables::kDefaultRecoverLimit;
};

// "$XDG_DATA_HOME/qxbrowser/datastore.db", or "~/.local/share/qxbrowser/datastore.db"
// when XDG_DATA_HOME is unset, empty or relative. Empty when no home folder is known.
DATASTORE_API std::string DefaultDatabasePath();

// Opens (creating, migrating and filling with defaults as needed) the database and returns
// the store with one reference the caller owns. On failure *out is null, the reason is
// logged, and the status is a failure.
DATASTORE_API HRESULT CreateDataStore(const DataStoreOptions& options, IDataAccessor** out);

const char* LogLevelName(LogLevel level);

}  // namespace datastore

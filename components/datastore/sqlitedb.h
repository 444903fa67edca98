#pragma once
// One SQLite connection with a cache of prepared statements, a scoped statement use that
// binds parameters (nothing is ever spliced into SQL text), and a scoped write transaction.
// Not thread-safe: the store serialises every use of a connection.
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "components/datastore/tunables.h"

namespace datastore {

class CSqliteDb {
 public:
  ~CSqliteDb();
  CSqliteDb(const CSqliteDb&) = delete;
  CSqliteDb& operator=(const CSqliteDb&) = delete;

  // Opens or creates the file; null with *error set on failure.
  static std::unique_ptr<CSqliteDb> Open(const std::string& path, std::string* error);

  sqlite3* Handle() const { return m_db; }
  // How long a statement waits for a lock another connection holds (0: not at all).
  void SetBusyTimeout(int milliseconds);
  int BusyTimeoutMs() const { return m_busyTimeoutMs; }
  // A cached statement for this SQL text, prepared on first use; null on error.
  sqlite3_stmt* Prepare(const std::string& sql);
  // Runs SQL without results (pragmas, schema); false on error.
  bool Exec(const char* sql);
  // The last error of the connection, with its code, for the log.
  std::string ErrorText() const;
  bool LastErrorWasBusy() const;
  // Whether a transaction is open on the connection (a batch of the writer's).
  bool InTransaction() const;

 private:
  explicit CSqliteDb(sqlite3* db) : m_db(db) {}

  sqlite3* m_db;
  int m_busyTimeoutMs = 0;
  std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};

// Uses a cached statement for one run: binds, steps, reads, and resets it on destruction.
class CStmt {
 public:
  CStmt(CSqliteDb& db, const std::string& sql) : m_stmt(db.Prepare(sql)) {}
  ~CStmt();
  CStmt(const CStmt&) = delete;
  CStmt& operator=(const CStmt&) = delete;

  bool Ok() const { return m_stmt != nullptr && m_bindOk; }
  CStmt& Bind(int index, const std::string& text);
  CStmt& Bind(int index, int64_t value);
  // SQLITE_ROW, SQLITE_DONE or an error code (SQLITE_MISUSE when preparing failed).
  int Step();
  // Steps to the end; false on error.
  bool Run();
  std::string Text(int column) const;
  int64_t Int(int column) const;

 private:
  sqlite3_stmt* m_stmt;
  bool m_bindOk = true;
};

// Paces the retries of a step that failed for a lock, within the connection's busy timeout.
// SQLite reports some locks at once instead of waiting for them, where waiting could
// deadlock: a connection that already reads asking to write, as the switch to the WAL
// journal does on a new file. A step that must not give up on a momentary lock loops:
//   CBusyRetry retry(db); while (!Step() && retry.Again()) {}
class CBusyRetry {
 public:
  explicit CBusyRetry(const CSqliteDb& db);
  // After a failed attempt: true, after a short pause, when it failed for a lock and the
  // busy timeout has not passed since this object was made; false otherwise.
  bool Again();

 private:
  const CSqliteDb& m_db;
  std::chrono::steady_clock::time_point m_deadline;
  std::chrono::milliseconds m_pause{tunables::kBusyRetryFirstPauseMs};
};

// BEGIN IMMEDIATE on construction (waiting up to the busy timeout for another writer);
// rolled back on destruction unless committed. Inside a transaction already open (the
// writer's batch) it is a savepoint: committing it keeps its changes for the batch's
// commit, and rolling it back undoes this write alone.
class CTransaction {
 public:
  explicit CTransaction(CSqliteDb& db);
  ~CTransaction();
  CTransaction(const CTransaction&) = delete;
  CTransaction& operator=(const CTransaction&) = delete;

  bool Begun() const { return m_begun; }
  bool Commit();

 private:
  CSqliteDb& m_db;
  const bool m_nested;
  bool m_begun = false;
  bool m_done = false;
};

}  // namespace datastore

#include "components/datastore/sqlitedb.h"

#include <algorithm>
#include <thread>

namespace datastore {

CSqliteDb::~CSqliteDb() {
  for (auto& entry : m_statements) sqlite3_finalize(entry.second);
  sqlite3_close_v2(m_db);
}

std::unique_ptr<CSqliteDb> CSqliteDb::Open(const std::string& path, std::string* error) {
  sqlite3* db = nullptr;
  // The store serialises its own use of the connection.
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    *error = "cannot open database \"" + path + "\": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  return std::unique_ptr<CSqliteDb>(new CSqliteDb(db));
}

void CSqliteDb::SetBusyTimeout(int milliseconds) {
  m_busyTimeoutMs = std::max(milliseconds, 0);
  sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
}

sqlite3_stmt* CSqliteDb::Prepare(const std::string& sql) {
  auto it = m_statements.find(sql);
  if (it != m_statements.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(m_db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  m_statements.emplace(sql, stmt);
  return stmt;
}

bool CSqliteDb::Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

std::string CSqliteDb::ErrorText() const {
  return std::string(sqlite3_errmsg(m_db)) + " (" + std::to_string(sqlite3_extended_errcode(m_db)) + ")";
}

bool CSqliteDb::LastErrorWasBusy() const {
  const int code = sqlite3_extended_errcode(m_db) & 0xFF;  // the primary code
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

CStmt::~CStmt() {
  if (m_stmt) {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
  }
}

CStmt& CStmt::Bind(int index, const std::string& text) {
  if (m_stmt && sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
                    SQLITE_OK) {
    m_bindOk = false;
  }
  return *this;
}

CStmt& CStmt::Bind(int index, int64_t value) {
  if (m_stmt && sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK) m_bindOk = false;
  return *this;
}

int CStmt::Step() {
  if (!Ok()) return SQLITE_MISUSE;
  return sqlite3_step(m_stmt);
}

bool CStmt::Run() {
  int rc;
  while ((rc = Step()) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE;
}

std::string CStmt::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(m_stmt, column);
  if (!text) return std::string();
  return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

int64_t CStmt::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

CBusyRetry::CBusyRetry(const CSqliteDb& db)
    : m_db(db), m_deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(db.BusyTimeoutMs())) {}

bool CBusyRetry::Again() {
  if (!m_db.LastErrorWasBusy() || std::chrono::steady_clock::now() >= m_deadline) return false;
  // Short at first (the lock is usually a moment's), then longer so that a long wait does
  // not spin.
  std::this_thread::sleep_for(m_pause);
  m_pause = std::min(m_pause * 2, std::chrono::milliseconds(tunables::kBusyRetryMaxPauseMs));
  return true;
}

bool CSqliteDb::InTransaction() const { return sqlite3_get_autocommit(m_db) == 0; }

CTransaction::CTransaction(CSqliteDb& db) : m_db(db), m_nested(db.InTransaction()) {
  m_begun = m_db.Exec(m_nested ? "SAVEPOINT one_write" : "BEGIN IMMEDIATE");
}

CTransaction::~CTransaction() {
  if (!m_begun || m_done) return;
  if (m_nested) {
    // Undoes this write alone; the writes before it in the outer transaction stay.
    m_db.Exec("ROLLBACK TO one_write");
    m_db.Exec("RELEASE one_write");
  } else {
    m_db.Exec("ROLLBACK");
  }
}

bool CTransaction::Commit() {
  if (!m_begun || m_done) return false;
  m_done = m_db.Exec(m_nested ? "RELEASE one_write" : "COMMIT");
  return m_done;
}

}  // namespace datastore

#include "components/datastore/schema.h"

#include <optional>

namespace datastore {

namespace {

// Version 1: the first layout, with the search engines and settings a new browser ships.
// Dates are "YYYY-MM-DD hh:mm:ss" local time. Favourite pid 0 is the root folder.
const char kVersion1[] = R"SQL(
CREATE TABLE favorites(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  pid INTEGER NOT NULL,
  type INTEGER NOT NULL CHECK (type IN (0, 1)),
  title TEXT NOT NULL,
  url TEXT NOT NULL DEFAULT '',
  icon TEXT NOT NULL DEFAULT '',
  date TEXT NOT NULL);
CREATE INDEX favorites_by_pid ON favorites(pid);

CREATE TABLE history(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  url TEXT NOT NULL,
  title TEXT NOT NULL,
  icon TEXT NOT NULL DEFAULT '',
  date TEXT NOT NULL);

CREATE TABLE icons(
  url TEXT PRIMARY KEY,
  icon TEXT NOT NULL,
  date TEXT NOT NULL);

CREATE TABLE recover(
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  uuid TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL,
  url TEXT NOT NULL,
  icon TEXT NOT NULL DEFAULT '');

CREATE TABLE search_engines(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  url TEXT NOT NULL,
  icon TEXT NOT NULL DEFAULT '',
  is_default INTEGER NOT NULL DEFAULT 0);

CREATE TABLE settings(
  name TEXT PRIMARY KEY,
  value TEXT NOT NULL);

INSERT INTO search_engines(id, name, url, is_default) VALUES
  (1, 'Baidu', 'https://www.baidu.com/s?wd={searchTerms}', 1),
  (2, 'Bing', 'https://www.bing.com/search?q={searchTerms}', 0),
  (3, 'Google', 'https://www.google.com/search?q={searchTerms}', 0),
  (4, 'Sogou', 'https://www.sogou.com/web?query={searchTerms}', 0);

INSERT INTO settings(name, value) VALUES
  ('defaulturl', 're:index'),
  ('set_show_homepage', '1'),
  ('check.default.browser', '1'),
  ('browser.close.info', '1'),
  ('page.size', '100');
)SQL";

// Version 2: the open tabs of the running session and the back and forward entries of
// every tab, open (session_entries) or closed (recover_entries). "current" is the index of
// the entry the tab shows.
const char kVersion2[] = R"SQL(
CREATE TABLE session_tabs(
  pos INTEGER PRIMARY KEY,
  current INTEGER NOT NULL,
  selected INTEGER NOT NULL DEFAULT 0);

CREATE TABLE session_entries(
  tab INTEGER NOT NULL,
  pos INTEGER NOT NULL,
  url TEXT NOT NULL,
  title TEXT NOT NULL,
  PRIMARY KEY (tab, pos));

ALTER TABLE recover ADD COLUMN current INTEGER NOT NULL DEFAULT 0;

CREATE TABLE recover_entries(
  uuid TEXT NOT NULL,
  pos INTEGER NOT NULL,
  url TEXT NOT NULL,
  title TEXT NOT NULL,
  PRIMARY KEY (uuid, pos));
)SQL";

int ReadVersion(CSqliteDb& db, bool* ok) {
  CStmt stmt(db, "PRAGMA user_version");
  *ok = stmt.Step() == SQLITE_ROW;
  return *ok ? static_cast<int>(stmt.Int(0)) : 0;
}

// Reads the version, trying again while another process holds the file for a moment.
int ReadVersionWaiting(CSqliteDb& db, bool* ok) {
  CBusyRetry retry(db);
  int version;
  do {
    version = ReadVersion(db, ok);
  } while (!*ok && retry.Again());
  return version;
}

}  // namespace

const std::vector<Migration>& StoreMigrations() {
  static const std::vector<Migration> steps = {{1, kVersion1}, {2, kVersion2}};
  return steps;
}

int CurrentSchemaVersion() { return StoreMigrations().back().nVersion; }

bool ConfigureConnection(CSqliteDb& db, const DataStoreOptions& options, std::string* error) {
  // First, so that every later statement waits for another process instead of failing.
  db.SetBusyTimeout(options.busyTimeoutMs);
  // On a new file the switch needs the file to itself, and SQLite does not wait for that
  // when this connection already reads it; another process opening the same file at the
  // same moment holds it only briefly, so the switch is tried again.
  CBusyRetry retry(db);
  for (;;) {
    int rc;
    std::string mode;
    {
      CStmt wal(db, "PRAGMA journal_mode=WAL");
      rc = wal.Step();
      if (rc == SQLITE_ROW) mode = wal.Text(0);
    }
    if (mode == "wal") break;
    if (rc != SQLITE_ROW && retry.Again()) continue;
    *error = "cannot switch to WAL journal: " + (rc == SQLITE_ROW ? "the file stays in " + mode + " mode" : db.ErrorText());
    return false;
  }
  const char* sync = options.durability == Durability::Full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL";
  if (!db.Exec(sync)) {
    *error = "cannot set durability: " + db.ErrorText();
    return false;
  }
  return true;
}

bool ApplyMigrations(CSqliteDb& db, const std::vector<Migration>& steps, std::string* error) {
  const int newest = steps.empty() ? 0 : steps.back().nVersion;
  bool ok = false;
  int version = ReadVersionWaiting(db, &ok);
  if (!ok) {
    *error = "cannot read schema version: " + db.ErrorText();
    return false;
  }
  if (version == newest) return true;
  // Read the version again under the write lock: another process may have just migrated.
  // BEGIN IMMEDIATE waits for the lock within the busy timeout; a lock SQLite reports at
  // once is waited for here.
  std::optional<CTransaction> tx;
  CBusyRetry retry(db);
  do {
    tx.emplace(db);
  } while (!tx->Begun() && retry.Again());
  if (!tx->Begun()) {
    *error = "cannot start schema update: " + db.ErrorText();
    return false;
  }
  version = ReadVersion(db, &ok);
  if (!ok) {
    *error = "cannot read schema version: " + db.ErrorText();
    return false;
  }
  if (version > newest) {
    *error = "database schema version " + std::to_string(version) + " is newer than this store knows (" +
             std::to_string(newest) + ")";
    return false;
  }
  for (const Migration& step : steps) {
    if (step.nVersion <= version) continue;
    if (!db.Exec(step.sql)) {
      *error = "schema step " + std::to_string(step.nVersion) + " failed: " + db.ErrorText();
      return false;
    }
  }
  // A pragma cannot take a bound parameter; the version is our own integer.
  const std::string setVersion = "PRAGMA user_version=" + std::to_string(newest);
  if (!db.Exec(setVersion.c_str()) || !tx->Commit()) {
    *error = "cannot finish schema update: " + db.ErrorText();
    return false;
  }
  return true;
}

}  // namespace datastore

#pragma once
// The database layout, its version (PRAGMA user_version) and the steps that bring an
// older file up to date. Each step runs once, in version order; all pending steps run in
// one write transaction, so a file is always at one whole version.
#include <string>
#include <vector>

#include "components/datastore/datastore.h"
#include "components/datastore/sqlitedb.h"

namespace datastore {

struct Migration {
  int nVersion;     // the version the file has after this step
  const char* sql;  // schema changes and the defaults that come with them
};

// The store's own steps; the last one's version is the current schema version.
const std::vector<Migration>& StoreMigrations();
int CurrentSchemaVersion();

// Busy timeout, WAL journal and the durability level; false with *error on failure.
bool ConfigureConnection(CSqliteDb& db, const DataStoreOptions& options, std::string* error);

// Runs the steps newer than the file's version. A file newer than the last step is
// refused (it was written by a later store whose data this one may not understand).
bool ApplyMigrations(CSqliteDb& db, const std::vector<Migration>& steps, std::string* error);

}  // namespace datastore

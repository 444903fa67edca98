// The schema version and the migration path.
#include <sqlite3.h>

#include "components/datastore/schema.h"
#include "store_fixture.h"

namespace dstest {
namespace {

std::string One(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string out = "<error>";
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    out = text ? reinterpret_cast<const char*>(text) : "<null>";
  }
  sqlite3_finalize(stmt);
  return out;
}

using SchemaTest = StoreTest;

TEST_F(SchemaTest, NewFileHasTheCurrentVersionInWalMode) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath().c_str(), &db), SQLITE_OK);
  // The store's writer may still hold the write lock for its trim at open.
  sqlite3_busy_timeout(db, 30000);
  EXPECT_EQ(One(db, "PRAGMA user_version"), std::to_string(datastore::CurrentSchemaVersion()));
  EXPECT_EQ(One(db, "PRAGMA journal_mode"), "wal");
  // A file from a later store is refused rather than misread.
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  Close();
  datastore::DataStoreOptions options;
  options.databasePath = DbPath();
  options.logSink = log.Sink();
  IDataAccessor* out = nullptr;
  EXPECT_EQ(datastore::CreateDataStore(options, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(log.Contains("database schema version 99 is newer than this store knows"));
}

TEST(SchemaMigration, PendingStepsRunOnceAndAllOrNothing) {
  TempDir dir;
  std::string error;
  auto db = datastore::CSqliteDb::Open(dir.Path("m.db"), &error);
  ASSERT_TRUE(db);
  const std::vector<datastore::Migration> v1 = {{1, "CREATE TABLE a(x); INSERT INTO a VALUES(1);"}};
  ASSERT_TRUE(datastore::ApplyMigrations(*db, v1, &error)) << error;
  auto v2 = v1;
  v2.push_back({2, "INSERT INTO a VALUES(2);"});
  ASSERT_TRUE(datastore::ApplyMigrations(*db, v2, &error)) << error;
  ASSERT_TRUE(datastore::ApplyMigrations(*db, v2, &error)) << error;  // nothing pending
  EXPECT_EQ(One(db->Handle(), "SELECT group_concat(x) FROM a"), "1,2");
  EXPECT_EQ(One(db->Handle(), "PRAGMA user_version"), "2");

  auto broken = v2;
  broken.push_back({3, "INSERT INTO a VALUES(3);"});
  broken.push_back({4, "INSERT INTO no_such_table VALUES(4);"});
  EXPECT_FALSE(datastore::ApplyMigrations(*db, broken, &error));
  EXPECT_NE(error.find("schema step 4 failed"), std::string::npos) << error;
  EXPECT_EQ(One(db->Handle(), "SELECT group_concat(x) FROM a"), "1,2");
  EXPECT_EQ(One(db->Handle(), "PRAGMA user_version"), "2");
}

}  // namespace
}  // namespace dstest

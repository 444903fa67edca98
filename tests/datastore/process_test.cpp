// Several processes on one database: a writer killed in mid-stream loses nothing it had
// confirmed, two writers at once lose nothing, writers opening a new file at the same
// instant all get in, a writer kept out too long says so, and callers never wait for it.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <set>

#include "store_fixture.h"

extern char** environ;

namespace dstest {
namespace {

// A running writer whose confirmations are read from a pipe. With a start descriptor the
// writer gets it as standard input and opens the store only once every copy of its other
// end is closed. The pipes are close-on-exec, so no writer holds another one's.
class Writer {
 public:
  Writer(const std::string& db, const char* mode, int count, const char* tag, int startFd = -1) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (startFd >= 0) posix_spawn_file_actions_adddup2(&actions, startFd, 0);
    const std::string countText = std::to_string(count);
    const char* args[] = {DATASTORE_TEST_WRITER, db.c_str(), mode, countText.c_str(), tag,
                          startFd >= 0 ? "wait" : nullptr, nullptr};
    if (posix_spawn(&m_pid, DATASTORE_TEST_WRITER, &actions, nullptr, const_cast<char**>(args), environ) != 0) {
      m_pid = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_out = fdopen(fds[0], "r");
  }
  ~Writer() {
    if (m_out) fclose(m_out);
  }
  bool Started() const { return m_pid != 0 && m_out; }
  // Reads confirmations until `count` more have come or the pipe ends; false at its end.
  bool ReadConfirmed(size_t count) {
    char line[64];
    for (size_t n = 0; n < count; ++n) {
      if (!fgets(line, sizeof line, m_out)) return false;
      if (line[0] >= '0' && line[0] <= '9') {
        confirmed.insert(std::atoi(line));
      } else {
        failures.push_back(line);
      }
    }
    return true;
  }
  void Kill() { kill(m_pid, SIGKILL); }
  // Reads the rest of the output, then the exit status (-1 when killed).
  int Finish() {
    while (ReadConfirmed(1)) {
    }
    int status = 0;
    waitpid(m_pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::set<int> confirmed;
  std::vector<std::string> failures;

 private:
  pid_t m_pid = 0;
  FILE* m_out = nullptr;
};

class ProcessTest : public StoreTest {
 protected:
  void SetUp() override {}  // the store is opened after the writers ran
  std::set<std::string> Titles(const wchar_t* command) {
    std::set<std::string> titles;
    Xml xml(Query(command).value_or(L""));
    for (TiXmlElement* e : Children(xml.root())) titles.insert(Attr(e, "title"));
    return titles;
  }
  std::string IntegrityCheck() {
    sqlite3* db = nullptr;
    sqlite3_open(DbPath().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    std::string result = "<error>";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
  }
};

TEST_F(ProcessTest, KilledWriterLosesNothingItConfirmed) {
  std::set<int> confirmed;
  const char* tags[] = {"k0-", "k1-", "k2-"};
  for (int round = 0; round < 3; ++round) {
    Writer writer(DbPath(), "his", 1000000, tags[round]);
    ASSERT_TRUE(writer.Started());
    ASSERT_TRUE(writer.ReadConfirmed(20 + 40 * round));
    writer.Kill();
    EXPECT_EQ(writer.Finish(), -1);
    EXPECT_TRUE(writer.failures.empty());
    for (int n : writer.confirmed) confirmed.insert(round * 10000000 + n);
  }
  EXPECT_EQ(IntegrityCheck(), "ok");
  Open();
  const std::set<std::string> titles = Titles(L"query_his");
  for (int key : confirmed) {
    const std::string title = std::string(tags[key / 10000000]) + std::to_string(key % 10000000);
    EXPECT_TRUE(titles.count(title)) << title << " was confirmed but is missing";
  }
  EXPECT_GE(titles.size(), confirmed.size());
}

TEST_F(ProcessTest, TwoWritersAtOnceLoseNothing) {
  Writer first(DbPath(), "favor", 150, "p");
  Writer second(DbPath(), "favor", 150, "q");
  ASSERT_TRUE(first.Started() && second.Started());
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_EQ(second.Finish(), 0);
  EXPECT_EQ(first.confirmed.size(), 150u);
  EXPECT_EQ(second.confirmed.size(), 150u);
  Open();
  const std::set<std::string> titles = Titles(L"get_fav_xml");
  EXPECT_EQ(titles.size(), 300u);
  EXPECT_TRUE(titles.count("p149") && titles.count("q0"));
  EXPECT_EQ(IntegrityCheck(), "ok");
}

// A new file is where the opening steps (WAL switch, schema creation) meet: every writer
// must wait for the others' locks there instead of giving up.
TEST_F(ProcessTest, WritersOpeningANewStoreAtOnceAllGetIn) {
  constexpr int kWriters = 5;
  constexpr int kRows = 10;
  constexpr int kRounds = 20;
  for (int round = 0; round < kRounds && !HasFailure(); ++round) {
    const std::string db = dir.Path("round" + std::to_string(round) + ".db");
    int start[2];
    ASSERT_EQ(pipe2(start, O_CLOEXEC), 0);
    std::vector<std::unique_ptr<Writer>> writers;
    std::vector<std::string> tags;
    for (int w = 0; w < kWriters; ++w) {
      tags.push_back("w" + std::to_string(w) + "-");
      writers.push_back(std::make_unique<Writer>(db, "favor", kRows, tags.back().c_str(), start[0]));
    }
    close(start[0]);
    close(start[1]);  // all writers open the store now
    for (int w = 0; w < kWriters; ++w) {
      ASSERT_TRUE(writers[w]->Started()) << "round " << round;
      EXPECT_EQ(writers[w]->Finish(), 0) << "round " << round << ", writer " << w;
      EXPECT_EQ(writers[w]->confirmed.size(), static_cast<size_t>(kRows)) << "round " << round << ", writer " << w;
    }
    sqlite3* check = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &check), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(check, "SELECT COUNT(DISTINCT title), COUNT(*) FROM favorites", -1, &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), kWriters * kRows) << "round " << round;
    EXPECT_EQ(sqlite3_column_int(stmt, 1), kWriters * kRows) << "round " << round;
    sqlite3_finalize(stmt);
    sqlite3_close(check);
  }
}

// Another process holds the write lock longer than the busy timeout: the queued write
// fails on the writer thread, says so in the log, and the next one gets in.
TEST_F(ProcessTest, WriterKeptOutTooLongReportsBusy) {
  datastore::DataStoreOptions options;
  options.busyTimeoutMs = 200;
  Open(options);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
  // The store's writer may be trimming history right after opening: wait for it.
  sqlite3_busy_timeout(other, 10000);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Set(L"add_his", L"url=http://busy/\n"), S_OK);  // queued
  EXPECT_EQ(Get(L"page.size"), L"100");  // waits for the write, which gives up; WAL reads go on
  EXPECT_TRUE(log.Contains("ERROR add_his: adding history: database is busy"));
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(Set(L"add_his", L"url=http://busy/\n"), S_OK);
  EXPECT_EQ(Titles(L"query_his").size(), 1u);
}

// While another process holds the write lock, SetData still returns at once (bad input is
// still refused at once), the writes wait on the writer thread, a read after them waits
// for them, and all of them land in order when the lock goes.
TEST_F(ProcessTest, CallersDoNotWaitForAWriterKeptOut) {
  Open();  // the default busy timeout of ten seconds
  RecordingSink sink;
  Subscribe(sink, {L"add_favor"});
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
  // The store's writer may be trimming history right after opening: wait for it.
  sqlite3_busy_timeout(other, 10000);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"0");  // nothing queued: no wait
  // The lock is held until the ROLLBACK below, so each call that returns did not wait.
  for (int n = 0; n < 20; ++n) {
    ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"f" + std::to_wstring(n), L"http://f/")), S_OK);
  }
  EXPECT_EQ(Set(L"add_his", L"url=http://waited/\n"), S_OK);
  EXPECT_EQ(Set(L"add_his", L"date=never\nurl=http://x/\n"), E_INVALIDARG);
  EXPECT_EQ(Set(L"page.size", L"many"), E_INVALIDARG);
  auto read = std::async(std::launch::async, [this] { return Titles(L"query_his"); });
  EXPECT_EQ(read.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  EXPECT_TRUE(sink.Notes().empty());  // nothing is notified before it is committed
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(read.get(), std::set<std::string>{"http://waited/"});
  ASSERT_TRUE(sink.WaitFor(20));
  const std::vector<Note> notes = sink.Notes();
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i].value, std::to_wstring(i + 1));
  Close();  // the store lets go of the sink before the sink goes
}

}  // namespace
}  // namespace dstest

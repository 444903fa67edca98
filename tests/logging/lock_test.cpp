// The log file lock across processes and threads.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "log_test_util.h"
#include "logging/logging.h"
#include "platform/text.h"

namespace {

std::wstring Wide(const std::string& text) { return platform::Utf8ToWide(text); }

void LogLines(const std::string& tag, int count, size_t length) {
  for (int i = 0; i < count; ++i) LOG_AT(logging::LOG_INFO) << logtest::PayloadLine(tag, i, length);
}

// Two helper processes and two threads of this process append to `file` at once.
std::map<std::string, int> AppendFromEverywhere(const std::string& file, int count, size_t length) {
  const std::string n = std::to_string(count), len = std::to_string(length);
  int first = logtest::StartHelper({"append", file, "childA", n, len});
  int second = logtest::StartHelper({"append", file, "childB", n, len});
  EXPECT_GT(first, 0);
  EXPECT_GT(second, 0);
  std::thread a(LogLines, "threadA", count, length);
  std::thread b(LogLines, "threadB", count, length);
  a.join();
  b.join();
  EXPECT_EQ(logtest::WaitHelper(first), 0);
  EXPECT_EQ(logtest::WaitHelper(second), 0);
  return {{"childA", count}, {"childB", count}, {"threadA", count}, {"threadB", count}};
}

}  // namespace

class FileLock : public logtest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    m_dir = logtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    logging::SetPrefixItems(true, true, false, false);
  }
  std::string m_dir;
};

TEST_F(FileLock, NamedAfterTheLogFile) {
  EXPECT_EQ(logging::LogFileMutexName(L"C:\\logs\\x.log"), L"Global\\C:/logs/x.log");
  EXPECT_EQ(logging::LogFileMutexName(L"/var/log/x.log"), L"Global\\/var/log/x.log");
  const std::string object = logging::LogFileLockObjectName(L"Global\\C:/logs/x.log");
  EXPECT_EQ(object, "/uicontrol-log-Global%5CC%3A%2Flogs%2Fx.log");
  EXPECT_NE(object, logging::LogFileLockObjectName(L"Global\\C:/logs/x_log"));
  const std::string longName = logging::LogFileLockObjectName(L"Global\\/" + std::wstring(300, L'd') + L"/x.log");
  EXPECT_LE(longName.size(), 200u);
  EXPECT_EQ(longName.find('/', 1), std::string::npos);
  EXPECT_NE(longName, logging::LogFileLockObjectName(L"Global\\/" + std::wstring(300, L'd') + L"/y.log"));
}

TEST_F(FileLock, AnotherProcessHoldsItWhileItWrites) {
  // The helper writes one line far larger than a pipe holds, so it is still inside its
  // write, holding the lock, when the first bytes arrive here.
  const std::string fifo = m_dir + "fifo.log";
  logtest::FifoReader reader(fifo);
  int child = logtest::StartHelper({"append", fifo, "child", "1", "1000000"});
  ASSERT_GT(child, 0);
  int readEnd = open(fifo.c_str(), O_RDONLY);  // a second reader: blocks until the helper opens
  ASSERT_GE(readEnd, 0);
  char first[4096];
  ssize_t got = read(readEnd, first, sizeof first);
  ASSERT_GT(got, 0);

  const std::string object = logging::LogFileLockObjectName(logging::LogFileMutexName(Wide(fifo)));
  int lock = shm_open(object.c_str(), O_RDONLY, 0);
  ASSERT_GE(lock, 0) << object;
  EXPECT_EQ(flock(lock, LOCK_EX | LOCK_NB), -1);
  EXPECT_EQ(errno, EWOULDBLOCK);

  reader.Start();
  std::string rest = reader.Finish();
  close(readEnd);
  EXPECT_EQ(logtest::WaitHelper(child), 0);
  EXPECT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0) << "the lock goes with the process";
  close(lock);
  std::map<std::string, int> counts;
  EXPECT_EQ(logtest::CheckWholeLines(std::string(first, static_cast<size_t>(got)) + rest, 1000000, &counts), "");
  EXPECT_EQ(counts["child"], 1);
}

TEST_F(FileLock, ProcessesAndThreadsAppendWholeLinesToAFile) {
  const std::string file = m_dir + "shared.log";
  ASSERT_TRUE(logging::ConfigureLogging(Wide(file), logging::TargetFile, logging::LockAcrossProcesses,
                                        logging::DeleteOldLogFile, 0));
  auto expected = AppendFromEverywhere(file, 300, 5000);
  logging::ReleaseLogFile();
  std::map<std::string, int> counts;
  EXPECT_EQ(logtest::CheckWholeLines(logtest::ReadFile(file), 5000, &counts), "");
  EXPECT_EQ(counts, expected);
}

TEST_F(FileLock, ProcessesAndThreadsWriteWholeLinesIntoAPipe) {
  // Pipes split large writes, so without the lock these lines would interleave.
  const std::string fifo = m_dir + "fifo.log";
  logtest::FifoReader reader(fifo);
  ASSERT_TRUE(logging::ConfigureLogging(Wide(fifo), logging::TargetFile, logging::LockAcrossProcesses,
                                        logging::AppendToOldLogFile, 0));
  reader.Start();
  auto expected = AppendFromEverywhere(fifo, 15, 200000);
  logging::ReleaseLogFile();  // the last writer: the reader sees the end
  std::map<std::string, int> counts;
  EXPECT_EQ(logtest::CheckWholeLines(reader.Finish(), 200000, &counts), "");
  EXPECT_EQ(counts, expected);
}

TEST_F(FileLock, SettingsMayChangeWhileThreadsLog) {
  ASSERT_TRUE(logging::ConfigureLogging(Wide(m_dir + "x.log"), logging::TargetFile, logging::LockAcrossProcesses,
                                        logging::DeleteOldLogFile, 0));
  std::atomic<int> hooked{0};
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (int i = 0; !done; ++i) {
      logging::SetPrefixItems(i & 1, i & 2, i & 4, i & 8);
      logging::SetMinimumLevel(i % 2);
      logging::SetMessageHook([&](int, const char*, int, size_t, const std::string&) { return ++hooked < 0; });
      logging::SetMessageHook(nullptr);
      if (i % 64 == 0) logging::ReleaseLogFile();
    }
  });
  auto warn = [] {
    for (int i = 0; i < 2000; ++i) LOG_AT(logging::LOG_WARNING) << "line " << i;
  };
  std::thread a(warn);
  warn();
  a.join();
  done = true;
  changer.join();
  logging::ReleaseLogFile();
  EXPECT_EQ(logtest::SplitLines(logtest::ReadFile(m_dir + "x.log")).size(), 4000u) << "lines were lost";
}

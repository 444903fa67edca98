// Children made by fork without exec share their parent's open files; each must still
// take the cross-process lock for itself.
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "log_test_util.h"
#include "logging/logging.h"
#include "platform/text.h"

class ForkedWriters : public logtest::LoggingTest {};

TEST_F(ForkedWriters, KeepLinesWhole) {
  const std::string fifo = logtest::MakeTempDir("forked") + "fifo.log";
  logtest::FifoReader reader(fifo);
  logging::SetPrefixItems(true, true, false, false);
  ASSERT_TRUE(logging::ConfigureLogging(platform::Utf8ToWide(fifo), logging::TargetFile,
                                        logging::LockAcrossProcesses, logging::AppendToOldLogFile, 0));
  const int kLines = 10;
  const size_t kLength = 200000;
  auto write = [&](const std::string& tag) {
    for (int i = 0; i < kLines; ++i) LOG_AT(logging::LOG_INFO) << logtest::PayloadLine(tag, i, kLength);
  };
  std::vector<pid_t> children;
  for (const char* tag : {"forkA", "forkB"}) {
    pid_t pid = fork();
    if (pid == 0) {
      write(tag);
      _exit(0);
    }
    ASSERT_GT(pid, 0);
    children.push_back(pid);
  }
  reader.Start();
  std::thread a(write, "threadA");
  write("main");
  a.join();
  for (pid_t pid : children) EXPECT_EQ(logtest::WaitHelper(pid), 0);
  logging::ReleaseLogFile();
  std::map<std::string, int> counts;
  EXPECT_EQ(logtest::CheckWholeLines(reader.Finish(), kLength, &counts), "");
  EXPECT_EQ(counts, (std::map<std::string, int>{{"forkA", kLines}, {"forkB", kLines}, {"threadA", kLines},
                                                {"main", kLines}}));
}

// Where finished lines go: targets, the log file's name and fallback, old files.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "log_test_util.h"
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/dialogs.h"
#include "platform/text.h"

using logtest::FileExists;
using logtest::ReadFile;
using logtest::SplitLines;

namespace {

std::wstring Wide(const std::string& text) { return platform::Utf8ToWide(text); }

// A folder nobody can create files in (named so that the fixture's clean-up finds the
// lock object named after it).
std::string MissingFolder() { return "/proc/logging-" + std::to_string(getpid()) + "-missing/"; }

// Runs in a given current folder and returns to the old one.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& folder) {
    char* old = getcwd(nullptr, 0);
    m_old = old ? old : "/";
    free(old);
    EXPECT_EQ(chdir(folder.c_str()), 0) << folder;
  }
  ~ScopedCurrentFolder() { EXPECT_EQ(chdir(m_old.c_str()), 0); }

 private:
  std::string m_old;
};

}  // namespace

class Targets : public logtest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    m_dir = logtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    logtest::SetExecutableFolder(m_dir);
    platform::SetDebuggerOutputHandler([this](const std::string& text) { m_debugger += text; });
  }
  std::string m_dir;
  std::string m_debugger;
};

TEST_F(Targets, NoneWritesOnlyErrorsToStandardError) {
  logtest::WriteExecutable(m_dir + "keep.log", "old\n");
  ASSERT_TRUE(logging::ConfigureLogging(Wide(m_dir + "keep.log"), logging::TargetNone, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  logtest::StderrCapture capture;
  LOG_AT(logging::LOG_WARNING) << "warning";
  LOG_AT(logging::LOG_ERROR) << "error";
  LOG_AT(logging::LOG_ERROR_REPORT) << "report";
  const auto lines = SplitLines(capture.Finish());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" ERROR target_test.cpp("), std::string::npos);
  EXPECT_NE(lines[0].find("] error"), std::string::npos);
  EXPECT_NE(lines[1].find("] report"), std::string::npos);
  EXPECT_EQ(ReadFile(m_dir + "keep.log"), "old\n") << "the name must not be stored, nor the file deleted";
  EXPECT_FALSE(FileExists(m_dir + "debug.log"));
  EXPECT_TRUE(m_debugger.empty());
}

TEST_F(Targets, DebuggerGetsEveryLineAndStandardErrorToo) {
  ASSERT_TRUE(logging::ConfigureLogging(L"", logging::TargetDebugger, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  logtest::StderrCapture capture;
  LOG_AT(logging::LOG_INFO) << "info";
  const std::string err = capture.Finish();
  EXPECT_NE(m_debugger.find("] info\n"), std::string::npos);
  EXPECT_EQ(err, m_debugger);
  EXPECT_FALSE(FileExists(m_dir + "debug.log"));

  m_debugger.clear();
  const std::string file = m_dir + "both.log";
  ASSERT_TRUE(logging::ConfigureLogging(Wide(file), logging::TargetFileAndDebugger, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  logtest::StderrCapture second;
  LOG_AT(logging::LOG_WARNING) << logging::msg::kEmptyPageID;
  EXPECT_EQ(second.Finish(), m_debugger);
  EXPECT_EQ(ReadFile(file), m_debugger);
  // The GBK bytes pass unchanged.
  EXPECT_EQ(m_debugger.substr(m_debugger.size() - 14), std::string(logging::msg::kEmptyPageID) + "\n");
}

TEST_F(Targets, DefaultFileInTheExecutableFolder) {
  LOG_AT(logging::LOG_INFO) << "first";
  LOG_AT(logging::LOG_WARNING) << "second";
  const auto lines = SplitLines(ReadFile(m_dir + "debug.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" INFO target_test.cpp("), std::string::npos);
  EXPECT_NE(lines[1].find("] second"), std::string::npos);
}

TEST_F(Targets, FallsBackToDebugLogInTheCurrentFolder) {
  logtest::SetExecutableFolder(MissingFolder());
  {
    ScopedCurrentFolder here(m_dir);
    LOG_AT(logging::LOG_INFO) << "default unwritable";
    ASSERT_TRUE(logging::ConfigureLogging(Wide(MissingFolder() + "x.log"), logging::TargetFile,
                                          logging::LockInProcess, logging::AppendToOldLogFile, 0));
    LOG_AT(logging::LOG_INFO) << "configured unwritable";
  }
  const auto lines = SplitLines(ReadFile(m_dir + "debug.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("] default unwritable"), std::string::npos);
  EXPECT_NE(lines[1].find("] configured unwritable"), std::string::npos);
}

TEST_F(Targets, NeitherFileOpensThenLaterEntriesRetry) {
  {
    ScopedCurrentFolder proc("/proc");
    EXPECT_FALSE(logging::ConfigureLogging(Wide(MissingFolder() + "x.log"), logging::TargetFile,
                                           logging::LockInProcess, logging::DeleteOldLogFile, 0));
    LOG_AT(logging::LOG_INFO) << "lost";
  }
  ScopedCurrentFolder here(m_dir);
  LOG_AT(logging::LOG_INFO) << "kept";
  const auto lines = SplitLines(ReadFile(m_dir + "debug.log"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("] kept"), std::string::npos);
}

TEST_F(Targets, DeleteOrAppendToTheOldFile) {
  const std::string file = m_dir + "x.log";
  logtest::WriteExecutable(file, "old\n");
  ASSERT_TRUE(logging::ConfigureLogging(Wide(file), logging::TargetFile, logging::LockInProcess,
                                        logging::AppendToOldLogFile, 0));
  LOG_AT(logging::LOG_INFO) << "appended";
  EXPECT_EQ(ReadFile(file).substr(0, 4), "old\n");
  EXPECT_EQ(SplitLines(ReadFile(file)).size(), 2u);

  ASSERT_TRUE(logging::ConfigureLogging(Wide(file), logging::TargetFile, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  EXPECT_TRUE(FileExists(file)) << "configuring opens (creates) the file";
  EXPECT_EQ(ReadFile(file), "");
  LOG_AT(logging::LOG_INFO) << "fresh";
  const auto lines = SplitLines(ReadFile(file));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("] fresh"), std::string::npos);
}

TEST_F(Targets, FileStaysOpenUntilReleased) {
  const std::string file = m_dir + "x.log";
  ASSERT_TRUE(logging::ConfigureLogging(Wide(file), logging::TargetFile, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  LOG_AT(logging::LOG_INFO) << "one";
  ASSERT_EQ(std::rename(file.c_str(), (file + ".old").c_str()), 0);
  LOG_AT(logging::LOG_INFO) << "two";
  logging::ReleaseLogFile();
  LOG_AT(logging::LOG_INFO) << "three";
  EXPECT_EQ(SplitLines(ReadFile(file + ".old")).size(), 2u);
  const auto lines = SplitLines(ReadFile(file));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("] three"), std::string::npos);
}

TEST_F(Targets, PipesWithoutReaderDoNotEndTheProcess) {
  const std::string fifo = m_dir + "fifo.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(logging::ConfigureLogging(Wide(fifo), logging::TargetFile, logging::LockInProcess,
                                        logging::AppendToOldLogFile, 0));
  close(reader);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);
  std::fflush(stderr);
  const int savedStderr = dup(2);
  dup2(pipeEnds[1], 2);
  close(pipeEnds[1]);
  LOG_AT(logging::LOG_ERROR) << "nobody reads this";  // both the file and stderr are broken pipes
  dup2(savedStderr, 2);
  close(savedStderr);

  sigset_t pending, mask;
  sigpending(&pending);
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  EXPECT_FALSE(sigismember(&mask, SIGPIPE));
}

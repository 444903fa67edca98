// FATAL and ERROR_REPORT actions, the debug dialog, and what the message hook can stop.
#include <sys/stat.h>

#include <stdexcept>

#include "log_test_util.h"
#include "logging/logging.h"
#include "platform/dialogs.h"

using logtest::ReadFile;

namespace {

struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

}  // namespace

class Reports : public logtest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    m_dir = logtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    logtest::SetExecutableFolder(m_dir);
    ASSERT_TRUE(logging::ConfigureLogging(L"", logging::TargetNone, logging::LockInProcess,
                                          logging::DeleteOldLogFile, 0));
    platform::SetDebugBreakHandler([this] { ++m_breaks; });
    platform::SetMessageBoxHandler([this](HWND owner, const std::string& text, const std::string& caption, UINT type) {
      m_boxes.push_back(MessageBoxCall{owner, text, caption, type});
      return IDOK;
    });
    logging::SetFatalHandler([this](const std::string& text) { m_fatal.push_back(text); });
  }
  // A stand-in dialog program that records its arguments.
  void InstallDialogProgram() {
    logtest::WriteExecutable(m_dir + "DebugMessage.exe",
                             "#!/bin/sh\necho \"$#\" >> '" + m_dir + "dialog.txt'\nprintf '%s' \"$1\" >> '" + m_dir +
                                 "dialog.txt'\n");
  }
  std::string m_dir;
  int m_breaks = 0;
  std::vector<MessageBoxCall> m_boxes;
  std::vector<std::string> m_fatal;
  logtest::StderrCapture m_quiet;  // ERROR and above go to standard error
};

TEST_F(Reports, FatalBreaksIntoADebuggerOrCallsTheHandler) {
  auto& records = logtest::RecordEntries(false);
  platform::SetDebuggerPresentForTest(true);
  LOG_AT(logging::LOG_FATAL) << "with debugger";
  EXPECT_EQ(m_breaks, 1);
  EXPECT_TRUE(m_fatal.empty());

  platform::SetDebuggerPresentForTest(false);
  LOG_AT(logging::LOG_FATAL) << "without debugger";
  ASSERT_EQ(m_fatal.size(), 1u);
  EXPECT_EQ(m_fatal[0], records.back().text);

  logging::SetFatalHandler(nullptr);
  LOG_AT(logging::LOG_FATAL) << "nobody handles this";  // only written; the caller goes on
  EXPECT_EQ(records.size(), 3u);
  EXPECT_EQ(m_breaks, 1);
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Reports, ErrorReportGoesToTheReportHandlerElseTheDialog) {
  InstallDialogProgram();
  logging::SetShowDebugDialogs(true);
  std::vector<std::string> reports;
  logging::SetReportHandler([&](const std::string& text) { reports.push_back(text); });
  auto& records = logtest::RecordEntries(false);
  LOG_AT(logging::LOG_ERROR_REPORT) << "handled";
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], records[0].text);
  EXPECT_FALSE(logtest::FileExists(m_dir + "dialog.txt"));

  logging::SetReportHandler(nullptr);
  LOG_AT(logging::LOG_ERROR_REPORT) << "shown with \"quotes\" and blanks";
  EXPECT_EQ(ReadFile(m_dir + "dialog.txt"), "1\n" + records[1].text);
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Reports, DialogOffDoesNothing) {
  InstallDialogProgram();
  LOG_AT(logging::LOG_ERROR_REPORT) << "quiet";
  EXPECT_FALSE(logtest::FileExists(m_dir + "dialog.txt"));
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Reports, MessageBoxWhenTheDialogProgramCannotStart) {
  logging::SetShowDebugDialogs(true);
  auto& records = logtest::RecordEntries(false);
  LOG_AT(logging::LOG_ERROR_REPORT) << "no program";
  logtest::WriteExecutable(m_dir + "DebugMessage.exe", "not a program");
  chmod((m_dir + "DebugMessage.exe").c_str(), 0644);
  LOG_AT(logging::LOG_ERROR_REPORT) << "not executable";
  ASSERT_EQ(m_boxes.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(m_boxes[i].owner, nullptr);
    EXPECT_EQ(m_boxes[i].text, records[i].text);
    EXPECT_EQ(m_boxes[i].caption, "Fatal error");
    EXPECT_EQ(m_boxes[i].type, 0x40010u);
  }
}

TEST_F(Reports, HookReturningTrueStopsEverything) {
  std::string debugger;
  platform::SetDebuggerOutputHandler([&](const std::string& text) { debugger += text; });
  ASSERT_TRUE(logging::ConfigureLogging(L"", logging::TargetFileAndDebugger, logging::LockInProcess,
                                        logging::DeleteOldLogFile, 0));
  platform::SetDebuggerPresentForTest(true);
  logging::SetShowDebugDialogs(true);
  auto& records = logtest::RecordEntries(true);
  logtest::StderrCapture capture;
  LOG_AT(logging::LOG_FATAL) << "stopped";
  LOG_AT(logging::LOG_ERROR_REPORT) << "stopped";
  EXPECT_EQ(capture.Finish(), "");
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(debugger, "");
  EXPECT_EQ(m_breaks, 0);
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_EQ(ReadFile(m_dir + "debug.log"), "");

  logtest::RecordEntries(false);
  LOG_AT(logging::LOG_FATAL) << "passes";
  EXPECT_EQ(m_breaks, 1);
  EXPECT_NE(debugger.find("] passes\n"), std::string::npos);
  EXPECT_EQ(ReadFile(m_dir + "debug.log"), debugger);
}

TEST_F(Reports, ThrowingHookOrHandlerStaysInside) {
  logging::SetMessageHook([](int, const char*, int, size_t, const std::string&) -> bool { throw 1; });
  logging::SetFatalHandler([](const std::string&) { throw std::runtime_error("handler"); });
  logtest::StderrCapture capture;
  EXPECT_NO_THROW(LOG_AT(logging::LOG_FATAL) << "still written");
  EXPECT_NE(capture.Finish().find("] still written\n"), std::string::npos);
}

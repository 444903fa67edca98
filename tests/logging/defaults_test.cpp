// The settings at load, seen from a fresh process.
#include "log_test_util.h"

class SettingsAtLoad : public logtest::LoggingTest {};

TEST_F(SettingsAtLoad, FileTargetTimeStampInfoLevelChecksAndDialogsOff) {
  const std::string dir = logtest::MakeTempDir("defaults");
  logtest::WriteExecutable(dir + "DebugMessage.exe", "#!/bin/sh\ntouch '" + dir + "dialog-ran'\n");
  ASSERT_EQ(logtest::RunHelper({"defaults", dir}), 0) << "a check was evaluated";
  const auto lines = logtest::SplitLines(logtest::ReadFile(dir + "debug.log"));
  ASSERT_EQ(lines.size(), 3u);
  const std::string header = "[%d-%d/%d:%d:%d ";
  const std::string file = " logging_test_helper.cpp(%d)] ";
  EXPECT_TRUE(logtest::Matches(lines[0], header + "INFO" + file + "min=0 verbosity=0 checks=0")) << lines[0];
  EXPECT_TRUE(logtest::Matches(lines[1], header + "WARNING" + file + "warning")) << lines[1];
  EXPECT_TRUE(logtest::Matches(lines[2], header + "ERROR_REPORT" + file + "report")) << lines[2];
  for (const std::string& line : lines) EXPECT_EQ(line.find("-"), 3u) << "two-digit month";
  EXPECT_FALSE(logtest::FileExists(dir + "dialog-ran"));
}

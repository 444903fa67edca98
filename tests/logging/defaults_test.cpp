// The settings at load, seen from a fresh process.
#include <regex>

#include "log_test_util.h"

TEST(SettingsAtLoad, FileTargetTimeStampInfoLevelChecksAndDialogsOff) {
  const std::string dir = logtest::MakeTempDir("defaults");
  logtest::WriteExecutable(dir + "DebugMessage.exe", "#!/bin/sh\ntouch '" + dir + "dialog-ran'\n");
  ASSERT_EQ(logtest::RunHelper({"defaults", dir}), 0) << "a check was evaluated";
  const auto lines = logtest::SplitLines(logtest::ReadFile(dir + "debug.log"));
  ASSERT_EQ(lines.size(), 3u);
  const std::string header = R"(^\[\d\d-\d\d/\d\d:\d\d:\d\d )";
  const std::string file = R"( logging_test_helper\.cpp\(\d+\)\] )";
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(header + "INFO" + file + "min=0 verbosity=0 checks=0$")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(header + "WARNING" + file + "warning$"))) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(header + "ERROR_REPORT" + file + "report$"))) << lines[2];
  EXPECT_FALSE(logtest::FileExists(dir + "dialog-ran"));
}

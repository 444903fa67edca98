// The header, level names, message start and the special entry forms.
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "log_test_util.h"
#include "logging/logging.h"
#include "platform/system.h"

using logtest::FixedTime;
using logtest::RecordEntries;

class EntryFormat : public logtest::LoggingTest {};

TEST_F(EntryFormat, HeaderWithSettingsAtLoad) {
  auto& records = RecordEntries();
  platform::SetLocalTimeSourceForTest([] { return FixedTime(12, 31, 23, 59, 59); });
  logging::LogEntry("tabmanager", 7, logging::LOG_ERROR).stream() << "text";
  platform::SetLocalTimeSourceForTest([] { return FixedTime(4, 7, 9, 5, 3); });
  logging::LogEntry("C:\\src\\ui/tabs\\tabmanager.cpp", 212, logging::LOG_WARNING).stream() << "x";
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "[12-31/23:59:59 ERROR tabmanager(7)] text\n");
  EXPECT_EQ(records[1].text, "[04-07/09:05:03 WARNING tabmanager.cpp(212)] x\n");
}

TEST_F(EntryFormat, PrefixItemsInOrder) {
  auto& records = RecordEntries();
  platform::SetLocalTimeSourceForTest([] { return FixedTime(1, 2, 3, 4, 5); });
  logging::SetPrefixItems(true, true, true, true);
  const DWORD before = GetTickCount();
  logging::LogEntry("a/b.cpp", 1, logging::LOG_INFO).stream() << "m";
  const DWORD after = GetTickCount();
  logging::SetPrefixItems(false, false, false, false);
  logging::LogEntry("b.cpp", 2, logging::LOG_INFO).stream() << "m";
  ASSERT_EQ(records.size(), 2u);

  std::vector<std::string> parts;
  const std::string expected =
      "[pid=" + std::to_string(getpid()) + " tid=" + std::to_string(gettid()) + " 01-02/03:04:05 %d INFO b.cpp(1)] m\n";
  ASSERT_TRUE(logtest::Matches(records[0].text, expected, &parts)) << records[0].text;
  const DWORD ticks = static_cast<DWORD>(std::stoul(parts[0]));
  EXPECT_LE(before, ticks);
  EXPECT_LE(ticks, after);
  EXPECT_EQ(records[1].text, "[INFO b.cpp(2)] m\n");
}

TEST_F(EntryFormat, LevelNamesAndBaseNames) {
  auto& records = RecordEntries();
  logging::SetPrefixItems(false, false, false, false);
  logging::SetMinimumLevel(INT_MIN);
  const int levels[] = {-1, -2, INT_MIN, 0, 1, 2, 3, 4, 5};
  for (int level : levels) logging::LogEntry("f", 1, level);
  const char* names[] = {"VERBOSE1", "VERBOSE2",     "VERBOSE2147483648", "INFO",  "WARNING",
                         "ERROR",    "ERROR_REPORT", "FATAL",             "LEVEL5"};
  ASSERT_EQ(records.size(), 9u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(records[i].text, "[" + std::string(names[i]) + " f(1)] \n");

  records.clear();
  const char* paths[] = {"a\\b/c.cpp", "a/b\\c.cpp", "plain.cpp", "dir/", nullptr};
  for (const char* path : paths) logging::LogEntry(path, 3, logging::LOG_INFO);
  const char* bases[] = {"c.cpp", "c.cpp", "plain.cpp", "", ""};
  ASSERT_EQ(records.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(records[i].text, "[INFO " + std::string(bases[i]) + "(3)] \n");
}

TEST_F(EntryFormat, HookGetsWhereTheMessageStarts) {
  auto& records = RecordEntries();
  const int line = __LINE__ + 1;
  LOG_AT(logging::LOG_WARNING) << "hello " << 42;
  ASSERT_EQ(records.size(), 1u);
  const auto& r = records[0];
  EXPECT_EQ(r.level, logging::LOG_WARNING);
  EXPECT_STREQ(r.file, __FILE__);
  EXPECT_EQ(r.line, line);
  EXPECT_EQ(r.text.substr(r.messageStart), "hello 42\n");
  const std::string header = r.text.substr(0, r.messageStart);
  const std::string tail = "WARNING entry_format_test.cpp(" + std::to_string(line) + ")] ";
  ASSERT_GE(header.size(), tail.size());
  EXPECT_EQ(header.substr(header.size() - tail.size()), tail);
}

TEST_F(EntryFormat, CheckFailureAndSystemErrorForms) {
  auto& records = RecordEntries();
  logging::SetPrefixItems(false, false, false, false);
  logging::LogEntry("f", 1, new std::string("x > 0"));
  logging::LogEntry("f", 2, logging::LOG_WARNING, new std::string("y"));
  logging::LogEntry("f", 3).stream() << "info";
  logging::SystemErrorLogEntry("f", 4, logging::LOG_ERROR, ENOENT).stream() << "open";
  logging::SystemErrorLogEntry("f", 5, logging::LOG_ERROR, 123456, "kernel32.dll").stream() << "odd";
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].text, "[FATAL f(1)] Check failed: x > 0\n");
  EXPECT_EQ(records[1].text, "[WARNING f(2)] Check failed: y\n");
  EXPECT_EQ(records[2].text, "[INFO f(3)] info\n");
  EXPECT_EQ(records[3].text, "[ERROR f(4)] open: No such file or directory\n");
  EXPECT_EQ(records[4].text, "[ERROR f(5)] odd: Unknown error 123456\n");
}

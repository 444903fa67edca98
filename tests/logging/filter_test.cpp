// Level filtering and checked conditions: what is suppressed is not even evaluated.
#include <climits>

#include "log_test_util.h"
#include "logging/logging.h"

using logtest::RecordEntries;

namespace {
int g_calls = 0;
int Counted(int value) {
  ++g_calls;
  return value;
}
}  // namespace

class Filter : public logtest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    g_calls = 0;
  }
};

TEST_F(Filter, MinimumLevelSuppressesWithoutEvaluating) {
  auto& records = RecordEntries();
  logging::SetMinimumLevel(logging::LOG_WARNING);
  LOG_AT(logging::LOG_INFO) << Counted(1);
  EXPECT_EQ(g_calls, 0);
  LOG_AT(logging::LOG_WARNING) << Counted(2);
  EXPECT_EQ(g_calls, 1);
  LOG_AT(-2) << "verbose";
  logging::SetMinimumLevel(-2);
  LOG_AT(-2) << "verbose";
  LOG_AT(-3) << "too verbose";
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].text.find(" WARNING filter_test.cpp("), std::string::npos);
  EXPECT_NE(records[1].text.find(" VERBOSE2 filter_test.cpp("), std::string::npos);
}

TEST_F(Filter, MinimumLevelIsClampedToErrorReport) {
  auto& records = RecordEntries();
  logging::SetMinimumLevel(logging::LOG_FATAL);
  EXPECT_EQ(logging::GetMinimumLevel(), logging::LOG_ERROR_REPORT);
  logging::SetMinimumLevel(INT_MAX);
  EXPECT_EQ(logging::GetMinimumLevel(), logging::LOG_ERROR_REPORT);
  LOG_AT(logging::LOG_ERROR) << "suppressed";
  LOG_AT(logging::LOG_ERROR_REPORT) << "report";
  LOG_AT(logging::LOG_FATAL) << "fatal";
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, logging::LOG_ERROR_REPORT);
  EXPECT_EQ(records[1].level, logging::LOG_FATAL);
}

TEST_F(Filter, Verbosity) {
  const std::pair<int, int> cases[] = {{0, 0}, {2, -1}, {1, -1}, {-3, 3}, {INT_MIN, INT_MAX}};
  for (auto [minimum, verbosity] : cases) {
    logging::SetMinimumLevel(minimum);
    EXPECT_EQ(logging::GetVerbosity(), verbosity) << minimum;
  }
}

TEST_F(Filter, ChecksOnlyWhileTheSwitchIsOne) {
  auto& records = RecordEntries();
  unsigned uID = 0;
  std::string strURL;
  for (int value : {0, 2, -1}) {
    logging::SetChecksSwitch(value);
    CHECK_REPORT(Counted(0));
  }
  EXPECT_EQ(g_calls, 0) << "the condition was evaluated while checks were off";
  EXPECT_TRUE(records.empty());

  logging::SetChecksSwitch(1);
  EXPECT_EQ(logging::GetChecksSwitch(), 1);
  CHECK_REPORT(Counted(1));
  EXPECT_EQ(g_calls, 1);
  CHECK_REPORT(uID);
  const int line = __LINE__ + 1;
  CHECK_REPORT(strURL.empty() == false);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, logging::LOG_ERROR_REPORT);
  EXPECT_EQ(records[0].text.substr(records[0].messageStart), "Check failed: uID.\n");
  EXPECT_EQ(records[1].text.substr(records[1].messageStart), "Check failed: strURL.empty() == false.\n");
  EXPECT_NE(records[1].text.find("ERROR_REPORT filter_test.cpp(" + std::to_string(line) + ")] "),
            std::string::npos);
}

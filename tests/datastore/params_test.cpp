// Reading parameter texts, numbers and dates.
#include <gtest/gtest.h>

#include "components/datastore/params.h"

namespace datastore {
namespace {

TEST(ParamsTest, LinesSplitAtLineFeedsAndTheFirstEqualsSign) {
  CParams p = ParseParams(L"date=2024-3-7 9:7:2\nicon=\npid=-1\ntitle=a=b\r\nurl=http://x/?q=1");
  EXPECT_TRUE(p.problems.empty());
  EXPECT_EQ(p.values.size(), 5u);
  EXPECT_EQ(*p.Find("icon"), "");
  EXPECT_EQ(*p.Find("title"), "a=b\r");
  EXPECT_EQ(*p.Find("url"), "http://x/?q=1");  // the last line needs no line feed
  EXPECT_EQ(p.Find("type"), nullptr);
  EXPECT_TRUE(ParseParams(nullptr).values.empty());
  EXPECT_TRUE(ParseParams(L"\n\n").values.empty());
  CParams bad = ParseParams(L"k\n=v\na=1\na=2\n");
  EXPECT_EQ(bad.problems.size(), 3u);
  EXPECT_EQ(*bad.Find("a"), "2");
}

TEST(ParamsTest, NumbersAreStrict) {
  int64_t v = 0;
  EXPECT_TRUE(ParseDecimal("-1", &v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(ParseDecimal("007", &v));
  EXPECT_EQ(v, 7);
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "1a", "0x10", "1234567890123456789"}) {
    EXPECT_FALSE(ParseDecimal(bad, &v)) << bad;
  }
  EXPECT_TRUE(ParseHexIndex("ff", &v));
  EXPECT_EQ(v, 255);
  EXPECT_TRUE(ParseHexIndex("A", &v));
  EXPECT_EQ(v, 10);
  for (const char* bad : {"", "g", "-1", "0x1", "123456789"}) EXPECT_FALSE(ParseHexIndex(bad, &v)) << bad;
}

TEST(ParamsTest, DatesAreCheckedAndPadded) {
  std::string d;
  EXPECT_TRUE(NormalizeDate("2024-3-7 9:7:2", &d));
  EXPECT_EQ(d, "2024-03-07 09:07:02");
  EXPECT_TRUE(NormalizeDate("2024-02-29 23:59:59", &d));
  for (const char* bad : {"2023-2-29 0:0:0", "2024-13-1 0:0:0", "2024-4-31 0:0:0", "2024-1-1 24:0:0",
                          "2024-1-1T0:0:0", "2024-1-1 0:0:0 ", "2024-1-1", "x"}) {
    EXPECT_FALSE(NormalizeDate(bad, &d)) << bad;
  }
  EXPECT_TRUE(NormalizeDate(NowDate(), &d));
}

}  // namespace
}  // namespace datastore

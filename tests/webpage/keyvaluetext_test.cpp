#include "components/webpage/keyvaluetext.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

TEST(WebpageKeyValueText, ParsesLinesAtTheFirstEqualsSign) {
  KeyValues values = ParseKeyValueText(L"CMD=NAVIGATE\nURL=http://x/?a=1&b=2\nEMPTY=\n");
  EXPECT_EQ(3u, values.size());
  EXPECT_EQ(L"NAVIGATE", values[L"CMD"]);
  EXPECT_EQ(L"http://x/?a=1&b=2", values[L"URL"]);
  EXPECT_EQ(L"", values[L"EMPTY"]);
}

TEST(WebpageKeyValueText, SkipsLinesWithoutANameAndKeepsTheLastOfARepeatedName) {
  KeyValues values = ParseKeyValueText(L"\nnoequals\n=value\nA=1\nA=2\r\nB=last");
  EXPECT_EQ(2u, values.size());
  EXPECT_EQ(L"2\r", values[L"A"]) << "nothing is trimmed";
  EXPECT_EQ(L"last", values[L"B"]);
  EXPECT_TRUE(ParseKeyValueText(nullptr).empty());
  EXPECT_TRUE(ParseKeyValueText(L"").empty());
}

TEST(WebpageKeyValueText, WritesSortedLinesAndNeverLetsAValueAddALine) {
  EXPECT_EQ(L"TITLE=a b c\nURL=u\n", WriteKeyValueText({{L"URL", L"u"}, {L"TITLE", L"a\nb\rc"}}));
  EXPECT_EQ(L"", WriteKeyValueText({}));
  std::wstring withNul(L"a\0b", 3);
  EXPECT_EQ(L"ab", SafeValue(withNul));
  // What is written reads back the same.
  KeyValues original{{L"ERROR", L"x=y"}, {L"STATUS", L"194"}, {L"URL", L""}};
  std::wstring text = WriteKeyValueText(original);
  EXPECT_EQ(original, ParseKeyValueText(text.c_str()));
}

TEST(WebpageKeyValueText, NumbersAreLowerCaseHexadecimal) {
  EXPECT_EQ(L"0", Hex(0));
  EXPECT_EQ(L"64", Hex(100));
  EXPECT_EQ(L"ffffffff", Hex(0xffffffffu));
  uint32_t value = 0;
  EXPECT_TRUE(ParseHex32(L"12C0190", &value));
  EXPECT_EQ(0x12c0190u, value);
  EXPECT_FALSE(ParseHex32(L"", &value));
  EXPECT_FALSE(ParseHex32(L"0x10", &value));
  EXPECT_FALSE(ParseHex32(L"123456789", &value));
  EXPECT_FALSE(ParseHex32(L"-1", &value));
  EXPECT_TRUE(ParseDecimal32(L"4294967295", &value));
  EXPECT_EQ(4294967295u, value);
  EXPECT_FALSE(ParseDecimal32(L"4294967296", &value));
  EXPECT_FALSE(ParseDecimal32(L"1 ", &value));
}

}  // namespace
}  // namespace webpage

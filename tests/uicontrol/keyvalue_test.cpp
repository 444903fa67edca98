// The key=value texts every part reads and writes.
#include "uicontrol/interfaces/keyvalue.h"

#include <gtest/gtest.h>

#include "tests/uicontrol/eventtext_oracle.h"

namespace {

using keyvalue::Reading;

TEST(KeyValue, ReadsEveryLineAtItsFirstEqualsSign) {
  keyvalue::Map values = keyvalue::Parse(L"\nnoequals\n=value\nA=1\nA=2\r\nURL=http://x/?a=1&b=2\nB=last", Reading::kAllLines);
  EXPECT_EQ((keyvalue::Map{{L"A", L"2\r"}, {L"B", L"last"}, {L"URL", L"http://x/?a=1&b=2"}}), values)
      << "lines without a name are skipped, nothing is trimmed, the last of a name wins";
  EXPECT_TRUE(keyvalue::Parse(nullptr, Reading::kAllLines).empty());
  // The event reading stops where the library always stopped; the plain one reads on.
  EXPECT_TRUE(keyvalue::Parse(L"\n\nA=1\n", Reading::kEventText).empty());
  EXPECT_EQ(1u, keyvalue::Parse(L"\n\nA=1\n", Reading::kAllLines).size());
  EXPECT_TRUE(keyvalue::Parse(L"K\nA=1\n", Reading::kEventText).empty());
}

TEST(KeyValue, FindingOneOrSeveralNamesAnswersWhatTheParsedMapAnswers) {
  const wchar_t* texts[] = {L"A=1\nB=x=y\n", L"K\nA=1\n",   L"\n\nA=1\n", L"A=1\nA=2\n", L"=v\nA=3",
                            L"A=B=c\n",      L"AB=1\nA=2", L"",          L"A",          L"A=1\n\nA=2\nB"};
  // Names a reader can never give back (empty, holding "=") are never found.
  const std::wstring_view names[] = {L"A", L"B", L"AB", L"", L"A=B", L"missing"};
  for (const wchar_t* text : texts) {
    const EventParams params = ParseEventText(text);
    std::wstring_view values[6];
    const unsigned found = keyvalue::FindValues(text, Reading::kEventText, names, values);
    for (size_t i = 0; i < 6; ++i) {
      const std::wstring name(names[i]);
      const auto it = params.find(name);
      std::wstring_view one;
      ASSERT_EQ(it != params.end(), keyvalue::FindValue(text, names[i], Reading::kEventText, &one)) << text << " / " << name;
      ASSERT_EQ(it != params.end(), (found >> i & 1u) != 0) << text << " / " << name;
      if (it == params.end()) continue;
      EXPECT_EQ(it->second, one) << text << " / " << name;
      EXPECT_EQ(it->second, values[i]) << text << " / " << name;
    }
  }
}

TEST(KeyValue, TheCheckedWriterRefusesWhatWouldAddALine) {
  std::wstring text = L"untouched";
  EXPECT_FALSE(keyvalue::WriteChecked({{L"URL", L"a\nB=injected"}}, &text));
  EXPECT_FALSE(keyvalue::WriteChecked({{L"URL", std::wstring(L"a\0b", 3)}}, &text)) << "NUL cuts the text short";
  EXPECT_FALSE(keyvalue::WriteChecked({{L"A=B", L"1"}}, &text));
  EXPECT_FALSE(keyvalue::WriteChecked({{L"", L"1"}}, &text));
  EXPECT_EQ(L"untouched", text);
  ASSERT_TRUE(keyvalue::WriteChecked({{L"URL", L"u=1\r"}, {L"CMD", L"GO"}}, &text));
  EXPECT_EQ(L"CMD=GO\nURL=u=1\r\n", text) << "names ascending; a carriage return adds no line";
  EXPECT_EQ((keyvalue::Map{{L"CMD", L"GO"}, {L"URL", L"u=1\r"}}), keyvalue::Parse(text.c_str(), Reading::kAllLines));
}

TEST(KeyValue, TheSanitisingWriterKeepsEveryValueOnItsLine) {
  EXPECT_EQ(L"TITLE=a b c\nURL=u\n", keyvalue::WriteSanitized({{L"URL", L"u"}, {L"TITLE", L"a\nb\rc"}}));
  EXPECT_EQ(L"ab", keyvalue::SingleLine(std::wstring(L"a\0b", 3)));
  EXPECT_EQ(L"", keyvalue::WriteSanitized({}));
  const keyvalue::Map original{{L"ERROR", L"x=y"}, {L"STATUS", L"194"}, {L"URL", L""}};
  EXPECT_EQ(original, keyvalue::Parse(keyvalue::WriteSanitized(original).c_str(), Reading::kAllLines));
}

TEST(KeyValue, NumbersAreLowerCaseHexadecimal) {
  EXPECT_EQ(L"0", keyvalue::Hex(0));
  EXPECT_EQ(L"64", keyvalue::Hex(100));
  EXPECT_EQ(L"ffffffffffffffff", keyvalue::Hex(~0ull));
  uint32_t value = 0;
  EXPECT_TRUE(keyvalue::ParseHex32(L"12C0190", &value));
  EXPECT_EQ(0x12c0190u, value);
  for (const wchar_t* bad : {L"", L"0x10", L"123456789", L"-1", L"1 "}) EXPECT_FALSE(keyvalue::ParseHex32(bad, &value)) << bad;
  EXPECT_TRUE(keyvalue::ParseDecimal32(L"4294967295", &value));
  EXPECT_EQ(4294967295u, value);
  for (const wchar_t* bad : {L"4294967296", L"1 ", L"", L"+1"}) EXPECT_FALSE(keyvalue::ParseDecimal32(bad, &value)) << bad;
}

}  // namespace

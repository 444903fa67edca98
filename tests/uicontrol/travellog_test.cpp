// The travel log reader: separators, the stopping rule and the URL/title split.
#include <gtest/gtest.h>

#include "uicontrol/travellog.h"

namespace {
const std::wstring kEnd(1, L'\x03');
std::wstring Entry(const std::wstring& index, const std::wstring& value) { return index + L'\x02' + value; }
}  // namespace

TEST(TravelLogTest, ReadsIndexValuePairs) {
  EXPECT_TRUE(ParseTravelLog(L"").empty());
  EXPECT_EQ(ParseTravelLog(Entry(L"0", L"a") + kEnd + Entry(L"12", L"b")),
            (TravelLogMap{{L"0", L"a"}, {L"12", L"b"}}));
  EXPECT_EQ(ParseTravelLog(Entry(L"0", L"a") + kEnd), (TravelLogMap{{L"0", L"a"}})) << "trailing separator";
  EXPECT_EQ(ParseTravelLog(Entry(L"3", L"")), (TravelLogMap{{L"3", L""}})) << "index without value";
  EXPECT_EQ(ParseTravelLog(Entry(L"1", L"old") + kEnd + Entry(L"1", L"new")), (TravelLogMap{{L"1", L"new"}}));
  // Entries that add nothing: empty, no character 2, starting with character 2.
  EXPECT_EQ(ParseTravelLog(kEnd + Entry(L"0", L"a") + kEnd + L"noindex" + kEnd + Entry(L"", L"x") + kEnd +
                           Entry(L"1", L"b")),
            (TravelLogMap{{L"0", L"a"}, {L"1", L"b"}}));
}

TEST(TravelLogTest, StopsWhereTheNextCharacterIsASeparator) {
  // A one-character entry (or a doubled separator) ends the reading.
  EXPECT_EQ(ParseTravelLog(Entry(L"0", L"a") + kEnd + L"7" + kEnd + Entry(L"1", L"b")), (TravelLogMap{{L"0", L"a"}}));
  EXPECT_TRUE(ParseTravelLog(L"x" + kEnd + Entry(L"0", L"a")).empty());
  EXPECT_TRUE(ParseTravelLog(kEnd + kEnd + Entry(L"0", L"a")).empty());
  EXPECT_EQ(ParseTravelLog(Entry(L"0", L"a") + kEnd + L"7"), (TravelLogMap{{L"0", L"a"}}));
}

TEST(TravelLogTest, SplitsUrlAndTitle) {
  auto split = [](const std::wstring& value) {
    TravelLogEntry e = SplitTravelLogValue(value);
    return std::make_pair(e.strURL, e.strTitle);
  };
  EXPECT_EQ(split(L"http://u/\x01T"), std::make_pair(std::wstring(L"http://u/"), std::wstring(L"T")));
  EXPECT_EQ(split(L"http://u/"), std::make_pair(std::wstring(L"http://u/"), std::wstring(L"http://u/")));
  EXPECT_EQ(split(L"http://u/\x01"), std::make_pair(std::wstring(L"http://u/"), std::wstring(L"http://u/")));
  EXPECT_EQ(split(std::wstring(L"u\x01t\x01x")), std::make_pair(std::wstring(L"u"), std::wstring(L"t\x01x")));
}

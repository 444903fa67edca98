#include "components/webpage/travellog.h"

#include <gtest/gtest.h>

#include <map>

namespace webpage {
namespace {

NavigationHistory History(int current, int count) {
  NavigationHistory history;
  for (int i = 0; i < count; ++i) history.entries.push_back({L"http://h/" + std::to_wstring(i), L"T" + std::to_wstring(i)});
  history.current = current;
  return history;
}

// The reading the library applies to a travel log text, to check that what is built
// reads back as meant.
std::map<std::wstring, std::wstring> Read(const std::wstring& text) {
  std::map<std::wstring, std::wstring> entries;
  size_t p = 0;
  while (p < text.size()) {
    size_t end = text.find(L'\x03', p);
    std::wstring entry = text.substr(p, end == std::wstring::npos ? std::wstring::npos : end - p);
    size_t two = entry.find(L'\x02');
    if (two != std::wstring::npos && two > 0) entries[entry.substr(0, two)] = entry.substr(two + 1);
    if (end == std::wstring::npos) break;
    p = end + 1;
  }
  return entries;
}

TEST(WebpageTravelLog, BackEntriesStartAtTheNearestPage) {
  NavigationHistory history = History(2, 4);
  EXPECT_EQ(L"0\x02http://h/1\x01T1\x03" L"1\x02http://h/0\x01T0", BuildBackTravelLog(history));
  EXPECT_EQ(L"0\x02http://h/3\x01T3", BuildForeTravelLog(history));
  std::map<std::wstring, std::wstring> back = Read(BuildBackTravelLog(history));
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(L"http://h/0\x01T0", back[L"1"]);
}

TEST(WebpageTravelLog, EndsOfTheHistoryGiveEmptyTexts) {
  EXPECT_EQ(L"", BuildBackTravelLog(History(0, 3)));
  EXPECT_EQ(L"", BuildForeTravelLog(History(2, 3)));
  EXPECT_EQ(L"", BuildBackTravelLog(History(-1, 3)));
  EXPECT_EQ(L"", BuildForeTravelLog(History(5, 3)));
  EXPECT_EQ(L"", BuildBackTravelLog(NavigationHistory()));
}

TEST(WebpageTravelLog, MissingTitlesAndControlCharactersCannotBreakTheFormat) {
  NavigationHistory history;
  history.entries = {{L"http://a/", L""}, {L"http://b/", L"bad\x01\x02\x03\ntitle"}, {L"http://c/", L"C"}};
  history.current = 2;
  EXPECT_EQ(L"0\x02http://b/\x01" L"bad    title\x03" L"1\x02http://a/\x01http://a/", BuildBackTravelLog(history));
  EXPECT_EQ(2u, Read(BuildBackTravelLog(history)).size());
}

}  // namespace
}  // namespace webpage

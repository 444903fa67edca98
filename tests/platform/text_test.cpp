#include <gtest/gtest.h>

#include "platform/text.h"

using platform::AsciiLower;
using platform::Utf8ToWide;
using platform::WideToUtf8;

TEST(Text, RoundTripsEveryPlane) {
  const std::wstring text = L"a&<\"\u00e9\u4e2d\u6587\U0001F600";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
  EXPECT_EQ(WideToUtf8(L"\u4e2d"), "\xe4\xb8\xad");
  EXPECT_EQ(WideToUtf8(std::wstring(L"\U0001F600")), "\xf0\x9f\x98\x80");
}

TEST(Text, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xff" "b"), L"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xe4\xb8"), L"\uFFFD");              // truncated at the end
  EXPECT_EQ(Utf8ToWide("\xe4\xb8" "x"), L"\uFFFDx");         // truncated before ASCII
  EXPECT_EQ(Utf8ToWide("\xc0\xaf"), L"\uFFFD");              // overlong
  EXPECT_EQ(Utf8ToWide("\xed\xa0\x80"), L"\uFFFD");          // surrogate
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
  // A surrogate pair is one character; its halves alone, reversed or split are not.
  const wchar_t pair[] = {0xD83D, 0xDE00, 0};
  EXPECT_EQ(WideToUtf8(pair), "\xf0\x9f\x98\x80");
  const wchar_t reversed[] = {0xDE00, 0xD83D, L'x', 0};
  EXPECT_EQ(WideToUtf8(reversed), "\xef\xbf\xbd\xef\xbf\xbdx");
  const wchar_t split[] = {0xD83D, L'x', 0xDE00, 0};
  EXPECT_EQ(WideToUtf8(split), "\xef\xbf\xbdx\xef\xbf\xbd");
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xef\xbf\xbd");
}

TEST(Text, LowerCasingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLower(L"RE:Fav/\u00C9Z"), L"re:fav/\u00C9z");
}

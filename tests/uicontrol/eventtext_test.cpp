// The event value parser and its three readings.
#include <gtest/gtest.h>

#include "tests/uicontrol/eventtext_oracle.h"

TEST(EventText, ParsesLinesAtTheFirstEqualsSign) {
  EventParams p = ParseEventText(L"A=1\nB=x=y\n");
  EXPECT_EQ(p.size(), 2u);
  EXPECT_EQ(p[L"A"], L"1");
  EXPECT_EQ(p[L"B"], L"x=y");
  EXPECT_EQ(ParseEventText(L"A=1\r\n")[L"A"], L"1\r");
  EXPECT_EQ(ParseEventText(L"A=1")[L"A"], L"1") << "the last line needs no line feed";
  EXPECT_EQ(ParseEventText(L"A=\n").count(L"A"), 1u);
  EXPECT_EQ(ParseEventText(L"A=1\nA=2\n")[L"A"], L"2");
}

TEST(EventText, StopsAndSkipsLikeTheOriginalReader) {
  EXPECT_TRUE(ParseEventText(L"K\nA=1\n").empty()) << "a one-character line ends the parse";
  EXPECT_TRUE(ParseEventText(L"\n\nA=1\n").empty()) << "two line feeds in a row end it";
  EventParams p = ParseEventText(L"noequals\n=v\nB=2\n");
  EXPECT_EQ(p.size(), 1u);
  EXPECT_EQ(p[L"B"], L"2");
  EXPECT_TRUE(ParseEventText(nullptr).empty());
  EXPECT_TRUE(ParseEventText(L"").empty());
}

TEST(EventText, NumbersFlagsAndPercent) {
  EXPECT_EQ(EventPercentValue(ParseEventText(L"PERCENT=64\n"), L"PERCENT"), 100u);
  EXPECT_EQ(EventPercentValue(ParseEventText(L"PERCENT=1f\n"), L"PERCENT"), 31u);
  EXPECT_EQ(EventPercentValue(ParseEventText(L""), L"PERCENT"), 0u);
  EXPECT_EQ(EventPercentValue(ParseEventText(L"PERCENT=ff\n"), L"PERCENT"), 100u) << "held to 100";
  EXPECT_EQ(EventPercentValue(ParseEventText(L"PERCENT=-5\n"), L"PERCENT"), 0u);
  EXPECT_EQ(EventPercentValue(ParseEventText(L"PERCENT=zz\n"), L"PERCENT"), 0u);

  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND= 0x1A2b\n"), L"HWND"), 0x1a2bu);
  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND=12c0190zz\n"), L"HWND"), 0x12c0190u);
  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND=123456789abcdef\n"), L"HWND"), 0xffffffffu) << "overflow saturates";
  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND=-1\n"), L"HWND"), 0xffffffffu);
  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND=0x\n"), L"HWND"), 0u);
  EXPECT_EQ(EventNumberValue(ParseEventText(L"HWND=\uff11\n"), L"HWND"), 0u) << "only ASCII digits";
  EXPECT_EQ(EventNumberValue(ParseEventText(L""), L"HWND"), 0u);

  for (const wchar_t* f : {L"STATE=false\n", L"STATE=FALSE\n", L"STATE=fAlSe\n"}) {
    EXPECT_FALSE(EventFlagValue(ParseEventText(f), L"STATE")) << f;
  }
  for (const wchar_t* t : {L"STATE=0\n", L"STATE=TRUE\n", L"STATE=\n", L"", L"STATE=false \n"}) {
    EXPECT_TRUE(EventFlagValue(ParseEventText(t), L"STATE")) << t;
  }
}

TEST(EventText, DirectReadingsAnswerWhatTheParsedMapAnswers) {
  const wchar_t* texts[] = {L"A=1\nB=x=y\n", L"K\nA=1\n", L"\n\nA=1\n", L"A=1\r\n", L"A=1\nA=2\n", L"A=",
                            L"=v\nA=3", L"A=false\nB=FALSE\n", L"A= 0x1f\nB=-1\n", L"noequals\nA=ff\n",
                            L"A=1\n\nA=2\n", L"A=1\nx\nA=2\n", L"AB=1\nA=2", L"", L"A", L"\n", L"A=1\nB"};
  for (const wchar_t* text : texts) {
    const EventParams params = ParseEventText(text);
    for (const wchar_t* name : {L"A", L"B", L"AB", L"K", L"missing", L"", L"A=B"}) {
      EXPECT_EQ(ReadEventText(text, name), EventTextValue(params, name)) << text << " / " << name;
      EXPECT_EQ(ReadEventNumber(text, name), EventNumberValue(params, name)) << text << " / " << name;
      EXPECT_EQ(ReadEventPercent(text, name), EventPercentValue(params, name)) << text << " / " << name;
      EXPECT_EQ(ReadEventFlag(text, name), EventFlagValue(params, name)) << text << " / " << name;
    }
  }
  EXPECT_EQ(ReadEventText(nullptr, L"A"), L"");
  EXPECT_TRUE(ReadEventFlag(nullptr, L"A"));
}

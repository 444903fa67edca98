// The library's event readers, checked against known answers and against the reference
// parser (the reader of the original system, kept in the tests as an oracle).
#include <gtest/gtest.h>

#include "tests/uicontrol/eventtext_oracle.h"
#include "uicontrol/eventtext.h"

TEST(EventText, ReadsLinesAtTheFirstEqualsSign) {
  EXPECT_EQ(ReadEventText(L"A=1\nB=x=y\n", L"A"), L"1");
  EXPECT_EQ(ReadEventText(L"A=1\nB=x=y\n", L"B"), L"x=y");
  EXPECT_EQ(ReadEventText(L"A=1\r\n", L"A"), L"1\r");
  EXPECT_EQ(ReadEventText(L"A=1", L"A"), L"1") << "the last line needs no line feed";
  EXPECT_EQ(ReadEventText(L"A=1\nA=2\n", L"A"), L"2") << "the last of a repeated name";
  EXPECT_EQ(ReadEventText(L"AB=1\nA=2", L"A"), L"2") << "a name is matched whole";
}

TEST(EventText, StopsAndSkipsLikeTheOriginalReader) {
  EXPECT_EQ(ReadEventText(L"K\nA=1\n", L"A"), L"") << "a one-character line ends the reading";
  EXPECT_EQ(ReadEventText(L"\n\nA=1\n", L"A"), L"") << "two line feeds in a row end it";
  EXPECT_EQ(ReadEventText(L"noequals\n=v\nB=2\n", L"B"), L"2") << "lines without a name are skipped";
  EXPECT_EQ(ReadEventText(L"noequals\n=v\nB=2\n", L""), L"");
  EXPECT_EQ(ReadEventText(L"", L"A"), L"");
}

TEST(EventText, NumbersFlagsAndPercent) {
  EXPECT_EQ(ReadEventPercent(L"PERCENT=64\n", L"PERCENT"), 100u);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=1f\n", L"PERCENT"), 31u);
  EXPECT_EQ(ReadEventPercent(L"", L"PERCENT"), 0u);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=ff\n", L"PERCENT"), 255u) << "passed on as it came";
  EXPECT_EQ(ReadEventPercent(L"PERCENT=-5\n", L"PERCENT"), 0xfffffffbu) << "a negative long, stored unsigned";
  EXPECT_EQ(ReadEventPercent(L"PERCENT=123456789\n", L"PERCENT"), 0x7fffffffu) << "saturates as a 32-bit long";
  EXPECT_EQ(ReadEventPercent(L"PERCENT=-123456789\n", L"PERCENT"), 0x80000000u);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=zz\n", L"PERCENT"), 0u);
  // Seven bare digits and eight read alike whether taken the short way or not.
  EXPECT_EQ(ReadEventPercent(L"PERCENT=fffffff\n", L"PERCENT"), 0xfffffffu);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=7fffffff\n", L"PERCENT"), 0x7fffffffu);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=80000000\n", L"PERCENT"), 0x7fffffffu);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=0x1F\n", L"PERCENT"), 31u);
  EXPECT_EQ(ReadEventPercent(L"PERCENT=1f \n", L"PERCENT"), 31u);
  EXPECT_EQ(ReadEventNumber(L"HWND=FFFFFFF\n", L"HWND"), 0xfffffffu);
  EXPECT_EQ(ReadEventNumber(L"HWND=FFFFFFFF\n", L"HWND"), 0xffffffffu);

  EXPECT_EQ(ReadEventNumber(L"HWND= 0x1A2b\n", L"HWND"), 0x1a2bu);
  EXPECT_EQ(ReadEventNumber(L"HWND=12c0190zz\n", L"HWND"), 0x12c0190u);
  EXPECT_EQ(ReadEventNumber(L"HWND=123456789abcdef\n", L"HWND"), 0xffffffffu) << "overflow saturates";
  EXPECT_EQ(ReadEventNumber(L"HWND=-1\n", L"HWND"), 0xffffffffu);
  EXPECT_EQ(ReadEventNumber(L"HWND=0x\n", L"HWND"), 0u);
  EXPECT_EQ(ReadEventNumber(L"HWND=\uff11\n", L"HWND"), 0u) << "only ASCII digits";
  EXPECT_EQ(ReadEventNumber(L"", L"HWND"), 0u);

  for (const wchar_t* f : {L"STATE=false\n", L"STATE=FALSE\n", L"STATE=fAlSe\n"}) {
    EXPECT_FALSE(ReadEventFlag(f, L"STATE")) << f;
  }
  for (const wchar_t* t : {L"STATE=0\n", L"STATE=TRUE\n", L"STATE=\n", L"", L"STATE=false \n"}) {
    EXPECT_TRUE(ReadEventFlag(t, L"STATE")) << t;
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

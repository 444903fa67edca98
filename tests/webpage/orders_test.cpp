#include "components/webpage/orders.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

Order Parse(const wchar_t* text) {
  Order order;
  std::string error;
  EXPECT_TRUE(ParseOrder(text, &order, &error)) << error;
  return order;
}

std::string Refusal(const wchar_t* text) {
  Order order;
  std::string error;
  EXPECT_FALSE(ParseOrder(text, &order, &error));
  return error;
}

TEST(WebpageOrders, EveryOrderNameIsKnownByteForByte) {
  struct {
    const wchar_t* text;
    OrderKind kind;
  } cases[] = {
      {L"CMD=GOBACK\n", OrderKind::GoBack},         {L"CMD=GOFORWORD\n", OrderKind::GoForward},
      {L"CMD=STOP\n", OrderKind::Stop},             {L"CMD=REFRESH\n", OrderKind::Refresh},
      {L"CMD=GOHOME\n", OrderKind::GoHome},         {L"CMD=SAVEHTML\n", OrderKind::SaveHtml},
      {L"CMD=SAVEIMGE\n", OrderKind::SaveImage},    {L"CMD=PRINT\n", OrderKind::Print},
      {L"CMD=PRINTPREVIEW\n", OrderKind::PrintPreview}, {L"CMD=VIEWSOURCE\n", OrderKind::ViewSource},
      {L"CMD=FIND\n", OrderKind::Find},             {L"CMD=ClOSETAB\n", OrderKind::CloseTab},
  };
  for (const auto& c : cases) EXPECT_EQ(c.kind, Parse(c.text).kind);
  // Near misses are not orders.
  EXPECT_EQ("unknown order \"CLOSETAB\"", Refusal(L"CMD=CLOSETAB\n"));
  EXPECT_EQ("unknown order \"GOFORWARD\"", Refusal(L"CMD=GOFORWARD\n"));
  EXPECT_EQ("order without CMD", Refusal(L"URL=x\n"));
  EXPECT_EQ("null order text", Refusal(nullptr));
}

TEST(WebpageOrders, OrdersWithoutMeaningHereCarryTheirReason) {
  for (const wchar_t* text : {L"CMD=FILEOPEN\n", L"CMD=PAGESETUP\n", L"CMD=PROPERTIES\n", L"CMD=internetOpation\n",
                              L"CMD=SHOWCONTEXTMENU\n", L"CMD=SENDLINKBYEMAIL\n", L"CMD=FILESENDPAGEBYEMAIL\n"}) {
    Order order = Parse(text);
    EXPECT_EQ(OrderKind::Unsupported, order.kind);
    EXPECT_FALSE(order.reason.empty());
  }
  EXPECT_EQ(L"internetOpation", Parse(L"CMD=internetOpation\n").name);
}

TEST(WebpageOrders, NavigateTakesATypedAddress) {
  EXPECT_EQ(L"http://127.0.0.1:8080/a b", Parse(L"CMD=NAVIGATE\nURL=http://127.0.0.1:8080/a b\n").text);
  EXPECT_EQ(L"http://example.com", Parse(L"CMD=NAVIGATE\nURL=  example.com \n").text);
  EXPECT_EQ(L"http://localhost:8080/x", NormalizeAddress(L"localhost:8080/x"));
  EXPECT_EQ(L"about:blank", NormalizeAddress(L"about:blank"));
  EXPECT_EQ(L"chrome://crash", NormalizeAddress(L"chrome://crash"));
  EXPECT_EQ(L"VIEW-SOURCE:http://x/", NormalizeAddress(L"VIEW-SOURCE:http://x/"));
  EXPECT_EQ(L"file:///tmp/a.html", NormalizeAddress(L"file:///tmp/a.html"));
  EXPECT_EQ("NAVIGATE without URL", Refusal(L"CMD=NAVIGATE\n"));
  EXPECT_EQ("NAVIGATE without URL", Refusal(L"CMD=NAVIGATE\nURL= \t\n"));
}

TEST(WebpageOrders, MoveWebWindowUnpacksSigned16BitCoordinates) {
  // left 10, top 20, right 300, bottom 400
  Order order = Parse(L"CMD=MOVEWEBWINDOW\nLPARAM=12c0190\nWPARAM=a0014\n");
  EXPECT_EQ(OrderKind::MoveWindow, order.kind);
  EXPECT_EQ(10, order.rect.left);
  EXPECT_EQ(20, order.rect.top);
  EXPECT_EQ(300, order.rect.right);
  EXPECT_EQ(400, order.rect.bottom);
  RECT negative = DecodeWindowRect(0xffff0000u, 0x00640064u);
  EXPECT_EQ(-1, negative.left);
  EXPECT_EQ(0, negative.top);
  EXPECT_EQ(100, negative.right);
  EXPECT_EQ(100, negative.bottom);
  EXPECT_EQ("MOVEWEBWINDOW with an empty rectangle", Refusal(L"CMD=MOVEWEBWINDOW\nLPARAM=a0014\nWPARAM=a0014\n"));
  EXPECT_EQ("MOVEWEBWINDOW needs hexadecimal WPARAM and LPARAM", Refusal(L"CMD=MOVEWEBWINDOW\nWPARAM=a0014\n"));
}

TEST(WebpageOrders, ParametersAreChecked) {
  EXPECT_TRUE(Parse(L"CMD=WEBAUDIO\nSTATE=1\n").enable);
  EXPECT_FALSE(Parse(L"CMD=WEBAUDIO\nSTATE=0\n").enable);
  EXPECT_EQ("WEBAUDIO needs STATE=1 or STATE=0", Refusal(L"CMD=WEBAUDIO\nSTATE=TRUE\n"));
  EXPECT_EQ(0x2au, Parse(L"CMD=PARENTHWND\nHWND=2a\n").handle);
  EXPECT_EQ("PARENTHWND needs a non-zero hexadecimal HWND", Refusal(L"CMD=PARENTHWND\nHWND=0\n"));
  EXPECT_EQ(L"{1-2}", Parse(L"CMD=RECOVERWND\nuuid={1-2}\n").text);
  EXPECT_EQ("RECOVERWND without uuid", Refusal(L"CMD=RECOVERWND\nUUID=x\n"));
  EXPECT_EQ(L"two words", Parse(L"CMD=FIND\nTEXT=two words\n").text);
}

TEST(WebpageOrders, FontSizeIsZeroToFour) {
  uint32_t size = 9;
  EXPECT_TRUE(ParseFontSize(L"0", &size));
  EXPECT_EQ(0u, size);
  EXPECT_TRUE(ParseFontSize(L"4", &size));
  EXPECT_FALSE(ParseFontSize(L"5", &size));
  EXPECT_FALSE(ParseFontSize(L"-1", &size));
  EXPECT_FALSE(ParseFontSize(L"", &size));
  EXPECT_FALSE(ParseFontSize(nullptr, &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(16, FontSizePixels(2));
  EXPECT_EQ(24, FontSizePixels(4));
  EXPECT_EQ(9, FontSizePixels(0));
}

}  // namespace
}  // namespace webpage

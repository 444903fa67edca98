// The page text of "PAGETEXT" and the match count of "FIND", from the scripts' results.
#include <gtest/gtest.h>

#include "components/webpage/orders.h"
#include "components/webpage/pagetext.h"

namespace webpage {
namespace {

TEST(PageText, LinesAreEscapedSoThatAValueStaysOneLine) {
  EXPECT_EQ(L"", JoinEscapedLines({}));
  EXPECT_EQ(L"a\\n\\n", JoinEscapedLines({L"a", L""}));
  // A backslash followed by n in the page is not a line break for the reader.
  EXPECT_EQ(L"C:\\\\new\\n", JoinEscapedLines({L"C:\\new"}));
  // Control characters (an escape sequence, a line feed, a carriage return) never pass.
  EXPECT_EQ(L"x [2J y z\\n", JoinEscapedLines({L"x\x1b[2J y\nz"}));
  EXPECT_EQ(L"del \\n", JoinEscapedLines({L"del\x7f"}));
}

TEST(PageText, ValuesFromTheScriptsResult) {
  KeyValues values;
  std::string error;
  Json result = {{"title", "T\nitle"}, {"url", "http://x/"}, {"lines", {"1:Head", "P:a [1]"}},
                 {"links", {"http://x/a"}}, {"cut", false}};
  ASSERT_TRUE(PageTextValues(result, false, &values, &error)) << error;
  EXPECT_EQ(L"1:Head\\nP:a [1]\\n", values[L"TEXT"]);
  EXPECT_EQ(L"http://x/a\\n", values[L"LINKS"]);
  EXPECT_EQ(L"T itle", values[L"TITLE"]);
  EXPECT_EQ(L"http://x/", values[L"URL"]);
  EXPECT_EQ(L"FALSE", values[L"CUT"]);
  // The whole event text keeps one line per key.
  const std::wstring text = WriteKeyValueText(values);
  EXPECT_EQ(5, std::count(text.begin(), text.end(), L'\n'));

  result["cut"] = true;
  result["title"] = 7;  // not a text: empty
  ASSERT_TRUE(PageTextValues(result, false, &values, &error));
  EXPECT_EQ(L"TRUE", values[L"CUT"]);
  EXPECT_EQ(L"", values[L"TITLE"]);

  KeyValues source;
  ASSERT_TRUE(PageTextValues(Json{{"lines", {"<html>", "</html>"}}, {"links", Json::array()}}, true, &source, &error));
  EXPECT_EQ(L"<html>\\n</html>\\n", source[L"SOURCE"]);
  EXPECT_EQ(0u, source.count(L"TEXT"));
}

TEST(PageText, ResultsOfTheWrongShapeAreRefused) {
  KeyValues values;
  std::string error;
  for (const Json& bad : {Json(), Json("text"), Json{{"lines", "a"}, {"links", Json::array()}},
                          Json{{"lines", {"a", 1}}, {"links", Json::array()}}, Json{{"lines", Json::array()}}}) {
    error.clear();
    EXPECT_FALSE(PageTextValues(bad, false, &values, &error)) << bad.dump();
    EXPECT_FALSE(error.empty());
  }
}

TEST(PageText, FindCountsAndItsScriptQuotesTheWords) {
  bool found = true;
  long long count = 9;
  ReadFindReply(Json{{"found", true}, {"count", 3}}, &found, &count);
  EXPECT_TRUE(found);
  EXPECT_EQ(3, count);
  ReadFindReply(Json{{"found", false}, {"count", -1}}, &found, &count);
  EXPECT_FALSE(found);
  EXPECT_EQ(0, count);
  ReadFindReply(Json{{"found", true}, {"count", 1e300}}, &found, &count);
  EXPECT_EQ(1, count) << "found, even when the count is unreadable";
  ReadFindReply(Json("true"), &found, &count);
  EXPECT_FALSE(found);
  // Words with quotes and script stay a string of the expression.
  const std::string script = FindScript(L"\"); alert(1); (\"");
  EXPECT_NE(std::string::npos, script.find(R"("\"); alert(1); (\"")"));

  Order order;
  std::string error;
  ASSERT_TRUE(ParseOrder(L"CMD=GETTEXT\n", &order, &error)) << error;
  EXPECT_EQ(OrderKind::GetText, order.kind);
  ASSERT_TRUE(ParseOrder(L"CMD=GETTEXT\nPART=SOURCE\n", &order, &error)) << error;
  EXPECT_EQ(L"SOURCE", order.text);
  EXPECT_FALSE(ParseOrder(L"CMD=GETTEXT\nPART=IMAGES\n", &order, &error));
}

}  // namespace
}  // namespace webpage

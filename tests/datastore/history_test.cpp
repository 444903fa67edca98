// History entries and icons: what "add_his" keeps, what "get_icon" answers.
#include "store_fixture.h"

namespace dstest {
namespace {

using HistoryTest = StoreTest;

std::wstring Visit(const std::wstring& url, const std::wstring& title, const std::wstring& icon) {
  return Params({{L"date", L"2024-12-31 23:59:9"}, {L"icon", icon}, {L"title", title}, {L"url", url}});
}

TEST_F(HistoryTest, EntriesReadBackNewestFirst) {
  ASSERT_EQ(Set(L"add_his", Visit(L"http://a.example/", L"A", L"/icons/a.ico")), S_OK);
  ASSERT_EQ(Set(L"add_his", Visit(L"http://b.example/", L"", L"")), S_OK);
  Xml xml(Query(L"query_his").value());
  ASSERT_NE(xml.root(), nullptr);
  EXPECT_EQ(xml.root()->ValueStr(), "History");
  auto entries = Children(xml.root(), "Entry");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Attr(entries[0], "url"), "http://b.example/");
  EXPECT_EQ(Attr(entries[0], "title"), "http://b.example/");  // no title: the address
  EXPECT_EQ(Attr(entries[1], "title"), "A");
  EXPECT_EQ(Attr(entries[1], "icon"), "/icons/a.ico");
  EXPECT_EQ(Attr(entries[1], "date"), "2024-12-31 23:59:09");
  EXPECT_EQ(Children(Xml(Query(L"query_his", L"limit=1\n").value()).root()).size(), 1u);
}

TEST_F(HistoryTest, RefusedEntriesAreLoggedAndNotWritten) {
  EXPECT_EQ(Set(L"add_his", L"date=2024-1-1 0:0:0\ntitle=t\n"), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("add_his: parameter \"url\" is missing or empty"));
  EXPECT_EQ(Set(L"add_his", L"date=yesterday\nurl=http://x/\n"), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("add_his: parameter \"date\" is not a date"));
  EXPECT_EQ(Query(L"query_his", L"limit=-2\n"), std::nullopt);
  EXPECT_TRUE(Children(Xml(Query(L"query_his").value()).root()).empty());
}

TEST_F(HistoryTest, IconsComeFromHistoryFavouritesAndClosedTabs) {
  Set(L"add_his", Visit(L"http://a.example/", L"A", L"/i/a1.ico"));
  Set(L"add_his", Visit(L"http://a.example/", L"A", L""));  // no icon: the known one stays
  EXPECT_EQ(Query(L"get_icon", L"url=http://a.example/\n"), L"/i/a1.ico");
  Set(L"add_his", Visit(L"http://a.example/", L"A", L"/i/a2.ico"));
  EXPECT_EQ(Query(L"get_icon", L"url=http://a.example/\n"), L"/i/a2.ico");
  // History addresses are lower-cased; a closed tab's may not be.
  EXPECT_EQ(Query(L"get_icon", L"url=HTTP://A.example/\n"), L"/i/a2.ico");

  Set(L"add_favor", Params({{L"icon", L"/i/f.ico"}, {L"pid", L"0"}, {L"title", L"f"}, {L"type", L"1"},
                            {L"url", L"http://f/"}}));
  EXPECT_EQ(Query(L"get_icon", L"url=http://f/\n"), L"/i/f.ico");

  Set(L"save.recover.tab", L"icon=/i/tab.ico\ntitle=T\nurl=http://f/\nuuid=u1\n");
  EXPECT_EQ(Query(L"get_icon", L"id=0\nkey=url\nurl=http://f/\n"), L"/i/tab.ico");
  Set(L"save.recover.tab", L"title=T\nurl=http://a.example/\nuuid=u2\n");
  EXPECT_EQ(Query(L"get_icon", L"id=0\nkey=url\nurl=http://a.example/\n"), L"/i/a2.ico");
}

TEST_F(HistoryTest, EveryIconQueryGetsAHolder) {
  EXPECT_EQ(Query(L"get_icon", L"url=http://unknown/\n"), L"");
  EXPECT_EQ(Query(L"get_icon", L""), L"");
  EXPECT_TRUE(log.Contains("get_icon: parameter \"url\" is missing"));
  EXPECT_EQ(Query(L"get_icon", L"id=zz\nkey=url\nurl=http://unknown/\n"), L"");
  EXPECT_TRUE(log.Contains("\"id\" is not a hexadecimal index"));
}

}  // namespace
}  // namespace dstest

// History entries and icons: what "add_his" keeps, what "get_icon" answers.
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

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

namespace dstest {
namespace {

// A visit `days` days ago (local time, as the library writes dates).
std::wstring VisitDaysAgo(const std::wstring& url, int days) {
  const time_t then = time(nullptr) - static_cast<time_t>(days) * 24 * 60 * 60;
  tm local{};
  localtime_r(&then, &local);
  char date[64];
  std::snprintf(date, sizeof date, "%d-%d-%d %d:%d:%d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return Params({{L"date", std::wstring(date, date + std::strlen(date))}, {L"url", url}});
}

class HistoryTrimTest : public StoreTest {
 protected:
  std::set<std::string> Urls() {
    std::set<std::string> urls;
    Xml xml(Query(L"query_his").value_or(L""));
    for (TiXmlElement* e : Children(xml.root())) urls.insert(Attr(e, "url"));
    return urls;
  }
  void AddAged() {
    for (int days : {400, 91, 89, 1}) {
      ASSERT_EQ(Set(L"add_his", VisitDaysAgo(L"http://d" + std::to_wstring(days) + L"/", days)), S_OK);
    }
  }
};

TEST_F(HistoryTrimTest, EntriesPastNinetyDaysGoWhenTheStoreOpens) {
  EXPECT_EQ(Get(L"history.keep.days"), std::nullopt);  // absent: the default applies
  AddAged();
  EXPECT_EQ(Urls().size(), 4u);  // adding trims nothing
  Close();
  Open();
  EXPECT_EQ(Urls(), (std::set<std::string>{"http://d89/", "http://d1/"}));
  EXPECT_TRUE(log.Contains("INFO history: removed 2 history entries older than 90 days"));
}

TEST_F(HistoryTrimTest, TheSettingKeepsAllOrTrimsAtOnceWhenChanged) {
  ASSERT_EQ(Set(L"history.keep.days", L"0"), S_OK);  // keep everything
  AddAged();
  Close();
  Open();
  EXPECT_EQ(Urls().size(), 4u);
  ASSERT_EQ(Set(L"history.keep.days", L"30"), S_OK);  // applies without waiting for the daily trim
  EXPECT_EQ(Urls(), std::set<std::string>{"http://d1/"});
  ASSERT_EQ(Set(L"history.keep.days", L"100000000000"), S_OK);  // beyond any date: keeps all
  AddAged();
  Close();
  Open();
  EXPECT_EQ(Children(Xml(Query(L"query_his").value()).root()).size(), 5u);  // d1 twice
}

TEST_F(HistoryTrimTest, ALimitThatIsNoNumberOfDaysIsRefusedOrIgnored) {
  for (const wchar_t* bad : {L"-1", L"ninety", L"", L"9 0"}) {
    EXPECT_EQ(Set(L"history.keep.days", bad), E_INVALIDARG) << Narrow(bad);
  }
  EXPECT_TRUE(log.Contains("WARNING history.keep.days: value must be a decimal number"));
  // Written by another program: the store keeps everything and says why.
  AddAged();
  Close();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "INSERT INTO settings(name, value) VALUES('history.keep.days', 'x')", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  Open();
  EXPECT_EQ(Urls().size(), 4u);
  EXPECT_TRUE(log.Contains("WARNING history: setting \"history.keep.days\" is no number of days; history is kept"));
}

}  // namespace
}  // namespace dstest

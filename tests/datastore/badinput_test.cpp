// Hostile and malformed input: defined results, log entries, texts kept byte for byte,
// and a database that stays sound.
#include <sqlite3.h>

#include "store_fixture.h"

namespace dstest {
namespace {

using BadInputTest = StoreTest;

TEST_F(BadInputTest, NullsAndUnknownNamesGetDefinedResults) {
  com_ptr<IDataHolder> holder;
  EXPECT_EQ(query->QueryData(L"query_everything", L"", &holder), E_INVALIDARG);
  EXPECT_FALSE(holder);
  EXPECT_TRUE(log.Contains("QueryData: unknown command \"query_everything\""));
  EXPECT_EQ(query->QueryData(L"bad\nname", L"", &holder), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("unknown command \"bad?name\""));
  EXPECT_EQ(query->QueryData(nullptr, L"", &holder), E_INVALIDARG);
  EXPECT_EQ(query->QueryData(L"get_icon", L"url=x\n", nullptr), E_POINTER);
  EXPECT_EQ(query->QueryData(L"get_icon", nullptr, &holder), S_FALSE);  // no parameters
  EXPECT_TRUE(holder);

  EXPECT_EQ(store->SetData(nullptr, L"1"), E_INVALIDARG);
  EXPECT_EQ(store->SetData(L"page.size", nullptr), E_INVALIDARG);
  EXPECT_EQ(store->SetData(L"add_favor", nullptr), E_INVALIDARG);
  EXPECT_EQ(store->SetData(L"get_icon", L"x"), E_INVALIDARG);  // a query, not a setting
  EXPECT_EQ(store->SetData(L"a\tb", L"x"), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("a setting name must not hold control characters"));

  wchar_t* text = nullptr;
  EXPECT_EQ(store->GetData(L"page.size", nullptr), E_POINTER);
  EXPECT_EQ(store->GetData(nullptr, &text), E_INVALIDARG);
  EXPECT_EQ(store->GetData(L"add_his", &text), E_INVALIDARG);
  EXPECT_EQ(text, nullptr);
  EXPECT_TRUE(log.Contains("GetData \"add_his\": this name is a command, not a setting"));
}

TEST_F(BadInputTest, ParameterTextsAreReadLenientlyButExactly) {
  // Junk lines are skipped (and logged); '=' inside a value and a trailing CR are kept.
  ASSERT_EQ(Set(L"add_his", L"garbage\n=nokey\ntitle=a=b\r\nurl=http://x/?q=1\n\n"), S_OK);
  EXPECT_TRUE(log.Contains("add_his: parameters: line 1 has no '='"));
  EXPECT_TRUE(log.Contains("add_his: parameters: line 2 has no key"));
  Xml history(Query(L"query_his").value());
  TiXmlElement* entry = Children(history.root()).at(0);
  EXPECT_EQ(Attr(entry, "title"), "a=b\r");
  EXPECT_EQ(Attr(entry, "url"), "http://x/?q=1");
  ASSERT_EQ(Set(L"add_his", L"url=http://first/\nurl=http://second/\n"), S_OK);
  EXPECT_TRUE(log.Contains("key \"url\" repeated; the last value counts"));
  EXPECT_EQ(Attr(Children(Xml(Query(L"query_his").value()).root())[0], "url"), "http://second/");
}

TEST_F(BadInputTest, HostileTextsAreStoredAsTheyAre) {
  const struct {
    std::wstring sent, kept;
  } texts[] = {
      {L"Robert'); DROP TABLE favorites;--", L"Robert'); DROP TABLE favorites;--"},
      {L"\"quoted\" <tag> & 'single'", L"\"quoted\" <tag> & 'single'"},
      // U+1F600 and CJK as they are; a UTF-16 surrogate pair becomes its one character.
      {L"tab\there \x1F600 \x4E2D\x6587 \xD83D\xDE00", L"tab\there \x1F600 \x4E2D\x6587 \x1F600"},
      {L"1 OR 1=1; DELETE FROM settings", L"1 OR 1=1; DELETE FROM settings"},
  };
  for (const auto& t : texts) {
    ASSERT_EQ(Set(L"add_favor", Favorite(L"0", t.sent, L"http://x/?" + t.sent)), S_OK);
    const std::wstring name = L"note '" + t.sent.substr(0, 3) + L"'";
    ASSERT_EQ(Set(name, t.sent + L"\nsecond line"), S_OK);  // a bare value may hold line feeds
    EXPECT_EQ(Get(name), t.kept + L"\nsecond line");
  }
  Xml tree(Query(L"get_fav_xml").value());
  auto items = Children(tree.root());
  ASSERT_EQ(items.size(), 4u);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(Attr(items[i], "title"), Narrow(texts[i].kept));
    EXPECT_EQ(Attr(items[i], "url"), Narrow(L"http://x/?" + texts[i].kept));
  }
  EXPECT_EQ(Get(L"defaulturl"), L"re:index");
  Xml engines(Query(L"query_search_all_ui").value());
  EXPECT_EQ(Children(engines.root()).size(), 4u);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok");
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

}  // namespace
}  // namespace dstest

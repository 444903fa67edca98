// Favourites through the interfaces: the list and folder documents read back, the tree
// rules, and the failures that must leave the favourites unchanged.
#include "store_fixture.h"

namespace dstest {
namespace {

class FavoritesTest : public StoreTest {
 protected:
  std::vector<TiXmlElement*> Tree(Xml& xml) {
    EXPECT_NE(xml.root(), nullptr);
    EXPECT_EQ(Attr(xml.root(), "id"), "<absent>");
    return Children(xml.root());
  }
  size_t Count() {
    Xml xml(Query(L"get_fav_xml").value_or(L""));
    size_t n = 0;
    std::vector<TiXmlElement*> todo = Children(xml.root());
    while (!todo.empty()) {
      TiXmlElement* e = todo.back();
      todo.pop_back();
      ++n;
      for (TiXmlElement* c : Children(e)) todo.push_back(c);
    }
    return n;
  }
};

TEST_F(FavoritesTest, ItemsAndFoldersReadBackFromBothDocuments) {
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"News", L"http://news.example/")), S_OK);
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"Work", L"", L"0")), S_OK);
  ASSERT_EQ(Set(L"add_favor", Favorite(L"2", L"", L"http://wiki.example/a?b=c&d")), S_OK);  // empty title
  ASSERT_EQ(Set(L"add_favor", Favorite(L"-1", L"Mail", L"http://mail.example/")), S_OK);    // -1: the root

  Xml list(Query(L"query_favor_root_url", L"type=1\npid=0\n").value());
  ASSERT_NE(list.root(), nullptr);
  EXPECT_EQ(list.root()->ValueStr(), "FavoriteList");
  auto items = Children(list.root());
  ASSERT_EQ(items.size(), 2u);  // the folder and the nested item are not root items
  EXPECT_EQ(items[0]->ValueStr(), "Item");
  EXPECT_EQ(Attr(items[0], "id"), "1");
  EXPECT_EQ(Attr(items[0], "pid"), "0");
  EXPECT_EQ(Attr(items[0], "type"), "1");
  EXPECT_EQ(Attr(items[0], "title"), "News");
  EXPECT_EQ(Attr(items[0], "url"), "http://news.example/");
  EXPECT_EQ(Attr(items[0], "icon"), "");
  EXPECT_EQ(Attr(items[0], "date"), "2024-03-07 09:07:02");
  EXPECT_EQ(Attr(items[1], "title"), "Mail");

  Xml tree(Query(L"get_fav_xml").value());
  EXPECT_EQ(tree.root()->ValueStr(), "Favorites");
  auto top = Tree(tree);
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[1]->ValueStr(), "Folder");
  EXPECT_EQ(Attr(top[1], "title"), "Work");
  auto inside = Children(top[1]);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_EQ(Attr(inside[0], "pid"), "2");
  EXPECT_EQ(Attr(inside[0], "title"), "http://wiki.example/a?b=c&d");

  Xml folder(Query(L"query_favor_root_url", L"pid=2\n").value());
  EXPECT_EQ(Children(folder.root()).size(), 1u);
}

TEST_F(FavoritesTest, RefusedAdditionsChangeNothingAndAreLogged) {
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"Page", L"http://a.example/")), S_OK);
  // What depends on the favourites already there is found by the queued write, logged.
  for (const wchar_t* parent : {L"1", L"99"}) {  // an item, and no favourite at all
    log.Clear();
    EXPECT_EQ(Set(L"add_favor", Favorite(parent, L"t", L"http://b/")), S_OK);
    Settle();
    EXPECT_TRUE(log.Contains("WARNING add_favor: parent " + Narrow(parent) + " is not a folder"));
  }
  // Bad parameters are refused by the call itself.
  const struct {
    std::wstring text;
    const char* logged;
  } cases[] = {
      {Favorite(L"-7", L"t", L"http://b/"), "does not exist"},
      {Favorite(L"x1", L"t", L"http://b/"), "\"pid\" is not a decimal number"},
      {Favorite(L"0", L"t", L"http://b/", L"7"), "must be 0 (folder) or 1 (item)"},
      {Favorite(L"0", L"t", L""), "needs a url"},
      {Favorite(L"0", L"", L"", L"0"), "needs a title"},
      {L"date=2024-2-30 1:1:1\npid=0\ntitle=t\ntype=1\nurl=http://b/\n", "\"date\" is not a date"},
      {L"title=t\ntype=1\nurl=http://b/\n", "\"pid\" is missing"},
  };
  for (const auto& c : cases) {
    log.Clear();
    EXPECT_EQ(Set(L"add_favor", c.text), E_INVALIDARG) << c.logged;
    EXPECT_TRUE(log.Contains(c.logged)) << c.logged;
  }
  EXPECT_TRUE(log.Contains("WARNING add_favor: parameter \"pid\" is missing"));
  EXPECT_EQ(Count(), 1u);
}

TEST_F(FavoritesTest, DeleteTakesFoldersWholeAndReportsUnknownIds) {
  Set(L"add_favor", Favorite(L"0", L"F", L"", L"0"));        // 1
  Set(L"add_favor", Favorite(L"1", L"G", L"", L"0"));        // 2
  Set(L"add_favor", Favorite(L"2", L"deep", L"http://d/"));  // 3
  Set(L"add_favor", Favorite(L"0", L"keep", L"http://k/"));  // 4
  EXPECT_EQ(Set(L"del_favor", L"id=1\n"), S_OK);
  EXPECT_EQ(Count(), 1u);
  EXPECT_EQ(Set(L"del_favor", L"id=1\n"), S_OK);  // found gone by the queued write
  Settle();
  EXPECT_TRUE(log.Contains("del_favor: no favourite with id 1"));
  EXPECT_EQ(Set(L"del_favor", L"id=4 OR 1=1\n"), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("\"id\" is not a decimal number"));
  EXPECT_EQ(Count(), 1u);

  Set(L"add_favor", Favorite(L"0", L"a", L"http://a/"));  // 5
  Set(L"add_favor", Favorite(L"0", L"b", L"http://b/"));  // 6
  EXPECT_EQ(Set(L"del_favor_set", L"ids=5,x\n"), E_INVALIDARG);  // all or nothing
  EXPECT_EQ(Count(), 3u);
  EXPECT_EQ(Set(L"del_favor_set", L"ids=4,6,77\n"), S_OK);
  EXPECT_EQ(Count(), 1u);
}

TEST_F(FavoritesTest, UpdateRenamesMovesAndKeepsTheTreeSound) {
  Set(L"add_favor", Favorite(L"0", L"A", L"", L"0"));     // 1
  Set(L"add_favor", Favorite(L"1", L"B", L"", L"0"));     // 2
  Set(L"add_favor", Favorite(L"0", L"x", L"http://x/"));  // 3
  EXPECT_EQ(Set(L"update_favor", L"id=3\npid=2\ntitle=renamed\n"), S_OK);
  Xml inB(Query(L"query_favor_root_url", L"pid=2\n").value());
  ASSERT_EQ(Children(inB.root()).size(), 1u);
  EXPECT_EQ(Attr(Children(inB.root())[0], "title"), "renamed");
  EXPECT_EQ(Attr(Children(inB.root())[0], "url"), "http://x/");

  // Refusals that depend on the tree are found by the queued write: logged, nothing changed.
  EXPECT_EQ(Set(L"update_favor", L"id=1\npid=2\n"), S_OK);  // into its own subfolder
  EXPECT_EQ(Set(L"update_favor", L"id=3\nurl=\n"), S_OK);   // an item keeps a URL
  EXPECT_EQ(Set(L"update_favor", L"id=42\ntitle=t\n"), S_OK);
  EXPECT_EQ(Set(L"update_favor", L"id=3\npid=x\n"), E_INVALIDARG);  // bad input: refused at once
  Settle();
  EXPECT_TRUE(log.Contains("update_favor: a folder cannot move into itself"));
  EXPECT_TRUE(log.Contains("update_favor: a favourite item needs a url"));
  EXPECT_TRUE(log.Contains("update_favor: no favourite with id 42"));
  EXPECT_EQ(Count(), 3u);
  Xml top(Query(L"query_favor_root_url", L"pid=0\n").value());
  ASSERT_EQ(Children(top.root()).size(), 1u);  // A stays at the top, B in A, x in B
  EXPECT_EQ(Attr(Children(top.root())[0], "title"), "A");

  // Folders nest a bounded depth, so the folder document stays printable. B lies at
  // depth 2; a chain of new folders (ids from 4 on) reaches depth 32 with its 30th.
  int parent = 2;
  for (int n = 0; n < 31; ++n) {
    EXPECT_EQ(Set(L"add_favor", Favorite(std::to_wstring(parent), L"f", L"", L"0")), S_OK);
    parent = 4 + n;
  }
  EXPECT_EQ(Count(), 3u + 30u);
  EXPECT_TRUE(log.Contains("folders nest at most 32 deep"));
  EXPECT_NE(Xml(Query(L"get_fav_xml").value()).root(), nullptr);
}

}  // namespace
}  // namespace dstest

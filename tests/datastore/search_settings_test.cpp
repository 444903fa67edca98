// Search engines and settings: the shipped defaults, the checked values, and the texts
// GetData hands out.
#include "store_fixture.h"

namespace dstest {
namespace {

using SearchSettingsTest = StoreTest;

TEST_F(SearchSettingsTest, SearchListAndDefaultEngine) {
  Xml xml(Query(L"query_search_all_ui").value());
  ASSERT_NE(xml.root(), nullptr);
  EXPECT_EQ(xml.root()->ValueStr(), "SearchEngines");
  auto engines = Children(xml.root(), "Engine");
  ASSERT_EQ(engines.size(), 4u);
  EXPECT_EQ(Attr(xml.root(), "default"), "1");
  EXPECT_EQ(Attr(engines[0], "name"), "Baidu");
  EXPECT_EQ(Attr(engines[0], "url"), "https://www.baidu.com/s?wd={searchTerms}");
  EXPECT_EQ(Attr(engines[0], "default"), "true");
  EXPECT_EQ(Attr(engines[2], "default"), "false");

  EXPECT_EQ(Set(L"set_search_default", L"id=3"), S_OK);  // one pair, no final line feed
  Xml after(Query(L"query_search_all_ui").value());
  EXPECT_EQ(Attr(after.root(), "default"), "3");
  EXPECT_EQ(Attr(Children(after.root())[0], "default"), "false");
  EXPECT_EQ(Attr(Children(after.root())[2], "default"), "true");

  EXPECT_EQ(Set(L"set_search_default", L"id=9"), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("set_search_default: no search engine with id 9"));
  EXPECT_EQ(Set(L"set_search_default", L"id=3'"), E_INVALIDARG);
  EXPECT_EQ(Attr(Xml(Query(L"query_search_all_ui").value()).root(), "default"), "3");
}

TEST_F(SearchSettingsTest, BusinessSearchIdNamesAnExistingEngineOrIsMinusOne) {
  EXPECT_EQ(Query(L"business_search_id"), L"-1");
  EXPECT_EQ(Set(L"business.search.id", L"2"), S_OK);
  EXPECT_EQ(Query(L"business_search_id"), L"2");
  EXPECT_EQ(Set(L"business.search.id", L"77"), S_OK);
  EXPECT_EQ(Query(L"business_search_id"), L"-1");
  EXPECT_TRUE(log.Contains("business search engine 77 does not exist"));
  EXPECT_EQ(Set(L"business.search.id", L"two"), E_INVALIDARG);
}

TEST_F(SearchSettingsTest, DefaultsAbsentAndEmptySettings) {
  EXPECT_EQ(Get(L"defaulturl"), L"re:index");
  EXPECT_EQ(Get(L"set_show_homepage"), L"1");
  EXPECT_EQ(Get(L"check.default.browser"), L"1");
  EXPECT_EQ(Get(L"browser.close.info"), L"1");
  EXPECT_EQ(Get(L"page.size"), L"100");
  wchar_t* text = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(store->GetData(L"no.such.setting", &text), S_FALSE);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(Set(L"homepage.note", L""), S_OK);
  EXPECT_EQ(Get(L"homepage.note"), L"");  // empty, not absent
  EXPECT_EQ(Set(L"defaulturl", L"http://start.example/"), S_OK);
  Close();
  Open();
  EXPECT_EQ(Get(L"defaulturl"), L"http://start.example/");
}

TEST_F(SearchSettingsTest, CheckedSettingValues) {
  EXPECT_EQ(Set(L"check.default.browser", L"0"), S_OK);
  EXPECT_EQ(Get(L"check.default.browser"), L"0");
  for (const wchar_t* bad : {L"00", L"true", L"", L"1\n"}) {
    EXPECT_EQ(Set(L"browser.close.info", bad), E_INVALIDARG);
  }
  EXPECT_TRUE(log.Contains("browser.close.info: value must be 0 or 1"));
  EXPECT_EQ(Set(L"page.size", L"125"), S_OK);
  EXPECT_EQ(Set(L"page.size", L"12x"), E_INVALIDARG);
  EXPECT_EQ(Get(L"page.size"), L"125");
  EXPECT_EQ(Get(L"browser.close.info"), L"1");
}

TEST_F(SearchSettingsTest, SitesWithoutContentBlockingAreHostNamesOneALine) {
  EXPECT_EQ(Get(L"blocking.off.sites"), std::nullopt);  // absent: blocking everywhere
  for (const wchar_t* good : {L"", L"news.example", L"news.example\nshop.example.co.uk\n", L"127.0.0.1\n[::1]", L"a_b-c.test"}) {
    EXPECT_EQ(Set(L"blocking.off.sites", good), S_OK) << Narrow(good);
    EXPECT_EQ(Get(L"blocking.off.sites"), std::wstring(good));
  }
  for (const wchar_t* bad : {L"News.Example", L"a.test\n\nb.test", L"a.test\na.test", L"http://a.test/", L"a test",
                             L"[::1", L"[xyz]", L"a.test:8080"}) {
    EXPECT_EQ(Set(L"blocking.off.sites", bad), E_INVALIDARG) << Narrow(bad);
  }
  EXPECT_EQ(Get(L"blocking.off.sites"), L"a_b-c.test");  // the last good value stays
}

TEST_F(SearchSettingsTest, GetDataTextsLiveUntilFreeData) {
  wchar_t* first = nullptr;
  wchar_t* second = nullptr;
  ASSERT_EQ(store->GetData(L"defaulturl", &first), S_OK);
  ASSERT_EQ(Set(L"defaulturl", L"http://changed/"), S_OK);
  ASSERT_EQ(store->GetData(L"defaulturl", &second), S_OK);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, L"re:index");  // untouched by the later write and read
  EXPECT_STREQ(second, L"http://changed/");
  EXPECT_EQ(store->FreeData(first), S_OK);
  EXPECT_EQ(store->FreeData(first), E_INVALIDARG);  // given back twice
  wchar_t foreign[] = L"x";
  EXPECT_EQ(store->FreeData(foreign), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("FreeData: the text was not handed out by GetData"));
  EXPECT_EQ(store->FreeData(nullptr), S_OK);
  // `second` is never given back: the store frees it when it goes.
}

}  // namespace
}  // namespace dstest

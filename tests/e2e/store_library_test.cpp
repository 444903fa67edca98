// The library with the SQLite data store and the page doubles: favourites added from
// the library come back to the user interface through the store's notifications, and a
// loaded page leaves a history row.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "components/datastore/datastore.h"
#include "doubles/fakewebpage.h"
#include "uicontrol/fixture.h"
#include "platform/window.h"

using qxdk::UTIL::com_ptr;

class StoreLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = ::testing::TempDir() + "e2e_store_" + std::to_string(getpid()) + ".db";
    std::remove(m_path.c_str());
    datastore::DataStoreOptions options;
    options.databasePath = m_path;
    options.logSink = [](datastore::LogLevel, const std::string&) {};
    IDataAccessor* raw = nullptr;
    ASSERT_EQ(datastore::CreateDataStore(options, &raw), S_OK);
    store.Attach(raw);
    rec.Install();
    pages = new FakeWebPageManager();
    CTabManager::SetWebPageManager(pages);
    CTabManager::SetDataAccessor(store);
    ASSERT_TRUE(tm.Start());
  }
  void TearDown() override {
    tm.CloseAllTab();
    tm.Quit();
    CTabManager::SetDataAccessor(nullptr);
    CTabManager::SetWebPageManager(nullptr);
    rec.Uninstall();
    pages->ForgetPages();
    store.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((m_path + suffix).c_str());
  }

  std::wstring Query(const wchar_t* name, const wchar_t* params) {
    com_ptr<IDataAccessorII> ii;
    store.QueryInterface(ii);
    com_ptr<IDataHolder> holder;
    ii->QueryData(name, params, &holder);
    const wchar_t* text = nullptr;
    if (holder) holder->GetText(&text);
    return text ? text : L"";
  }

  CTabManager& tm = CTabManager::Instance();
  com_ptr<IDataAccessor> store;
  com_ptr<FakeWebPageManager> pages;
  Recorder rec;
  std::string m_path;
};

TEST_F(StoreLibraryTest, AddedFavouriteComesBackThroughTheNotification) {
  ASSERT_TRUE(tm.AddFavoriteItem(-1, L"http://fav.test/page", L"Fav \u4e2d <&>", L""));
  // The store notifies "add_favor" after its commit; the library then asks for both lists.
  ASSERT_TRUE(rec.WaitForData(L"GetAllFavoriteItems", 1));
  ASSERT_TRUE(rec.WaitForData(L"GetFavoriteByFloder", 1));
  std::wstring list = rec.DataEventsNamed(L"GetAllFavoriteItems").back().data;
  std::wstring tree = rec.DataEventsNamed(L"GetFavoriteByFloder").back().data;
  EXPECT_NE(list.find(L"http://fav.test/page"), std::wstring::npos) << list;
  EXPECT_NE(tree.find(L"http://fav.test/page"), std::wstring::npos) << tree;
  EXPECT_NE(tree.find(L"\u4e2d"), std::wstring::npos) << tree;
}

TEST_F(StoreLibraryTest, LoadedPageLeavesAHistoryRow) {
  HWND main = platform::CreateWindowHandle();
  tm.BindMainWnd(main);
  unsigned int id = tm.AddTab(L"http://history.test/Start", 0);
  ASSERT_NE(id, 0u);
  com_ptr<FakeWebPage> page = pages->LastPage();
  page->FireAsync(L"TITLECHANGE", L"TITLE=Start \u00e9\nURL=http://history.test/Start\n");
  page->FireAsync(L"DOCUMENTCOMPLETE", L"");
  page->WaitEventsDelivered();
  std::wstring history = Query(L"query_his", L"");
  EXPECT_NE(history.find(L"http://history.test/start"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Start \u00e9"), std::wstring::npos) << history;

  // The zoom setting round-trips through the store and its change reaches the tab callback.
  EXPECT_TRUE(tm.SetWebZoom(id, 150));
  EXPECT_EQ(tm.GetWebZoom(id), 150u);
  ASSERT_TRUE(rec.WaitForTabEvents(3));
  bool seen = false;
  for (const TabEvent& e : rec.TabEvents()) seen = seen || (e.uID == 0 && e.key == L"page.size" && e.value == L"150");
  EXPECT_TRUE(seen);
}

TEST_F(StoreLibraryTest, SavedTabAppearsInTheRecoverList) {
  store->SetData(L"save.recover.tab", L"title=Closed\nurl=http://closed.test/\nuuid=u-1\n");
  // "insert.recover.index" makes the library read the list again.
  ASSERT_TRUE(rec.WaitForData(L"GetRecoverList", 1));
  std::wstring doc = rec.DataEventsNamed(L"GetRecoverList").back().data;
  EXPECT_NE(doc.find(L"name=\"Closed\""), std::wstring::npos) << doc;
  EXPECT_NE(doc.find(L"uuid=\"u-1\""), std::wstring::npos) << doc;
}

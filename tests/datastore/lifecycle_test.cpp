// Creating, identifying, persisting and releasing the store; where its file lives; the
// default log sink.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/thread.h"
#include "store_fixture.h"

namespace dstest {
namespace {

using LifecycleTest = StoreTest;

TEST_F(LifecycleTest, OneObjectAnswersEveryInterface) {
  void* unknown = nullptr;
  void* accessor = nullptr;
  ASSERT_EQ(query->QueryInterface(IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(notifier->QueryInterface(IDataAccessor::iid, &accessor), S_OK);
  EXPECT_EQ(accessor, static_cast<void*>(store.get()));
  EXPECT_EQ(unknown, accessor);  // one identity
  static_cast<IUnknown*>(unknown)->Release();
  static_cast<IUnknown*>(accessor)->Release();
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(store->QueryInterface(IDataHolder::iid, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(store->QueryInterface(IID_INotifySink, &none), E_NOINTERFACE);
  EXPECT_EQ(store->AddRef(), 4u);  // store, query, notifier, and this one
  EXPECT_EQ(store->Release(), 3u);

  com_ptr<IDataHolder> holder;
  ASSERT_EQ(query->QueryData(L"get.recover.index.section.count", L"", &holder), S_OK);
  EXPECT_EQ(holder->QueryInterface(IID_IUnknown, &none), S_OK);
  EXPECT_EQ(holder->Release(), 1u);
  const wchar_t* text = nullptr;
  Close();  // the holder's text outlives the store
  ASSERT_EQ(holder->GetText(&text), S_OK);
  EXPECT_STREQ(text, L"0");
}

TEST_F(LifecycleTest, DataSurvivesReopening) {
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"kept", L"http://kept/")), S_OK);
  ASSERT_EQ(Set(L"set_search_default", L"id=4"), S_OK);
  Close();
  Open();
  EXPECT_EQ(Children(Xml(Query(L"get_fav_xml").value()).root()).size(), 1u);
  // The shipped defaults are written once; the user's choice stays.
  EXPECT_EQ(Attr(Xml(Query(L"query_search_all_ui").value()).root(), "default"), "4");
}

TEST_F(LifecycleTest, OpeningFailuresAreReportedNotCrashed) {
  datastore::DataStoreOptions options;
  options.logSink = log.Sink();
  IDataAccessor* out = reinterpret_cast<IDataAccessor*>(1);
  options.databasePath = dir.Path("missing/folder/store.db");
  EXPECT_EQ(datastore::CreateDataStore(options, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(log.Contains("ERROR cannot open database"));

  options.databasePath = dir.Path("other.db");
  platform::FailThreadCreationForTest(0, 1);
  EXPECT_EQ(datastore::CreateDataStore(options, &out), E_FAIL);
  EXPECT_TRUE(log.Contains("cannot start the notification thread"));
  platform::FailThreadCreationForTest(1, 1);  // the notifying thread starts, the writer does not
  EXPECT_EQ(datastore::CreateDataStore(options, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(log.Contains("cannot start the writer thread"));
  EXPECT_EQ(datastore::CreateDataStore(options, nullptr), E_POINTER);
}

TEST_F(LifecycleTest, DefaultPathFollowsXdgAndIsCreated) {
  const char* oldXdg = getenv("XDG_DATA_HOME");
  const std::string saved = oldXdg ? oldXdg : "";
  setenv("XDG_DATA_HOME", dir.Path("xdg").c_str(), 1);
  EXPECT_EQ(datastore::DefaultDatabasePath(), dir.Path("xdg/qxbrowser/datastore.db"));
  datastore::DataStoreOptions options;
  options.logSink = log.Sink();
  IDataAccessor* out = nullptr;
  ASSERT_EQ(datastore::CreateDataStore(options, &out), S_OK);
  out->Release();
  EXPECT_TRUE(std::filesystem::exists(dir.Path("xdg/qxbrowser/datastore.db")));
  struct stat info {};
  ASSERT_EQ(stat(dir.Path("xdg/qxbrowser").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  setenv("XDG_DATA_HOME", "relative/path", 1);  // ignored, as the convention says
  const char* home = getenv("HOME");
  if (home && *home) {
    EXPECT_EQ(datastore::DefaultDatabasePath(), std::string(home) + "/.local/share/qxbrowser/datastore.db");
  }
  if (oldXdg) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

TEST(DataStoreLog, DefaultSinkWritesPrefixedLinesToStandardError) {
  TempDir dir;
  datastore::DataStoreOptions options;
  options.databasePath = dir.Path("store.db");
  IDataAccessor* store = nullptr;
  ASSERT_EQ(datastore::CreateDataStore(options, &store), S_OK);
  testing::internal::CaptureStderr();
  store->SetData(L"del_favor", L"id=abc\n");
  const std::string err = testing::internal::GetCapturedStderr();
  store->Release();
  EXPECT_EQ(err, "datastore: WARNING del_favor: parameter \"id\" is not a decimal number\n");
}

}  // namespace
}  // namespace dstest

// The store's change notifications: subscription and the reaction to each name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "fixture.h"
#include "logging/logging.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "recorder.h"
#include "uicontrol/datamessages.h"

namespace {
std::vector<std::wstring> Keys(const std::vector<DataEvent>& events) {
  std::vector<std::wstring> keys;
  for (const auto& e : events) keys.push_back(e.key);
  return keys;
}
}  // namespace

TEST_F(LibraryTest, InstallingAStoreSubscribesAndAppliesTheBusinessEngine) {
  EXPECT_EQ(store->Subscriptions(),
            (std::vector<std::wstring>{L"add_favor", L"update_favor", L"del_favor", L"del_favor_set",
                                       L"set_search_default", L"set_default_browser_quorla", L"insert.recover.index",
                                       L"page.size"}));
  qxdk::UTIL::com_ptr<FakeDataStore> other(new FakeDataStore());
  other->SetAnswer(L"business_search_id", L"12");
  CTabManager::SetDataAccessor(other);
  Drain();
  EXPECT_EQ(other->Subscriptions().size(), 8u);
  ASSERT_EQ(other->CallsNamed(L"set_search_default").size(), 1u);
  EXPECT_EQ(other->CallsNamed(L"set_search_default")[0].text, L"id=12");

  // A store without change notifications still gets the business engine task.
  qxdk::UTIL::com_ptr<FakeDataStore> silent(new FakeDataStore());
  silent->answerNotifier = false;
  CTabManager::SetDataAccessor(silent);
  Drain();
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, logging::msg::kNoStoreNotifier));
  EXPECT_EQ(silent->CallsNamed(L"business_search_id").size(), 1u);
}

TEST_F(LibraryTest, ListNotificationsRefreshTheirLists) {
  store->SetAnswer(L"query_favor_root_url", L"fav");
  store->SetAnswer(L"get_fav_xml", L"folders");
  store->SetAnswer(L"query_search_all_ui", L"engines");
  for (const wchar_t* name : {L"add_favor", L"update_favor", L"del_favor", L"del_favor_set"}) {
    rec.ClearEvents();
    store->FireNotify(name, L"");
    Drain();
    EXPECT_EQ(Keys(rec.DataEvents()), (std::vector<std::wstring>{L"GetAllFavoriteItems", L"GetFavoriteByFloder"}))
        << name;
  }
  rec.ClearEvents();
  store->FireNotify(L"set_search_default", L"3");
  Drain();
  EXPECT_EQ(Keys(rec.DataEvents()), (std::vector<std::wstring>{L"GetAllSearchLists"}));
  store->ClearCalls();
  store->FireNotify(L"insert.recover.index", L"");
  Drain();
  EXPECT_EQ(store->CallsNamed(L"get.recover.index.section.count").size(), 1u);
}

TEST_F(LibraryTest, PageSizeIsForwardedAndOtherNamesDoNothing) {
  store->FireNotify(L"page.size", L"125");
  ASSERT_EQ(rec.TabEvents().size(), 1u);
  EXPECT_EQ(rec.TabEvents()[0].uID, 0u);
  EXPECT_EQ(rec.TabEvents()[0].key, L"page.size");
  EXPECT_EQ(rec.TabEvents()[0].value, L"125");
  EXPECT_EQ(tm.Notify(L"page.size", nullptr, nullptr), 0);
  EXPECT_EQ(rec.TabEvents().back().value, L"") << "a null value is forwarded as empty text";

  store->ClearCalls();
  for (const wchar_t* name : {L"Add_Favor", L"PAGE.SIZE", L"set_search_default ", L"unknown", L""}) {
    EXPECT_EQ(tm.Notify(name, L"1", L"x"), 0);
  }
  EXPECT_EQ(tm.Notify(nullptr, nullptr, nullptr), 0);
  Drain();
  EXPECT_TRUE(store->Calls().empty());
  EXPECT_EQ(rec.TabEvents().size(), 2u);
  EXPECT_TRUE(rec.DataEvents().empty());
}

TEST_F(LibraryTest, DefaultBrowserNotificationSwitchesTheRegistration) {
  std::string dir = ::testing::TempDir() + "datanotify_programs/";
  mkdir(dir.c_str(), 0755);
  std::string out = dir + "sadb.out";
  std::remove(out.c_str());
  WriteRecorderScript(dir + "sadb.exe", out);
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(dir + "qxbrowser"));
  platform::SetWindowsMajorVersion(6);
  store->FireNotify(L"set_default_browser_quorla", L"");
  EXPECT_EQ(WaitForFileText(out, "set\nend\n"), "set\nend\n");

  std::remove(out.c_str());
  platform::RegistrySetValue(HKEY_CURRENT_USER,
                             L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
                             L"ProgId", L"QuorlaHTML");
  store->FireNotify(L"set_default_browser_quorla", L"");
  EXPECT_EQ(WaitForFileText(out, "unset\nend\n"), "unset\nend\n");
  platform::RegistryClear();
  platform::SetModuleFileNameForTest(L"");
}

// Settings through the data store, the default-browser registration and the updater.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "fixture.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "recorder.h"

class SettingsTest : public LibraryTest {
 protected:
  void TearDown() override {
    platform::RegistryClear();
    platform::SetWindowsMajorVersion(6);
    platform::SetModuleFileNameForTest(L"");
    LibraryTest::TearDown();
  }
};

TEST_F(SettingsTest, GenericGetSetAndQuery) {
  EXPECT_EQ(tm.GetValue(L"missing"), L"");
  tm.SetValue(L"page.size", L"120");
  EXPECT_EQ(tm.GetValue(L"page.size"), L"120");
  EXPECT_EQ(store->OutstandingData(), 0) << "every text read is given back";

  store->SetAnswer(L"count", L"42abc");
  EXPECT_EQ(tm.GetItemValue(L"count", L"k=v\n"), 42);
  EXPECT_EQ(store->CallsNamed(L"count").back().text, L"k=v\n");
  store->SetAnswer(L"count", L"abc");
  EXPECT_EQ(tm.GetItemValue(L"count", L""), 0);
  store->SetAnswer(L"count", L"99999999999");
  EXPECT_EQ(tm.GetItemValue(L"count", L""), 2147483647) << "clamped, not undefined";
  EXPECT_EQ(tm.GetItemValue(L"nothing", L""), 0);
  store->SetNullTextAnswer(L"nulltext");
  EXPECT_EQ(tm.GetItemValue(L"nulltext", L""), 0);

  store->SetAnswerFor(L"get_icon", L"url=http://a/\n", L"/icons/a.ico");
  EXPECT_EQ(tm.QueryIconPathFromURL(L"http://a/"), L"/icons/a.ico");
  EXPECT_EQ(tm.QueryIconPathFromURL(L"http://unknown/"), L"");
  EXPECT_EQ(tm.QueryIconPathFromURL(L"http://a/\nid=1"), L"");
}

TEST_F(SettingsTest, NamedSettingsReadingRules) {
  EXPECT_EQ(tm.GetDefaultIndex(), L"");
  store->SetSetting(L"defaulturl", L"http://home/");
  EXPECT_EQ(tm.GetDefaultIndex(), L"http://home/");

  EXPECT_FALSE(tm.IsShowDefaultIndex());
  store->SetSetting(L"set_show_homepage", L"true");
  EXPECT_FALSE(tm.IsShowDefaultIndex());
  store->SetSetting(L"set_show_homepage", L"1");
  EXPECT_TRUE(tm.IsShowDefaultIndex());

  EXPECT_TRUE(tm.IsShowSetDefaultBrowserDlg()) << "absent reads as true";
  tm.SetShowSetDefaultBrowserDlg(false);
  Drain();
  std::vector<StoreCall> calls = store->CallsNamed(L"check.default.browser");
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[1].op, L"SetData");
  EXPECT_EQ(calls[1].text, L"0");
  EXPECT_FALSE(tm.IsShowSetDefaultBrowserDlg());
  store->SetSetting(L"check.default.browser", L"");
  EXPECT_TRUE(tm.IsShowSetDefaultBrowserDlg());

  EXPECT_TRUE(tm.IsShowCloseTabs());
  tm.SetShowCloseTabs(false);
  EXPECT_FALSE(tm.IsShowCloseTabs());
  store->SetSetting(L"browser.close.info", L"00");
  EXPECT_TRUE(tm.IsShowCloseTabs()) << "only a single 0 means false";
  tm.SetShowCloseTabs(true);
  EXPECT_EQ(store->CallsNamed(L"browser.close.info").back().text, L"1");
}

TEST_F(SettingsTest, WithoutAStoreEverythingReadsEmpty) {
  CTabManager::SetDataAccessor(nullptr);
  EXPECT_EQ(tm.GetValue(L"x"), L"");
  tm.SetValue(L"x", L"y");
  EXPECT_EQ(tm.GetItemValue(L"x", L""), 0);
  EXPECT_FALSE(tm.IsShowDefaultIndex());
  EXPECT_TRUE(tm.IsShowCloseTabs());
}

TEST_F(SettingsTest, DefaultBrowserFromTheRegistry) {
  platform::SetWindowsMajorVersion(6);
  EXPECT_FALSE(tm.IsDefaultBrowser());
  const std::wstring key = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
  platform::RegistrySetValue(HKEY_CURRENT_USER, key, L"ProgId", L"quorlahtml");
  EXPECT_FALSE(tm.IsDefaultBrowser()) << "letter case counts";
  platform::RegistrySetValue(HKEY_CURRENT_USER, key, L"ProgId", L"QuorlaHTML");
  EXPECT_TRUE(tm.IsDefaultBrowser());
  platform::RegistrySetKeyReadOnly(HKEY_CURRENT_USER, key, true);
  EXPECT_FALSE(tm.IsDefaultBrowser()) << "the key must open for writing too";

  platform::SetWindowsMajorVersion(5);
  EXPECT_FALSE(tm.IsDefaultBrowser());
  platform::RegistrySetValue(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", L"",
                             L"\"C:\\Program Files\\qxbrowser.exe\" %1");
  EXPECT_TRUE(tm.IsDefaultBrowser());
  platform::SetWindowsMajorVersion(10);
  EXPECT_FALSE(tm.IsDefaultBrowser());
}

TEST_F(SettingsTest, StartsTheSetterAndTheUpdaterWithTheirArguments) {
  std::string dir = ::testing::TempDir() + "settings_programs/";
  mkdir(dir.c_str(), 0755);
  std::string out = dir + "sadb.out";
  std::remove(out.c_str());
  WriteRecorderScript(dir + "sadb.exe", out);
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(dir + "browser"));
  tm.SetDefaultBrowser(true);
  EXPECT_EQ(WaitForFileText(out, "set\nend\n"), "set\nend\n");
  std::remove(out.c_str());
  tm.SetDefaultBrowser(false);
  EXPECT_EQ(WaitForFileText(out, "unset\nend\n"), "unset\nend\n");

  std::string updaterDir = dir + "pf/quorla/qxd/";
  std::string command = "mkdir -p '" + updaterDir + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string updaterOut = dir + "updater.out";
  std::remove(updaterOut.c_str());
  WriteRecorderScript(updaterDir + "qxstub.exe", updaterOut);
  setenv("PROGRAMFILES", (dir + "pf").c_str(), 1);
  EXPECT_TRUE(tm.UpdateBrowser());
  EXPECT_EQ(WaitForFileText(updaterOut, "/update\n/subkey\nQXE\n/logon\nend\n"), "/update\n/subkey\nQXE\n/logon\nend\n");
  unsetenv("PROGRAMFILES");
  EXPECT_TRUE(tm.UpdateBrowser()) << "a missing updater is not reported";
}

TEST_F(SettingsTest, UpdateTickCount) {
  unsigned int id = tm.AddTab(L"http://a/", 0);
  tm.FindTabInfoInternal(id)->uTickCount = 0;
  DWORD before = GetTickCount();
  tm.UpdateTickCount(id);
  DWORD stamped = tm.FindTabInfoForLua(id).uTickCount;
  EXPECT_LE(before, stamped);
  EXPECT_LE(stamped, GetTickCount());
  tm.UpdateTickCount(9999);  // unknown: nothing happens
}

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/registry.h"

TEST(Registry, KeysIgnoreCaseAndSeparators) {
  platform::RegistryClear();
  platform::RegistrySetValue(HKEY_CURRENT_USER, L"Software\\A\\B", L"ProgId", L"QuorlaHTML");
  platform::CRegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, L"software/a/b", KEY_READ));
  EXPECT_EQ(key.QueryString(L"progid"), L"QuorlaHTML");
  EXPECT_EQ(key.QueryString(L"missing"), L"");
  EXPECT_FALSE(platform::CRegKey().Open(HKEY_LOCAL_MACHINE, L"Software\\A\\B", KEY_READ));

  platform::RegistrySetKeyReadOnly(HKEY_CURRENT_USER, L"Software\\A\\B", true);
  EXPECT_TRUE(platform::CRegKey().Open(HKEY_CURRENT_USER, L"Software\\A\\B", KEY_READ));
  EXPECT_FALSE(platform::CRegKey().Open(HKEY_CURRENT_USER, L"Software\\A\\B", KEY_READ | KEY_WRITE));
  platform::RegistryClear();
}

TEST(Registry, LoadsFileAndReportsBadLines) {
  platform::RegistryClear();
  std::string path = ::testing::TempDir() + "registry.txt";
  {
    std::ofstream out(path);
    out << "# comment\n\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quorla\\qxe|datapath=/tmp/d\xc3\xa9\n"
        << "HKEY_CLASSES_ROOT\\http\\shell\\open\\command|=qxbrowser.exe %1\nnonsense\n";
  }
  EXPECT_FALSE(platform::RegistryLoadFile(path));
  platform::CRegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", KEY_READ));
  EXPECT_EQ(key.QueryString(L"datapath"), L"/tmp/d\u00e9");
  ASSERT_TRUE(key.Open(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", KEY_READ));
  EXPECT_EQ(key.QueryString(L""), L"qxbrowser.exe %1");
  EXPECT_FALSE(platform::RegistryLoadFile(path + ".missing"));
  std::remove(path.c_str());
  platform::RegistryClear();
}

// A key with a source answers from it at every opening, over a kept key of the same name;
// a source that cannot tell leaves the key closed; a source may open other keys.
TEST(Registry, ASourcedKeyIsAskedAtEveryOpening) {
  platform::RegistryClear();
  const std::wstring path = L"Software\\Live";
  platform::RegistrySetValue(HKEY_CURRENT_USER, path, L"ProgId", L"kept");
  int asked = 0;
  std::wstring answer = L"first";
  platform::RegistrySetKeySource(HKEY_CURRENT_USER, L"software/live/", [&](std::map<std::wstring, std::wstring>* values) {
    ++asked;
    if (answer.empty()) return false;
    (*values)[L"ProgId"] = answer;
    // Opening a kept key from inside a source takes the registry's lock: it must be free.
    platform::RegistrySetValue(HKEY_CURRENT_USER, L"Software\\Other", L"x", L"y");
    return platform::CRegKey().Open(HKEY_CURRENT_USER, L"Software\\Other", KEY_READ);
  });
  platform::CRegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE));
  EXPECT_EQ(key.QueryString(L"PROGID"), L"first");
  EXPECT_EQ(key.QueryString(L"missing"), L"");
  answer = L"second";
  EXPECT_EQ(key.QueryString(L"ProgId"), L"first") << "the answer of its opening";
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, path, KEY_READ));
  EXPECT_EQ(key.QueryString(L"ProgId"), L"second");
  answer.clear();
  EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, path, KEY_READ));
  EXPECT_EQ(key.QueryString(L"ProgId"), L"");
  EXPECT_EQ(asked, 3);
  platform::RegistrySetKeySource(HKEY_CURRENT_USER, path, nullptr);
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, path, KEY_READ));
  EXPECT_EQ(key.QueryString(L"ProgId"), L"kept");
  platform::RegistryClear();
}

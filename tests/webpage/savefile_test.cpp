#include "components/webpage/savefile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace webpage {
namespace {

TEST(WebpageSaveFile, Base64DecodesWhatTheProtocolSends) {
  std::string bytes;
  EXPECT_TRUE(Base64Decode("", &bytes));
  EXPECT_EQ("", bytes);
  EXPECT_TRUE(Base64Decode("TWFu", &bytes));
  EXPECT_EQ("Man", bytes);
  EXPECT_TRUE(Base64Decode("TWE=", &bytes));
  EXPECT_EQ("Ma", bytes);
  EXPECT_TRUE(Base64Decode("TQ==", &bytes));
  EXPECT_EQ("M", bytes);
  EXPECT_TRUE(Base64Decode("iVBORw0KGgo=", &bytes));
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), bytes);
  for (const char* bad : {"TWF", "TW=u", "T===", "TQ==TWFu", "TW!u", "=TWF"}) {
    EXPECT_FALSE(Base64Decode(bad, &bytes)) << bad;
  }
}

TEST(WebpageSaveFile, FileStemsAreSafeNames) {
  EXPECT_EQ("Report_ 2024_05", FileStem(L"Report: 2024/05", L"http://h/"));
  EXPECT_EQ("127.0.0.1_8080", FileStem(L"  ", L"http://user@127.0.0.1:8080/x?y"));
  EXPECT_EQ("page", FileStem(L"", L"about:blank"));
  EXPECT_EQ("hidden", FileStem(L"..hidden.", L""));
  EXPECT_EQ("page", FileStem(L"..", L""));
  EXPECT_EQ("a_b_c", FileStem(L"a\nb\x01" L"c", L""));
  EXPECT_EQ("\xe6\x96\x87\xe6\xa1\xa3", FileStem(L"\u6587\u6863", L""));
  std::string longStem = FileStem(std::wstring(200, L'\u6587'), L"");
  EXPECT_LE(longStem.size(), 80u);
  EXPECT_EQ(0u, longStem.size() % 3) << "never cuts a character in half";
}

TEST(WebpageSaveFile, SavingNeverReplacesAFile) {
  char pattern[] = "/tmp/webpage-save-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  std::string folder = std::string(pattern) + "/new/folder";
  std::string error;
  std::string first = SaveNewFile(folder, "page", "html", "one", &error);
  std::string second = SaveNewFile(folder, "page", "html", "two", &error);
  EXPECT_EQ(folder + "/page.html", first);
  EXPECT_EQ(folder + "/page (2).html", second);
  std::ifstream in(first);
  EXPECT_EQ("one", std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));

  std::ofstream(std::string(pattern) + "/plain") << "x";
  EXPECT_EQ("", SaveNewFile(std::string(pattern) + "/plain/sub", "page", "png", "x", &error));
  EXPECT_NE(std::string::npos, error.find("cannot create"));
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace webpage

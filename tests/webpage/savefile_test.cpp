#include "components/webpage/savefile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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
  // Nothing in a name may pretend to be something else: direction overrides, invisible
  // characters, C1 controls, separators of lines, non-characters.
  EXPECT_EQ("invoice_gpj.exe", FileStem(L"invoice\u202egpj.exe", L""));
  EXPECT_EQ("a_b_c_d_e", FileStem(L"a\u200bb\u2066c\ufeffd\u0085e", L""));
  EXPECT_EQ("x_y_z", FileStem(L"x\u2028y\x9bz", L""));
  EXPECT_EQ("n_m", FileStem(std::wstring(L"n") + static_cast<wchar_t>(0xfffe) + L"m", L""));
  EXPECT_EQ("s_t", FileStem(std::wstring(L"s") + static_cast<wchar_t>(0xd800) + L"t", L""));
  EXPECT_EQ("u_v", FileStem(std::wstring(L"u") + static_cast<wchar_t>(0x110000) + L"v", L""));
  EXPECT_EQ("_.._etc_passwd", FileStem(L"../../etc/passwd", L""));
  EXPECT_EQ("caf\xc3\xa9 \xf0\x9f\x98\x80", FileStem(L"caf\u00e9 \U0001F600", L"")) << "ordinary characters stay";
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

TEST(WebpageSaveFile, DownloadNamesAreSplitIntoASafeStemAndExtension) {
  std::string stem, extension;
  DownloadName(L"report.pdf", L"http://h/x", &stem, &extension);
  EXPECT_EQ("report", stem);
  EXPECT_EQ("pdf", extension);
  DownloadName(L"archive.tar.gz", L"", &stem, &extension);
  EXPECT_EQ("archive.tar", stem);
  EXPECT_EQ("gz", extension);
  DownloadName(L"../../.bashrc", L"http://site.test/x", &stem, &extension);
  EXPECT_EQ("site.test", stem);
  EXPECT_EQ("bashrc", extension);
  DownloadName(L"invoice\u202efdp.exe", L"", &stem, &extension);
  EXPECT_EQ("invoice_fdp", stem);
  EXPECT_EQ("exe", extension);
  DownloadName(L"notes.t/xt", L"", &stem, &extension);
  EXPECT_EQ("xt", stem);
  EXPECT_EQ("", extension);
  DownloadName(L"odd.\u00e9x", L"", &stem, &extension);
  EXPECT_EQ("odd.\xc3\xa9x", stem);
  EXPECT_EQ("", extension) << "extensions are plain";
  DownloadName(L"", L"", &stem, &extension);
  EXPECT_EQ("page", stem);
  EXPECT_EQ("", extension);
}

TEST(WebpageSaveFile, DownloadsAreMovedToAFreeNameAndNeverReplaceAFile) {
  char pattern[] = "/tmp/webpage-move-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  std::string folder = pattern;
  std::string staging = folder + "/.staging";
  std::filesystem::create_directories(staging);
  std::ofstream(folder + "/same.txt") << "mine";
  ASSERT_EQ(0, ::symlink("/nonexistent/target", (folder + "/same (2).txt").c_str()));
  std::string error;
  for (int i = 0; i < 2; ++i) {
    std::ofstream(staging + "/g" + std::to_string(i)) << "download " << i;
  }
  EXPECT_EQ(folder + "/same (3).txt", MoveToNewFile(folder, "same", "txt", staging + "/g0", &error)) << error;
  EXPECT_EQ(folder + "/same (4).txt", MoveToNewFile(folder, "same", "txt", staging + "/g1", &error)) << error;
  std::ifstream mine(folder + "/same.txt");
  EXPECT_EQ("mine", std::string((std::istreambuf_iterator<char>(mine)), std::istreambuf_iterator<char>()));
  std::ifstream third(folder + "/same (3).txt");
  EXPECT_EQ("download 0", std::string((std::istreambuf_iterator<char>(third)), std::istreambuf_iterator<char>()));
  EXPECT_FALSE(std::filesystem::exists(staging + "/g0")) << "the staged file is moved, not copied";
  std::ofstream(staging + "/g2") << "x";
  EXPECT_EQ(folder + "/plain", MoveToNewFile(folder, "plain", "", staging + "/g2", &error)) << error;
  EXPECT_EQ("", MoveToNewFile(folder, "gone", "txt", staging + "/missing", &error));
  EXPECT_NE(std::string::npos, error.find("cannot move"));
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace webpage

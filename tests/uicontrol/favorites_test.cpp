// Favourites: the store commands and texts, the URL log, the import program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "logging/logging.h"
#include "logging/messages.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "recorder.h"
#include "uicontrol/datamessages.h"
#include "uicontrol/favoritetasks.h"

namespace {

// Per process, so that tests run side by side do not share files.
std::string TempFolder(const std::string& name) {
  std::string dir = ::testing::TempDir() + name + "_" + std::to_string(getpid()) + "/";
  mkdir(dir.c_str(), 0755);
  return dir;
}

}  // namespace

class FavoritesTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    dataDir = TempFolder("favorites_data");
    std::remove((dataDir + "ul.ini").c_str());
    platform::RegistrySetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", L"datapath",
                               platform::Utf8ToWide(dataDir.substr(0, dataDir.size() - 1)));
    platform::SetLocalTimeSourceForTest([] {
      SYSTEMTIME st = {};
      st.wYear = 2024, st.wMonth = 3, st.wDay = 7, st.wHour = 9, st.wMinute = 7, st.wSecond = 2;
      return st;
    });
  }
  void TearDown() override {
    logging::SetChecksSwitch(0);
    platform::RegistryClear();
    platform::SetLocalTimeSourceForTest(nullptr);
    platform::SetModuleFileNameForTest(L"");
    LibraryTest::TearDown();
  }
  std::vector<std::wstring> AddedTexts() {
    Drain();
    std::vector<std::wstring> texts;
    for (const StoreCall& c : store->CallsNamed(L"add_favor")) texts.push_back(c.op + L":" + c.text);
    return texts;
  }
  std::string dataDir;
};

TEST_F(FavoritesTest, AddSendsTheEntryAndLogsTheLowerCasedUrl) {
  EXPECT_TRUE(tm.AddFavoriteItem(12, L"http://Example.COM/A", L"Title", L"/i.ico"));
  EXPECT_TRUE(tm.AddFavoriteItem(-1, L"http://b/", L"", L""));
  EXPECT_EQ(AddedTexts(), (std::vector<std::wstring>{
                              L"SetData:date=2024-3-7 9:7:2\nicon=/i.ico\npid=12\ntitle=Title\ntype=1\n"
                              L"url=http://Example.COM/A\n",
                              L"SetData:date=2024-3-7 9:7:2\nicon=\npid=-1\ntitle=http://b/\ntype=1\n"
                              L"url=http://b/\n"}));
  EXPECT_EQ(ReadFileText(dataDir + "ul.ini"), "url=http://example.com/a\nurl=http://b/\n");

  // A folder value that already ends in a separator; text outside ASCII is kept (UTF-8).
  platform::RegistrySetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", L"datapath",
                             platform::Utf8ToWide(dataDir));
  EXPECT_TRUE(tm.AddFavoriteItem(0, L"HTTP://\u4f8b\u5b50.cn/\u00c4", L"t", L""));
  EXPECT_EQ(ReadFileText(dataDir + "ul.ini"),
            "url=http://example.com/a\nurl=http://b/\nurl=http://\xe4\xbe\x8b\xe5\xad\x90.cn/\xc3\x84\n");
}

TEST_F(FavoritesTest, WithoutTheRegistryValueTheLogIsInTheCurrentDirectory) {
  platform::RegistryClear();
  std::string cwd = TempFolder("favorites_cwd");
  std::remove((cwd + "ul.ini").c_str());
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_TRUE(tm.AddFavoriteItem(1, L"http://X/", L"x", L""));
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(ReadFileText(cwd + "ul.ini"), "url=http://x/\n");
}

TEST_F(FavoritesTest, InternalAddressesAndUnsafeFieldsAreRefused) {
  for (const wchar_t* url : {L"about:blank", L"RE:FAV", L"Re:History", L"re:FAVORITE", L"rE:options", L"RE:index"}) {
    EXPECT_FALSE(tm.AddFavoriteItem(0, url, L"t", L"")) << url;
  }
  EXPECT_TRUE(rec.Logs().empty());
  EXPECT_TRUE(AddedTexts().empty());
  EXPECT_EQ(ReadFileText(dataDir + "ul.ini"), "");

  EXPECT_FALSE(tm.AddFavoriteItem(0, L"http://a/\nurl=http://evil/", L"t", L""));
  EXPECT_FALSE(tm.AddFavoriteItem(0, L"http://a/", L"t\ntype=2", L""));
  EXPECT_FALSE(tm.AddFavoriteItem(0, L"http://a/", L"t", std::wstring(L"i\0x", 3)));
  EXPECT_FALSE(tm.DeleteFavoriteItem(L"5\nid=6"));
  EXPECT_EQ(rec.CountLogs(logging::LOG_WARNING, logging::msg::kUnsafeText), 4u);
  Drain();
  EXPECT_TRUE(store->Calls().empty());
  EXPECT_EQ(ReadFileText(dataDir + "ul.ini"), "");

  // Only the whole address counts.
  EXPECT_TRUE(tm.AddFavoriteItem(0, L"re:favx", L"", L""));
  EXPECT_TRUE(tm.AddFavoriteItem(0, L"about:blank#top", L"", L""));
  EXPECT_EQ(AddedTexts().size(), 2u);
}

TEST_F(FavoritesTest, DeleteAndTheListQueries) {
  EXPECT_TRUE(tm.DeleteFavoriteItem(L"42"));
  store->SetAnswer(L"query_favor_root_url", L"<root a='1'/>");
  store->SetAnswer(L"get_fav_xml", L"folders\n");
  EXPECT_TRUE(tm.GetAllFavoriteItems());
  EXPECT_TRUE(tm.GetFavoriteByFloder());
  Drain();
  ASSERT_EQ(store->Calls().size(), 3u);
  EXPECT_EQ(store->Calls()[0].text, L"id=42\n");
  EXPECT_EQ(store->CallsNamed(L"query_favor_root_url")[0].text, L"type=1\npid=0\n");
  EXPECT_EQ(store->CallsNamed(L"get_fav_xml")[0].text, L"");
  ASSERT_EQ(rec.DataEvents().size(), 2u);
  EXPECT_EQ(rec.DataEvents()[0].key, L"GetAllFavoriteItems");
  EXPECT_EQ(rec.DataEvents()[0].data, L"<root a='1'/>");
  EXPECT_EQ(rec.DataEvents()[1].key, L"GetFavoriteByFloder");
  EXPECT_EQ(rec.DataEvents()[1].data, L"folders\n");
}

TEST_F(FavoritesTest, ListQueriesWithoutAnAnswerSendNothing) {
  logging::SetChecksSwitch(1);
  tm.GetAllFavoriteItems();
  tm.GetFavoriteByFloder();
  Drain();
  EXPECT_TRUE(rec.DataEvents().empty());
  EXPECT_EQ(rec.CountLogs(logging::LOG_ERROR_REPORT, "Check failed: spHolder."), 1u);
  EXPECT_EQ(rec.Logs().size(), 1u);
}

TEST_F(FavoritesTest, ImportRunsTheProgramAndNotifiesAfterItEnds) {
  std::string dir = TempFolder("favorites import");  // a blank in the unquoted path
  std::string out = dir + "import.out";
  std::remove(out.c_str());
  WriteRecorderScript(dir + "ImportDataToDB.exe", out);
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(dir + "qxbrowser"));
  EXPECT_TRUE(tm.ImportIEFavorites());
  ASSERT_TRUE(rec.WaitForData(L"ImportIEFavorite", 1));
  EXPECT_EQ(ReadFileText(out), "ie.favor\nend\n") << "the program has ended before the notification";
  EXPECT_EQ(rec.DataEventsNamed(L"ImportIEFavorite")[0].data, L"");
}

TEST_F(FavoritesTest, ImportThatCannotStartIsLoggedAndSendsNothing) {
  logging::SetChecksSwitch(1);
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(TempFolder("favorites_noimport") + "qxbrowser"));
  EXPECT_TRUE(tm.ImportIEFavorites());
  Drain();
  EXPECT_TRUE(rec.DataEvents().empty());
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR_REPORT, "Check failed: bRet."));
  for (const LogLine& line : rec.Logs()) EXPECT_NE(line.level, logging::LOG_WARNING) << "the check line is the report";
}

TEST_F(FavoritesTest, AnImportThatNeverEndsIsEndedAtTheTimeLimitAndReportedAsAFailure) {
  std::string dir = TempFolder("favorites endless");
  const std::string pidFile = dir + "import.pid";
  std::remove(pidFile.c_str());
  {
    std::ofstream script(dir + "ImportDataToDB.exe");
    script << "#!/bin/sh\necho $$ > '" << pidFile << ".part'\nmv '" << pidFile << ".part' '" << pidFile
           << "'\nwhile :; do sleep 1; done\n";
  }
  chmod((dir + "ImportDataToDB.exe").c_str(), 0755);
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(dir + "qxbrowser"));
  CTaskImportIEFavorite::SetTimeLimit(std::chrono::milliseconds(1500));
  store->SetAnswer(L"get_fav_xml", L"folders\n");
  EXPECT_TRUE(tm.ImportIEFavorites());
  EXPECT_TRUE(tm.GetFavoriteByFloder()) << "queued behind the import";
  Drain();
  CTaskImportIEFavorite::SetTimeLimit(CTaskImportIEFavorite::kDefaultTimeLimit);
  EXPECT_TRUE(rec.DataEventsNamed(L"ImportIEFavorite").empty());
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, std::string(logging::msg::kImportStopped) + "1500 ms"));
  EXPECT_EQ(1u, rec.DataEventsNamed(L"GetFavoriteByFloder").size()) << "the IO worker goes on";
  // The program had started and is gone now (reaped: not even a zombie remains).
  const std::string pid = ReadFileText(pidFile);
  ASSERT_FALSE(pid.empty());
  EXPECT_FALSE(std::filesystem::exists("/proc/" + pid.substr(0, pid.find('\n')))) << pid;
  std::filesystem::remove_all(dir);
}

TEST_F(LibraryTest, WithoutAStoreTheDataRequestsEndQuietly) {
  CTabManager::SetDataAccessor(nullptr);
  unsigned int uID = tm.AddTab(L"http://a/", 0);
  EXPECT_TRUE(tm.GetAllFavoriteItems() && tm.GetFavoriteByFloder() && tm.DeleteFavoriteItem(L"1"));
  EXPECT_TRUE(tm.GetAllSearchLlists() && tm.SetDefaultSearch(L"1") && tm.GetBusinessSearch());
  EXPECT_TRUE(tm.GetNavigateHistory(uID) && tm.GetRecoverLists() && tm.ClearRecoverLists());
  Drain();
  EXPECT_TRUE(rec.DataEvents().empty());
}

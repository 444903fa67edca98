// A save of a page ends once, by its data, its failure or its time limit, whichever
// comes first, and never replaces a file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "components/pagecore/savejob.h"
#include "doubles/fakepagethread.h"

namespace {

using namespace std::chrono_literals;

struct Outcome {
  enum Kind { Data, File, Failure, Wait } kind;
  std::string text;
};

struct Case {
  const char* name;
  std::vector<Outcome> outcomes;
  // The one SAVECOMPLETE: the file written (relative to the folder) or the error.
  std::string file, error;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class SaveJobTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    m_folder = std::filesystem::temp_directory_path() / ("pagecore-save-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder);
    std::ofstream(m_folder / "Taken.html") << "keep me";
  }
  void TearDown() override { std::filesystem::remove_all(m_folder); }

  std::filesystem::path m_folder;
};

TEST_P(SaveJobTest, EndsOnceWithOneSaveComplete) {
  const Case& c = GetParam();
  FakePageThread thread;
  std::vector<std::pair<std::wstring, webpage::KeyValues>> events;
  pagecore::CSaveJob::Hooks hooks;
  hooks.emit = [&events](const wchar_t* key, const webpage::KeyValues& values) { events.emplace_back(key, values); };
  hooks.runLater = thread.Hooks().runLater;
  hooks.folder = m_folder.string();
  hooks.name = "fake page";
  auto job = pagecore::CSaveJob::Start(hooks, "html", L"Taken", L"http://a.test/", 5s, "too late");
  for (const Outcome& outcome : c.outcomes) {
    switch (outcome.kind) {
      case Outcome::Data: job->Deliver(outcome.text); break;
      case Outcome::File: {
        const std::string source = (m_folder / "engine-wrote.tmp").string();
        std::ofstream(source) << outcome.text;
        job->DeliverFile(source);
        break;
      }
      case Outcome::Failure: job->Fail(outcome.text); break;
      case Outcome::Wait: thread.Advance(std::chrono::milliseconds(std::stoi(outcome.text))); break;
    }
  }
  thread.Advance(10s);
  EXPECT_TRUE(job->Finished());
  int completes = 0;
  for (const auto& event : events) {
    if (event.first != L"SAVECOMPLETE") continue;
    ++completes;
    const webpage::KeyValues& values = event.second;
    EXPECT_EQ(values.count(L"KIND") ? values.at(L"KIND") : L"", L"html");
    if (c.file.empty()) {
      ASSERT_TRUE(values.count(L"ERROR"));
      EXPECT_NE(values.at(L"ERROR").find(std::wstring(c.error.begin(), c.error.end())), std::wstring::npos);
      EXPECT_FALSE(values.count(L"FILE"));
    } else {
      const std::string want = (m_folder / c.file).string();
      ASSERT_TRUE(values.count(L"FILE"));
      EXPECT_EQ(values.at(L"FILE"), std::wstring(want.begin(), want.end()));
    }
  }
  EXPECT_EQ(completes, 1);
  // Every save tells the status line too; the file that was there is never replaced.
  EXPECT_EQ(events.size(), 2u);
  std::ifstream kept(m_folder / "Taken.html");
  std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SaveJobTest,
    ::testing::Values(Case{"DataIsWrittenUnderAFreeName", {{Outcome::Data, "<html>"}}, "Taken (2).html", ""},
                      Case{"AFileTheEngineWroteIsMovedIn", {{Outcome::File, "%PDF"}}, "Taken (2).html", ""},
                      Case{"AFailureEndsTheSave", {{Outcome::Failure, "no data"}, {Outcome::Data, "late"}}, "",
                           "no data"},
                      Case{"TheTimeLimitEndsTheSaveAndLateDataIsDropped",
                           {{Outcome::Wait, "5000"}, {Outcome::Data, "late"}, {Outcome::Failure, "later"}},
                           "",
                           "too late"},
                      Case{"DataInTimeWinsOverTheTimeLimit",
                           {{Outcome::Wait, "4999"}, {Outcome::Data, "<html>"}, {Outcome::Data, "again"}},
                           "Taken (2).html",
                           ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SaveJobFolderTest, AFolderThatCannotBeMadeFailsTheSave) {
  FakePageThread thread;
  std::vector<std::wstring> keys;
  pagecore::CSaveJob::Hooks hooks;
  hooks.emit = [&keys](const wchar_t* key, const webpage::KeyValues& values) {
    keys.push_back(key + std::wstring(values.count(L"ERROR") ? L" error" : L""));
  };
  hooks.runLater = thread.Hooks().runLater;
  hooks.folder = "/proc/no-such-folder/downloads";
  auto job = pagecore::CSaveJob::Start(hooks, "png", L"", L"", 5s, "too late");
  job->Deliver("bytes");
  thread.Advance(10s);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"SAVECOMPLETE error", L"STATEXTCHANGED"}));
}

}  // namespace

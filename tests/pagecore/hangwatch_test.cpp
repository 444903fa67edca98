// When a page is reported unresponsive and answering again, on a clock the test moves: a
// fake renderer that answers every question at once except while it hangs or while the
// engine loses its questions, crashes and revivals, and the engine's own verdict (WebKit's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/hangwatch.h"
#include "doubles/fakepagethread.h"

namespace {

using namespace std::chrono_literals;

struct Expected {
  bool answering;  // SECONDS=0; else SECONDS of at least the limit
  int earliestMs, latestMs;
};

struct Case {
  const char* name;
  int durationMs;
  int hangFromMs, hangToMs;    // the renderer answers nothing in [from, to); -1: never hangs / never ends
  int crashAtMs, reviveAtMs;   // the page is not open in [crash, revive); -1: none / never revived
  std::vector<std::pair<int, bool>> verdicts;  // the engine's own verdict at a time
  int lostFromMs, lostToMs;    // questions fail without an answer in [from, to); -1: never
  std::vector<Expected> expected;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

bool Within(int t, int from, int to) { return from >= 0 && t >= from && (to < 0 || t < to); }

class HangWatchTest : public ::testing::TestWithParam<Case> {};

TEST_P(HangWatchTest, ReportsOncePerChangeAndNeverForADeadPage) {
  const Case& c = GetParam();
  FakePageThread thread;
  std::vector<std::function<void(bool)>> questions, deadQuestions;
  struct Seen {
    int atMs;
    std::wstring seconds;
  };
  std::vector<Seen> seen;
  bool open = true;

  pagecore::CHangWatch::Hooks hooks;
  const pagecore::CPageReport::Hooks threadHooks = thread.Hooks();
  hooks.runLater = threadHooks.runLater;
  hooks.now = threadHooks.now;
  hooks.open = [&open] { return open; };
  hooks.ask = [&questions](std::function<void(bool)> answered) { questions.push_back(std::move(answered)); };
  hooks.emit = [&](const wchar_t* key, const webpage::KeyValues& values) {
    ASSERT_EQ(std::wstring(L"PAGEUNRESPONSIVE"), key);
    const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(thread.Now() - webpage::SteadyTime{});
    seen.push_back({static_cast<int>(at.count()), values.at(L"SECONDS")});
  };
  hooks.name = "test page";
  pagecore::CHangWatch watch(hooks);
  watch.Start();

  for (int nowMs = 0; nowMs <= c.durationMs; nowMs += 100) {
    for (const auto& [at, responsive] : c.verdicts) {
      if (at == nowMs) watch.Responsive(responsive);
    }
    if (nowMs == c.crashAtMs) {
      open = false;
      watch.Ended();
      deadQuestions.swap(questions);  // the dead renderer's questions
    }
    if (nowMs == c.reviveAtMs) {
      open = true;
      // Replies to what the dead renderer was asked still arrive after the revival.
      for (auto& answer : deadQuestions) answer(true);
      deadQuestions.clear();
    }
    const bool lost = Within(nowMs, c.lostFromMs, c.lostToMs);
    if ((open && !Within(nowMs, c.hangFromMs, c.hangToMs)) || lost) {
      std::vector<std::function<void(bool)>> answering;
      answering.swap(questions);
      for (auto& answer : answering) answer(!lost);
    }
    thread.Advance(100ms);
  }

  ASSERT_EQ(c.expected.size(), seen.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    const Expected& e = c.expected[i];
    EXPECT_GE(seen[i].atMs, e.earliestMs);
    EXPECT_LE(seen[i].atMs, e.latestMs);
    if (e.answering) {
      EXPECT_EQ(L"0", seen[i].seconds);
    } else {
      const double seconds = std::stod(seen[i].seconds);
      EXPECT_GE(seconds, 5.0);
      EXPECT_LT(seconds, 7.0);
    }
  }
  // A page still open and not answering is still reported; a dead one never is.
  EXPECT_EQ(!c.expected.empty() && !c.expected.back().answering && c.crashAtMs < 0, watch.Reported());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HangWatchTest,
    ::testing::Values(
        Case{"AnswersEveryQuestion", 20000, -1, -1, -1, -1, {}, -1, -1, {}},
        Case{"NeverAnswersAgain", 30000, 3000, -1, -1, -1, {}, -1, -1, {{false, 8000, 10000}}},
        Case{"HangsThenAnswers", 20000, 2000, 12000, -1, -1, {}, -1, -1, {{false, 7000, 9000}, {true, 12000, 12100}}},
        Case{"ASlowAnswerUnderTheLimit", 20000, 2000, 5500, -1, -1, {}, -1, -1, {}},
        Case{"CrashedWhileReportedSaysNothingMore", 30000, 1000, 9000, 9000, 12000, {}, -1, -1, {{false, 6000, 8000}}},
        Case{"ClosedPageNeverReports", 30000, 1000, -1, 2000, -1, {}, -1, -1, {}},
        Case{"DeadRenderersRepliesDoNotCount", 30000, 1000, 20000, 3000, 4000, {}, -1, -1,
             {{false, 9000, 11000}, {true, 20000, 20100}}},
        Case{"EngineVerdictStartsAndEndsTheCount", 20000, 2500, 12000, -1, -1, {{2500, false}, {12000, true}}, -1, -1,
             {{false, 7500, 8000}, {true, 12000, 12000}}},
        Case{"LostQuestionsAreAskedAgainUnderTheLimit", 20000, -1, -1, -1, -1, {}, 1000, 4500, {}},
        Case{"QuestionsLostPastTheLimitCount", 20000, -1, -1, -1, -1, {}, 1000, 9000,
             {{false, 6000, 7000}, {true, 9000, 10100}}},
        Case{"EngineVerdictOfADeadPageIsIgnored", 20000, -1, -1, 1000, -1, {{2000, false}}, -1, -1, {}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(HangWatchSeconds, DecimalSecondsWithOneDigit) {
  EXPECT_EQ(L"5.0", pagecore::SecondsText(5000ms));
  EXPECT_EQ(L"12.3", pagecore::SecondsText(12345ms));
  EXPECT_EQ(L"0", pagecore::SecondsText(-5ms));
}

}  // namespace

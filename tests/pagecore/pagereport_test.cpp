// The page core's navigation report on a scripted page thread: what the host is told, in
// which order, for every stage an engine reports, and the rate gates and the load
// time-out on a clock the test moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/pagereport.h"
#include "components/pagecore/tunables.h"
#include "doubles/fakepagethread.h"

namespace {

using namespace std::chrono_literals;

// One thing an engine tells the core, or time passing.
struct Step {
  enum Kind { Begin, Redirect, Commit, Complete, Finish, Error, Same, Title, Icon, Status, History, Blocked, Wait };
  Step(Kind kind, std::wstring text = L"", int number = 0) : kind(kind), text(std::move(text)), number(number) {}
  Kind kind;
  std::wstring text;
  int number;  // Error: the load id (0: none); Wait: milliseconds; History: back*2+forward
};

struct Script {
  const char* name;
  std::vector<Step> steps;
  // Each event in order: "KEY" or "KEY part-of-its-value".
  std::vector<std::wstring> expected;
  int stops = 0;
};

const std::wstring kA = L"http://a.test/one", kB = L"http://b.test/two";

void Play(const Step& step, pagecore::CPageReport& report, FakePageThread& thread) {
  switch (step.kind) {
    case Step::Begin: report.Begin(step.text); break;
    case Step::Redirect: report.Redirected(step.text); break;
    case Step::Commit: report.Commit(step.text); break;
    case Step::Complete: report.Complete(); break;
    case Step::Finish: report.Finish(); break;
    case Step::Error:
      report.Error(404, "HTTP 404", report.LoadUrl(), step.number ? std::to_string(step.number) : "");
      break;
    case Step::Same: report.SameDocument(step.text); break;
    case Step::Title: report.OfferTitle(step.text); break;
    case Step::Icon: report.OfferIcon(step.text); break;
    case Step::Status: report.OfferStatus(step.text); break;
    case Step::History: report.BackForward(step.number & 2, step.number & 1); break;
    case Step::Blocked: report.CountBlocked(); break;
    case Step::Wait: thread.Advance(std::chrono::milliseconds(step.number)); break;
  }
}

class PageReportTest : public ::testing::TestWithParam<Script> {};

TEST_P(PageReportTest, ReportsWhatTheHostMustHearInOrder) {
  const Script& script = GetParam();
  FakePageThread thread;
  pagecore::CPageReport report(thread.Hooks(10s));
  for (const Step& step : script.steps) Play(step, report, thread);
  const std::vector<std::wstring> lines = thread.Lines();
  std::wstring all;
  for (const std::wstring& line : lines) all += line + L"\n";
  ASSERT_EQ(lines.size(), script.expected.size()) << std::string(all.begin(), all.end());
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring& want = script.expected[i];
    const size_t space = want.find(L' ');
    const std::wstring key = want.substr(0, space);
    EXPECT_EQ(lines[i].substr(0, lines[i].find(L' ')), key) << "event " << i << "\n" << std::string(all.begin(), all.end());
    if (space != std::wstring::npos) {
      EXPECT_NE(lines[i].find(want.substr(space + 1)), std::wstring::npos)
          << "event " << i << ": " << std::string(lines[i].begin(), lines[i].end());
    }
  }
  EXPECT_EQ(thread.Stops(), script.stops);
}

void PrintTo(const Script& script, std::ostream* out) { *out << script.name; }

// A document without a title of its own is named by its address.
const std::vector<std::wstring> kLoadOfA = {
    L"BEFORENAVIGATE URL=" + kA, L"PROGRESSCHANGE PERCENT=0", L"NAVIGATECOMPLETE URL=" + kA, L"PROGRESSCHANGE",
    L"TITLECHANGE TITLE=" + kA,  L"PROGRESSCHANGE",           L"DOCUMENTCOMPLETE URL=" + kA};

std::vector<std::wstring> Then(std::vector<std::wstring> first, const std::vector<std::wstring>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

const Script kScripts[] = {
    {"WholeLoadNamesThePageByItsAddressAndTheSitesIcon",
     {{Step::Begin, kA}, {Step::Commit, kA}, {Step::Complete}},
     kLoadOfA},
    {"CommitWithoutABeginBeginsTheLoad", {{Step::Commit, kA}, {Step::Complete}}, kLoadOfA},
    {"DocumentCompleteIsToldOncePerDocument",
     {{Step::Begin, kA}, {Step::Commit, kA}, {Step::Complete}, {Step::Complete}},
     kLoadOfA},
    {"StoppedLoadTellsTheOldTitleAndIconAgain",
     {{Step::Begin, kA}, {Step::Commit, kA}, {Step::Complete}, {Step::Icon, L""}, {Step::Begin, kB}, {Step::Finish}},
     Then(kLoadOfA, {L"ICONCHANGE ICOURL=http://a.test/favicon.ico", L"BEFORENAVIGATE URL=" + kB, L"PROGRESSCHANGE",
                     L"PROGRESSCHANGE", L"TITLECHANGE TITLE=" + kA, L"ICONCHANGE ICOURL=http://a.test/favicon.ico"})},
    {"LoadThatNeverEndsFailsOnceAndStopsTheEngine",
     {{Step::Begin, kA}, {Step::Wait, L"", 10000}, {Step::Wait, L"", 60000}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATEERROR ERROR=net::ERR_TIMED_OUT", L"PROGRESSCHANGE"},
     1},
    {"LoadThatEndsInTimeHasNoTimeOut",
     {{Step::Begin, kA}, {Step::Commit, kA}, {Step::Complete}, {Step::Wait, L"", 20000}},
     kLoadOfA},
    {"RedirectedLoadTimesOutUnderItsNewAddress",
     {{Step::Begin, kA}, {Step::Redirect, kB}, {Step::Wait, L"", 10000}},
     {L"BEFORENAVIGATE URL=" + kA, L"PROGRESSCHANGE", L"NAVIGATEERROR URL=" + kB, L"PROGRESSCHANGE"},
     1},
    {"AFailureIsToldOncePerLoad",
     {{Step::Begin, kA}, {Step::Error, L"", 7}, {Step::Error, L"", 7}, {Step::Error, L"", 8}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATEERROR STATUS=", L"NAVIGATEERROR URL=" + kA}},
    {"SameDocumentNavigationKeepsTheTitleAndMovesTheAddress",
     {{Step::Commit, kA}, {Step::Title, L"Alpha"}, {Step::Complete}, {Step::Same, kA + L"#x"}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"TITLECHANGE TITLE=Alpha",
      L"PROGRESSCHANGE", L"DOCUMENTCOMPLETE", L"NAVIGATECOMPLETE URL=" + kA + L"#x",
      L"TITLECHANGE URL=" + kA + L"#x"}},
    {"TitlesFasterThanTheGapArriveAsTheNewestOnly",
     {{Step::Commit, kA},
      {Step::Title, L"one"},
      {Step::Title, L"two"},
      {Step::Title, L"three"},
      {Step::Wait, L"", static_cast<int>(pagecore::kPageValueGap.count())}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"TITLECHANGE TITLE=one",
      L"TITLECHANGE TITLE=three"}},
    {"ANewDocumentVoidsTheTitleWaitingFromTheOldOne",
     {{Step::Commit, kA},
      {Step::Title, L"one"},
      {Step::Title, L"stale"},
      {Step::Begin, kB},
      {Step::Commit, kB},
      {Step::Title, L"fresh"},
      {Step::Wait, L"", 1000}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"TITLECHANGE TITLE=one",
      L"BEFORENAVIGATE URL=" + kB, L"PROGRESSCHANGE", L"NAVIGATECOMPLETE URL=" + kB, L"PROGRESSCHANGE",
      L"TITLECHANGE TITLE=fresh"}},
    {"DeclaredIconsAreGatedAndARepeatIsNotSentAgain",
     {{Step::Commit, kA},
      {Step::Icon, L"http://a.test/1.png"},
      {Step::Icon, L"http://a.test/2.png"},
      {Step::Wait, L"", 300},
      {Step::Icon, L"http://a.test/2.png"},
      {Step::Wait, L"", 300}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"ICONCHANGE ICOURL=http://a.test/1.png",
      L"ICONCHANGE ICOURL=http://a.test/2.png"}},
    {"StatusTextIsGatedAndARepeatIsDropped",
     {{Step::Status, L"s1"}, {Step::Status, L"s1"}, {Step::Status, L"s2"}, {Step::Status, L"s3"}, {Step::Wait, L"", 250}},
     {L"STATEXTCHANGED STATTEXT=s1", L"STATEXTCHANGED STATTEXT=s3"}},
    {"BlockedCountsAreGatedLikeTitlesAndTheNewestFollows",
     {{Step::Commit, kA}, {Step::Blocked}, {Step::Blocked}, {Step::Blocked}, {Step::Wait, L"", 250}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"BLOCKEDCOUNT COUNT=1|URL=" + kA,
      L"BLOCKEDCOUNT COUNT=3|URL=" + kA}},
    {"ANewDocumentCountsFromNoneAndVoidsTheWaitingCount",
     {{Step::Commit, kA}, {Step::Blocked}, {Step::Blocked}, {Step::Commit, kB}, {Step::Blocked}, {Step::Wait, L"", 1000}},
     {L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"NAVIGATECOMPLETE", L"PROGRESSCHANGE", L"BLOCKEDCOUNT COUNT=1",
      L"BLOCKEDCOUNT COUNT=0|URL=" + kB, L"NAVIGATECOMPLETE URL=" + kB, L"BLOCKEDCOUNT COUNT=1|URL=" + kB}},
    {"NoTitleBeforeADocumentCommits", {{Step::Title, L"early"}, {Step::Wait, L"", 1000}}, {}},
    {"BackAndForwardAreToldWhenTheyChange",
     {{Step::History, L"", 0}, {Step::History, L"", 0}, {Step::History, L"", 2}, {Step::History, L"", 1}},
     {L"BACKFORWARDSTATECHANGE STATE=FALSE", L"GOFORWARDSTATECHANGE STATE=FALSE", L"BACKFORWARDSTATECHANGE STATE=TRUE",
      L"BACKFORWARDSTATECHANGE STATE=FALSE", L"GOFORWARDSTATECHANGE STATE=TRUE"}},
};

INSTANTIATE_TEST_SUITE_P(Scripts, PageReportTest, ::testing::ValuesIn(kScripts),
                         [](const ::testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

TEST(PageReportLimitsTest, TitlesAndStatusTextsAreCutToTheirLimits) {
  FakePageThread thread;
  pagecore::CPageReport report(thread.Hooks());
  report.Commit(kA);
  report.OfferTitle(std::wstring(5000, L't'));
  report.OfferStatus(std::wstring(70000, L's'));
  const auto& events = thread.Events();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[4].value.size(), std::wstring(L"TITLE=|URL=" + kA + L"\n").size() + 4096);
  EXPECT_EQ(events[5].value.size(), std::wstring(L"STATTEXT=\n").size() + 65536);
}

TEST(DefaultIconTest, OnlyWebPagesHaveADefaultIcon) {
  EXPECT_EQ(pagecore::DefaultIcon(L"HTTPS://Host:8080/a/b?c#d"), L"HTTPS://Host:8080/favicon.ico");
  EXPECT_EQ(pagecore::DefaultIcon(L"http://h"), L"http://h/favicon.ico");
  EXPECT_EQ(pagecore::DefaultIcon(L"about:blank"), L"");
  EXPECT_EQ(pagecore::DefaultIcon(L"file:///tmp/x.html"), L"");
  EXPECT_EQ(pagecore::DefaultIcon(L""), L"");
}

}  // namespace

// What a page keeps for the host whatever engine shows it: the named values (text size,
// travel logs) and the windows it opened, and whether a window may open at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/openedwindows.h"
#include "components/pagecore/pagedata.h"

namespace {

using namespace std::chrono_literals;

std::wstring Got(pagecore::CPageData& data, const wchar_t* name) {
  wchar_t* value = nullptr;
  if (data.Get("page", name, &value) != S_OK) return L"(refused)";
  std::wstring text = value;
  EXPECT_TRUE(data.Free(value));
  return text;
}

// ---- named values

struct SetCase {
  const char* name;
  const wchar_t* key;
  const wchar_t* value;
  HRESULT result;
  const wchar_t* sizeAfter;  // GetData("font.size") afterwards
};

void PrintTo(const SetCase& c, std::ostream* out) { *out << c.name; }

class PageDataSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(PageDataSetTest, OnlyATextSizeFromZeroToFourIsTaken) {
  const SetCase& c = GetParam();
  pagecore::CPageData data;
  uint32_t size = 99;
  const HRESULT result = pagecore::CPageData::ReadSetData("page", c.key, c.value, &size);
  EXPECT_EQ(result, c.result);
  if (result == S_OK) data.SetFontSize(size);
  EXPECT_EQ(Got(data, L"font.size"), c.sizeAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, PageDataSetTest,
                         ::testing::Values(SetCase{"Smallest", L"font.size", L"0", S_OK, L"0"},
                                           SetCase{"Largest", L"font.size", L"4", S_OK, L"4"},
                                           SetCase{"TooLarge", L"font.size", L"5", E_INVALIDARG, L"2"},
                                           SetCase{"NotANumber", L"font.size", L"big", E_INVALIDARG, L"2"},
                                           SetCase{"NoValue", L"font.size", nullptr, E_INVALIDARG, L"2"},
                                           SetCase{"UnknownName", L"zoom", L"1", E_INVALIDARG, L"2"},
                                           SetCase{"NoName", nullptr, L"1", E_INVALIDARG, L"2"},
                                           SetCase{"TravelLogsAreReadOnly", L"TRAVELLOG_BACK", L"1",
                                                   E_INVALIDARG, L"2"}),
                         [](const ::testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

TEST(PageDataTest, TravelLogsFollowTheHistoryTheEngineLastTold) {
  pagecore::CPageData data;
  EXPECT_EQ(Got(data, L"TRAVELLOG_BACK"), L"");
  EXPECT_FALSE(data.CanGoBack());
  webpage::NavigationHistory history;
  history.entries = {{L"http://a.test/", L"A", 1}, {L"http://b.test/", L"", 2}, {L"http://c.test/", L"C", 3}};
  history.current = 1;
  data.SetHistory(history);
  EXPECT_EQ(Got(data, L"TRAVELLOG_BACK"), L"0\x02http://a.test/\x01" L"A");
  EXPECT_EQ(Got(data, L"TRAVELLOG_FORE"), L"0\x02http://c.test/\x01" L"C");
  EXPECT_TRUE(data.CanGoBack());
  EXPECT_TRUE(data.CanGoForward());
  history.current = 2;
  data.SetHistory(history);
  EXPECT_FALSE(data.CanGoForward());
  // A new navigation does not touch the text size: it is the page's, not the document's.
  data.SetFontSize(4);
  data.SetHistory({});
  EXPECT_EQ(Got(data, L"font.size"), L"4");
}

TEST(PageDataTest, UnknownNamesAndForeignTextsAreRefused) {
  pagecore::CPageData data;
  wchar_t* value = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(data.Get("page", L"cookies", &value), E_INVALIDARG);
  EXPECT_EQ(value, nullptr);
  EXPECT_EQ(data.Get("page", nullptr, &value), E_INVALIDARG);
  EXPECT_EQ(data.Get("page", L"font.size", nullptr), E_POINTER);
  wchar_t foreign[] = L"2";
  EXPECT_FALSE(data.Free(foreign));
}

TEST(PageZoomTest, OnlyTwentyFiveToFiveHundredPercentOfOurOwnManagerAreAZoom) {
  for (unsigned int percent : {0u, 24u, 501u, 100000u})
    EXPECT_EQ(pagecore::CheckZoomCall("zoom", true, percent), E_INVALIDARG) << percent;
  for (unsigned int percent : {25u, 100u, 500u}) {
    EXPECT_EQ(pagecore::CheckZoomCall("zoom", true, percent), S_OK) << percent;
    EXPECT_EQ(pagecore::CheckZoomCall("zoom", false, percent), E_INVALIDARG) << "another component's manager";
  }
}

// ---- windows a page opens

struct WindowCase {
  const char* name;
  bool blockPopups;
  bool userGesture;
  bool refusedByEngine;
  int refusedBefore;  // in the same instant, of a budget of 8
  pagecore::WindowVerdict verdict;
};

void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.name; }

class OpenedWindowTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(OpenedWindowTest, AWindowOpensOrIsRefusedAndToldWithinTheBudget) {
  const WindowCase& c = GetParam();
  webpage::CEventBudget budget(8, 250ms);
  const auto now = std::chrono::steady_clock::now();
  for (int i = 0; i < c.refusedBefore; ++i) budget.Allow(now);
  pagecore::CPageReport::Document doc;
  std::vector<std::wstring> told;
  auto emit = [&told](const wchar_t* key, const webpage::KeyValues& values) {
    told.push_back(std::wstring(key) + L" " + values.at(L"URL"));
  };
  pagecore::WindowRequest request;
  request.url = L"http://pop.test/";
  request.userGesture = c.userGesture;
  request.refusedByEngine = c.refusedByEngine;
  EXPECT_EQ(pagecore::JudgeOpenedWindow(request, c.blockPopups, budget, doc, "page", emit), c.verdict);
  const bool toldRefusal = c.verdict == pagecore::WindowVerdict::Refused;
  EXPECT_EQ(told, toldRefusal ? std::vector<std::wstring>{L"POPBLOCK http://pop.test/"} : std::vector<std::wstring>{});
  EXPECT_EQ(doc.popupsDroppedLogged, c.verdict == pagecore::WindowVerdict::Dropped);
}

using V = pagecore::WindowVerdict;
INSTANTIATE_TEST_SUITE_P(
    Cases, OpenedWindowTest,
    ::testing::Values(WindowCase{"AClickOpensAWindow", true, true, false, 0, V::Open},
                      WindowCase{"AScriptAloneIsRefused", true, false, false, 0, V::Refused},
                      WindowCase{"WithoutBlockingAScriptOpensOne", false, false, false, 0, V::Open},
                      WindowCase{"TheEnginesOwnBlockerIsFollowed", false, true, true, 0, V::Refused},
                      WindowCase{"RefusalsBeyondTheBudgetAreLeftOut", true, false, false, 8, V::Dropped},
                      WindowCase{"AClickIsNotCountedAgainstTheBudget", true, true, false, 8, V::Open}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

TEST(OpenedWindowsTest, WindowsWaitOldestFirstUntilAdoptedGoneOrClosedWithTheirOpener) {
  pagecore::COpenedWindows<std::string> windows;
  windows.Add("one", L"http://one.test/");
  windows.Add("two", L"");
  windows.Add("three", L"http://three.test/");
  windows.SetUrl("two", L"http://two.test/");
  windows.Remove("two");  // it closed itself before the host took it
  windows.Remove("unknown");
  std::string taken;
  ASSERT_TRUE(windows.TakeOldest(&taken));
  EXPECT_EQ(taken, "one");
  windows.Add("four", L"");
  EXPECT_EQ(windows.TakeAll(), (std::deque<std::string>{"three", "four"}));
  EXPECT_FALSE(windows.TakeOldest(&taken));
  EXPECT_EQ(windows.Count(), 0u);
}

}  // namespace

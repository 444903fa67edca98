// Link hints in the page core: the labels (one length, none the beginning of another,
// the shortest that gives enough), the keys typed against them, and the driver between
// the host's orders and the engine's scripts, on a faked engine.
#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "components/pagecore/hints.h"
#include "components/webpage/orders.h"
#include "doubles/fakepageactions.h"

namespace {

using Kind = pagecore::CHintSession::Step::Kind;

struct Case {
  size_t count;
  size_t length;      // of every label
  const wchar_t* keys;
  Kind kind;          // after the last key
  size_t value;       // Follow: the index; Narrowed: the labels left
};

void PrintTo(const Case& c, std::ostream* out) {
  const std::wstring keys = c.keys;
  *out << c.count << " labels, keys \"" << std::string(keys.begin(), keys.end()) << "\"";
}

class HintLabelsTest : public ::testing::TestWithParam<Case> {};

TEST_P(HintLabelsTest, LabelsAreEqualPrefixFreeAndNarrowAsKeysAreTyped) {
  const Case& c = GetParam();
  const std::vector<std::wstring> labels = pagecore::HintLabels(c.count);
  ASSERT_EQ(labels.size(), c.count);
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i].size(), c.length) << i;
    EXPECT_EQ(labels[i].find_first_not_of(pagecore::kHintAlphabet), std::wstring::npos) << i;
  }
  // Equal lengths and distinct labels: none is the beginning of another.
  EXPECT_EQ(std::set<std::wstring>(labels.begin(), labels.end()).size(), labels.size());
  pagecore::CHintSession session;
  session.Start(labels);
  pagecore::CHintSession::Step step;
  for (const wchar_t* key = c.keys; *key; ++key) step = session.Key(*key);
  EXPECT_EQ(step.kind, c.kind);
  if (c.kind == Kind::Follow) {
    EXPECT_EQ(step.index, c.value);
  } else if (c.kind == Kind::Narrowed) {
    EXPECT_EQ(step.remaining, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HintLabelsTest,
    ::testing::Values(Case{0, 0, L"a", Kind::Leave, 0},           // nothing to label
                      Case{1, 1, L"a", Kind::Follow, 0},          // one letter while they suffice
                      Case{4, 1, L"F", Kind::Follow, 3},          // letters match whatever their case
                      Case{9, 1, L"l", Kind::Follow, 8},          // the whole home row
                      Case{9, 1, L"z", Kind::Leave, 0},           // a key of no label
                      Case{10, 2, L"a", Kind::Narrowed, 9},       // one more: two letters each
                      Case{10, 2, L"s", Kind::Narrowed, 1},       // "sa" is the tenth
                      Case{10, 2, L"sa", Kind::Follow, 9},
                      Case{10, 2, L"ss", Kind::Leave, 0},         // "ss" was never made
                      Case{81, 2, L"ll", Kind::Follow, 80},
                      Case{82, 3, L"aa", Kind::Narrowed, 9},
                      Case{82, 3, L"saa", Kind::Follow, 81},
                      Case{2000, 4, L"sl", Kind::Narrowed, 81},
                      Case{2000, 4, L"dl", Kind::Leave, 0}));  // "dl" is past the last label

// The engine's answers as the driver gets them, and what it makes of them.
class HintDriverTest : public ::testing::Test {
 protected:
  void Order(const wchar_t* text) {
    webpage::Order order;
    std::string error;
    ASSERT_TRUE(webpage::ParseOrder(text, &order, &error)) << error;
    pagecore::CarryOut(order, pagecore::OrderSettings{}, page);
  }
  std::vector<std::wstring> Events() {
    std::vector<std::wstring> events;
    for (const std::wstring& call : page.calls)
      if (call.rfind(L"event HINTS", 0) == 0 || call.rfind(L"OpenWindow", 0) == 0) events.push_back(call);
    page.calls.clear();
    return events;
  }
  FakePageActions page;
};

TEST_F(HintDriverTest, ShowTypeFollowEditLeaveAndBadAnswers) {
  // Keys typed before the labels exist wait for them; the label "sa" of ten opens its
  // link in a new background tab.
  Order(L"CMD=SHOWHINTS\nNEW=TRUE\nKEY=F\n");
  Order(L"CMD=HINTKEY\nKEY=s\n");
  EXPECT_TRUE(Events().empty());
  ASSERT_TRUE(page.AnswerScript(R"({"count":10})"));
  Order(L"CMD=HINTKEY\nKEY=a\n");
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=a TYPED=", L"event HINTS COUNT=1 TYPED=s",
                                                 L"event HINTS COUNT=0 TYPED=sa"}));
  ASSERT_TRUE(page.AnswerScript("null"));                        // the labels drawn
  ASSERT_TRUE(page.AnswerScript(R"({"done":true})"));            // filtered
  ASSERT_TRUE(page.AnswerScript(R"({"url":"http://a.test/ten"})"));  // followed
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"OpenWindow http://a.test/ten background"}));

  // Followed in the page itself, an address in the answer opens nothing.
  Order(L"CMD=SHOWHINTS\n");
  ASSERT_TRUE(page.AnswerScript(R"({"count":2})"));
  Order(L"CMD=HINTKEY\nKEY=s\n");
  page.AnswerScript("null");
  ASSERT_TRUE(page.AnswerScript(R"({"url":"http://a.test/forged"})"));
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=2 TYPED=", L"event HINTS COUNT=0 TYPED=s"}));

  // A field had the keyboard: the key went there, no hint mode; a later key is answered
  // that hint mode is over.
  Order(L"CMD=SHOWHINTS\nKEY=f\n");
  ASSERT_TRUE(page.AnswerScript(R"({"editing":true,"typed":true})"));
  Order(L"CMD=HINTKEY\nKEY=a\n");
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=0 EDITING=TRUE TYPED=",
                                                 L"event HINTS COUNT=0 TYPED="}));

  // Answers that are no count, or too large a one, and a failed script end hint mode.
  for (const char* bad : {"not json", R"({"count":-3})", R"({"count":"4"})", R"({"count":1e9})"}) {
    Order(L"CMD=SHOWHINTS\n");
    ASSERT_TRUE(page.AnswerScript(bad));
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=0 TYPED="})) << bad;
  }
  Order(L"CMD=SHOWHINTS\n");
  ASSERT_TRUE(page.AnswerScript("", "the renderer is gone"));
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=0 TYPED="}));

  // Shown again before the first answer: the older answer is dropped. Then Esc.
  Order(L"CMD=SHOWHINTS\n");
  Order(L"CMD=SHOWHINTS\n");
  ASSERT_TRUE(page.AnswerScript(R"({"count":3})"));
  ASSERT_TRUE(page.AnswerScript(R"({"count":5})"));
  Order(L"CMD=HIDEHINTS\n");
  Order(L"CMD=HIDEHINTS\n");
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=5 TYPED=", L"event HINTS COUNT=0 TYPED="}));

  // The document went away under the labels (a navigation): the filter's answer ends them.
  while (page.AnswerScript("null")) {
  }
  Order(L"CMD=SHOWHINTS\n");
  ASSERT_TRUE(page.AnswerScript(R"({"count":12})"));
  Order(L"CMD=HINTKEY\nKEY=a\n");
  page.AnswerScript("null");
  ASSERT_TRUE(page.AnswerScript(R"({"gone":true})"));
  EXPECT_EQ(Events(), (std::vector<std::wstring>{L"event HINTS COUNT=c TYPED=", L"event HINTS COUNT=9 TYPED=a",
                                                 L"event HINTS COUNT=0 TYPED=a"}));
}

TEST(HintOrders, ParametersAreChecked) {
  webpage::Order order;
  std::string error;
  for (const wchar_t* bad : {L"CMD=HINTKEY\n", L"CMD=HINTKEY\nKEY=ab\n", L"CMD=SHOWHINTS\nNEW=yes\n",
                             L"CMD=SHOWHINTS\nKEY=ff\n"}) {
    EXPECT_FALSE(webpage::ParseOrder(bad, &order, &error)) << std::string(bad, bad + std::wcslen(bad));
  }
}

}  // namespace

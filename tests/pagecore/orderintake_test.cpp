// How every engine takes the host's orders on the caller's thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/pagecore/orderintake.h"
#include "platform/text.h"

namespace {

struct Case {
  const wchar_t* text;
  bool open;
  HRESULT result;
  // The events told: none, or "NAVIGATEERROR" for a bad address to an open page.
  std::vector<std::wstring> told;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << (c.text ? platform::WideToUtf8(c.text) : std::string("(no text)")) << (c.open ? " (open)" : "");
}

class OrderIntakeTest : public ::testing::TestWithParam<Case> {};

TEST_P(OrderIntakeTest, TakesGoodOrdersAndRefusesBadOnesVisibly) {
  const Case& c = GetParam();
  std::vector<std::wstring> told;
  auto emit = [&told](const wchar_t* key, const webpage::KeyValues& values) {
    told.push_back(key);
    EXPECT_EQ(values.at(L"STATUS"), L"0");
    EXPECT_FALSE(values.at(L"ERROR").empty());
  };
  webpage::Order order;
  EXPECT_EQ(pagecore::TakeOrder(c.text, c.open, "page", emit, &order), c.result);
  EXPECT_EQ(told, c.told);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrderIntakeTest,
    ::testing::Values(Case{L"CMD=NAVIGATE\nURL=http://a.test/\n", true, S_OK, {}},
                      Case{L"CMD=STOP\n", false, S_OK, {}},
                      Case{nullptr, true, E_POINTER, {}},
                      Case{L"", true, E_INVALIDARG, {}},
                      Case{L"CMD=NOSUCHORDER\n", true, E_INVALIDARG, {}},
                      Case{L"CMD=NAVIGATE\n", true, E_INVALIDARG, {L"NAVIGATEERROR"}},
                      Case{L"CMD=NAVIGATE\n", false, E_INVALIDARG, {}},
                      Case{L"CMD=RECOVERWND\n", true, E_INVALIDARG, {L"NAVIGATEERROR"}}));

}  // namespace

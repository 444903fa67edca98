// The index must never change an answer: on EasyList and EasyPrivacy and the
// benchmark's address set, Match equals the plain loop over all rules, verdict and
// deciding rule alike.
#include <gtest/gtest.h>

#include "tests/contentfilter/easylist_fixture.h"

namespace {

using contentfilter::Verdict;

// The plain loop costs about 2 ms a request; an instrumented build checks every fourth
// request of the set, so that the check stays a few seconds there too.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStride = 4;
#else
constexpr size_t kStride = 1;
#endif

TEST_F(EasyListTest, IndexAnswersAsThePlainLoopOverAllRules) {
  size_t blocked = 0, allowed = 0, checked = 0;
  for (size_t i = 0; i < s_requests.size(); i += kStride) {
    const auto& r = s_requests[i];
    ++checked;
    const auto indexed = s_set->Match(r.url, r.document, r.type);
    const auto scanned = s_set->MatchByScan(r.url, r.document, r.type);
    ASSERT_EQ(indexed.verdict, scanned.verdict) << r.url << " on " << r.document << ": " << scanned.rule;
    ASSERT_EQ(indexed.rule, scanned.rule) << r.url;
    blocked += indexed.verdict == Verdict::Blocked;
    allowed += indexed.verdict == Verdict::AllowedByException;
  }
  // The set is a real test only if a good share of it matches rules.
  EXPECT_GT(blocked, checked / 4);
  EXPECT_GT(allowed, 0u);
  const auto& stats = s_set->Stats();
  EXPECT_GT(stats.blockingRules, 30000u);
  EXPECT_GT(stats.hidingRules, 10000u);
}

}  // namespace

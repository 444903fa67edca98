// The index must never change an answer: on EasyList and EasyPrivacy and the
// benchmark's address set, Match equals the plain loop over all rules, verdict and
// deciding rule alike; and so it does from several threads sharing one set.
#include <gtest/gtest.h>

#include <thread>

#include "bench/contentfilter/request_corpus.h"
#include "components/contentfilter/contentfilter.h"

namespace {

using contentfilter::Verdict;

class EasyListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto lists = contentfilter::InstalledEasyLists();
    if (lists.size() < 2) return;
    contentfilter::FilterSetBuilder builder;
    for (const auto& path : lists) builder.AddListFile(path);
    s_set = builder.Build();
    s_requests = contentfilter_bench::BuildRequestCorpus(lists, 6000);
  }
  static void TearDownTestSuite() {
    s_set.reset();
    s_requests.clear();
  }
  void SetUp() override {
    if (!s_set) GTEST_SKIP() << "EasyList and EasyPrivacy are not installed (webext-ublock-origin-firefox)";
  }
  static std::shared_ptr<const contentfilter::FilterSet> s_set;
  static std::vector<contentfilter_bench::CorpusRequest> s_requests;
};
std::shared_ptr<const contentfilter::FilterSet> EasyListTest::s_set;
std::vector<contentfilter_bench::CorpusRequest> EasyListTest::s_requests;

TEST_F(EasyListTest, IndexAnswersAsThePlainLoopOverAllRules) {
  size_t blocked = 0, allowed = 0;
  for (const auto& r : s_requests) {
    const auto indexed = s_set->Match(r.url, r.document, r.type);
    const auto scanned = s_set->MatchByScan(r.url, r.document, r.type);
    ASSERT_EQ(indexed.verdict, scanned.verdict) << r.url << " on " << r.document << ": " << scanned.rule;
    ASSERT_EQ(indexed.rule, scanned.rule) << r.url;
    blocked += indexed.verdict == Verdict::Blocked;
    allowed += indexed.verdict == Verdict::AllowedByException;
  }
  // The set is a real test only if a good share of it matches rules.
  EXPECT_GT(blocked, s_requests.size() / 4);
  EXPECT_GT(allowed, 0u);
  const auto& stats = s_set->Stats();
  EXPECT_GT(stats.blockingRules, 30000u);
  EXPECT_GT(stats.hidingRules, 10000u);
}

TEST_F(EasyListTest, ThreadsSharingOneSetAgree) {
  std::vector<Verdict> expected;
  for (const auto& r : s_requests) expected.push_back(s_set->Match(r.url, r.document, r.type).verdict);
  std::vector<size_t> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = t; i < s_requests.size(); i += 2) {
        const auto& r = s_requests[i];
        mismatches[t] += s_set->Match(r.url, r.document, r.type).verdict != expected[i];
        if (i % 500 == 0) mismatches[t] += s_set->HiddenSelectors(r.document).empty();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t m : mismatches) EXPECT_EQ(m, 0u);
}

}  // namespace

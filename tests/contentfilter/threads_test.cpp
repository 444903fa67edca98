// Threads sharing one immutable set match without a lock and agree with one thread (run
// under ThreadSanitizer too).
#include <thread>

#include "tests/contentfilter/easylist_fixture.h"

namespace {

using contentfilter::Verdict;

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

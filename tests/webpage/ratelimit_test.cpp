// What a page may make the engine send: the newest value at most every gap, and a budget
// of counted events.
#include "components/webpage/ratelimit.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

using namespace std::chrono_literals;
using Decision = CLatestValueGate::Decision;

TEST(WebpageRateLimit, TheFirstValuePassesAndLaterOnesWaitForTheGap) {
  CLatestValueGate gate(250ms);
  SteadyTime t0 = std::chrono::steady_clock::now();
  std::chrono::milliseconds delay{0};
  uint64_t ticket = 0;
  EXPECT_EQ(Decision::SendNow, gate.Offer(t0, &delay, &ticket));
  EXPECT_EQ(Decision::ScheduleFlush, gate.Offer(t0 + 10ms, &delay, &ticket));
  EXPECT_EQ(240ms, delay);
  // Thousands more before the flush: all kept back, the newest is read at the flush.
  for (int i = 0; i < 10000; ++i) EXPECT_EQ(Decision::Waiting, gate.Offer(t0 + 20ms, &delay, &ticket));
  EXPECT_TRUE(gate.Flush(t0 + 250ms, ticket));
  EXPECT_FALSE(gate.Flush(t0 + 250ms, ticket)) << "one flush per scheduling";
  EXPECT_EQ(Decision::ScheduleFlush, gate.Offer(t0 + 260ms, &delay, &ticket));
  EXPECT_EQ(240ms, delay);
  EXPECT_TRUE(gate.Flush(t0 + 500ms, ticket));
  EXPECT_EQ(Decision::SendNow, gate.Offer(t0 + 800ms, &delay, &ticket)) << "a quiet gap lets the next pass at once";
}

TEST(WebpageRateLimit, ResetVoidsTheWaitingFlush) {
  CLatestValueGate gate(250ms);
  SteadyTime t0 = std::chrono::steady_clock::now();
  std::chrono::milliseconds delay{0};
  uint64_t old = 0, ticket = 0;
  gate.Offer(t0, &delay, &old);
  ASSERT_EQ(Decision::ScheduleFlush, gate.Offer(t0 + 1ms, &delay, &old));
  gate.Reset();  // a new document
  EXPECT_EQ(Decision::SendNow, gate.Offer(t0 + 2ms, &delay, &ticket));
  EXPECT_FALSE(gate.Flush(t0 + 250ms, old)) << "the old document's flush is void";
  ASSERT_EQ(Decision::ScheduleFlush, gate.Offer(t0 + 3ms, &delay, &ticket));
  EXPECT_NE(old, ticket);
  EXPECT_TRUE(gate.Flush(t0 + 252ms, ticket));
}

TEST(WebpageRateLimit, TheBudgetAllowsABurstThenRefills) {
  CEventBudget budget(3, 250ms);
  SteadyTime t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(budget.Allow(t0)) << i;
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(budget.Allow(t0 + 1ms));
  EXPECT_EQ(1000u, budget.TakeDropped());
  EXPECT_EQ(0u, budget.TakeDropped());
  EXPECT_FALSE(budget.Allow(t0 + 249ms));
  EXPECT_TRUE(budget.Allow(t0 + 250ms));
  EXPECT_FALSE(budget.Allow(t0 + 251ms));
  EXPECT_TRUE(budget.Allow(t0 + 500ms));
  // A long pause refills the bucket to its size, not beyond.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(budget.Allow(t0 + 10s)) << i;
  EXPECT_FALSE(budget.Allow(t0 + 10s));
}

}  // namespace
}  // namespace webpage

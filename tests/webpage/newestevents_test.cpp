// Target info changes wait one per target: a page changing its title in a loop leaves
// one event in the engine's queue, read as the newest when its turn comes; every other
// event keeps its own place.
#include "components/webpage/newestevents.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

Json InfoChanged(const std::string& target, const std::string& title) {
  return Json{{"method", "Target.targetInfoChanged"}, {"params", {{"targetInfo", {{"targetId", target}, {"title", title}}}}}};
}

TEST(WebpageNewestEvents, OnlyTheNewestInfoOfEachTargetWaits) {
  struct Case {
    Json event;
    std::string key;
  } const cases[] = {
      {InfoChanged("A", "x"), "info:A"},
      {InfoChanged("", "x"), ""},
      {Json{{"method", "Target.targetInfoChanged"}, {"params", {{"targetInfo", "A"}}}}, ""},
      {Json{{"method", "Target.targetInfoChanged"}, {"sessionId", "S"}, {"params", {{"targetInfo", {{"targetId", "A"}}}}}}, ""},
      {Json{{"method", "Target.targetCreated"}, {"params", {{"targetInfo", {{"targetId", "A"}}}}}}, ""},
      {Json{{"method", "Page.loadEventFired"}}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.key, CNewestEvents::KeyOf(c.event)) << c.event.dump();

  CNewestEvents newest;
  EXPECT_TRUE(newest.Offer("info:A", InfoChanged("A", "1"))) << "the first asks for a take";
  for (int i = 2; i <= 1000; ++i) EXPECT_FALSE(newest.Offer("info:A", InfoChanged("A", std::to_string(i))));
  EXPECT_TRUE(newest.Offer("info:B", InfoChanged("B", "b"))) << "targets wait apart";
  Json event;
  ASSERT_TRUE(newest.Take("info:A", &event));
  EXPECT_EQ("1000", event["params"]["targetInfo"]["title"]);
  EXPECT_FALSE(newest.Take("info:A", &event)) << "taken once";
  EXPECT_TRUE(newest.Offer("info:A", InfoChanged("A", "again"))) << "after a take the next one asks again";
  ASSERT_TRUE(newest.Take("info:B", &event));
  EXPECT_EQ("b", event["params"]["targetInfo"]["title"]);
}

}  // namespace
}  // namespace webpage

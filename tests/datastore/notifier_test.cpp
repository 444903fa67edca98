// The notifier on its own: who hears a change, and what a failing sink does to the rest.
#include "components/datastore/notifier.h"

#include <future>
#include <stdexcept>

#include "store_fixture.h"

namespace dstest {
namespace {

TEST(NotifierTest, ASinkHearsOnlyChangesPostedAfterItSubscribed) {
  LogCapture log;
  datastore::CNotifier notifier{datastore::CLogger(log.Sink())};
  ASSERT_TRUE(notifier.Start());
  RecordingSink early, late;
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  bool first = true;
  early.SetReaction([&](const Note&) {
    if (!first) return;
    first = false;
    entered.set_value();
    released.wait_for(std::chrono::seconds(30));
  });
  notifier.Subscribe(L"add_favor", &early, nullptr);
  notifier.Post(L"add_favor", L"1");
  // The first change is still being delivered when the second sink comes.
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  notifier.Subscribe(L"add_favor", &late, nullptr);
  notifier.Post(L"add_favor", L"2");
  release.set_value();
  ASSERT_TRUE(early.WaitFor(2));
  ASSERT_TRUE(late.WaitFor(1));
  notifier.Stop();
  ASSERT_EQ(late.Notes().size(), 1u);
  EXPECT_EQ(late.Notes()[0].value, L"2");
  EXPECT_EQ(early.Notes()[0].value, L"1");
}

TEST(NotifierTest, AThrowingSinkIsLoggedAndOthersStillHearEveryChange) {
  LogCapture log;
  datastore::CNotifier notifier{datastore::CLogger(log.Sink())};
  ASSERT_TRUE(notifier.Start());
  RecordingSink throwing, quiet;
  throwing.SetReaction([](const Note& note) {
    if (note.value == L"1") throw std::runtime_error("sink failed");
    throw 5;
  });
  notifier.Subscribe(L"page.size", &throwing, nullptr);
  notifier.Subscribe(L"page.size", &quiet, nullptr);
  for (int i = 0; i < 3; ++i) notifier.Post(L"page.size", std::to_wstring(i));
  notifier.Stop();  // delivers everything posted first
  ASSERT_EQ(quiet.Notes().size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(quiet.Notes()[i].value, std::to_wstring(i));
  EXPECT_TRUE(log.Contains("a notification sink threw an exception"));
  // Every reference taken by the subscriptions is given back.
  EXPECT_EQ(throwing.Refs(), 1);
  EXPECT_EQ(quiet.Refs(), 1);
}

TEST(NotifierTest, NothingPostedAfterStopIsDelivered) {
  LogCapture log;
  datastore::CNotifier notifier{datastore::CLogger(log.Sink())};
  ASSERT_TRUE(notifier.Start());
  RecordingSink sink;
  notifier.Subscribe(L"del_favor", &sink, nullptr);
  notifier.Post(L"del_favor", L"1");
  notifier.Stop();
  notifier.Post(L"del_favor", L"2");
  EXPECT_EQ(sink.Notes().size(), 1u);
}

}  // namespace
}  // namespace dstest

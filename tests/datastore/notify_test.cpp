// Change notifications: the eight names, after commit, on the store's own thread, in
// commit order, to every sink, with no store lock held while a sink runs.
#include <chrono>
#include <future>

#include "store_fixture.h"

namespace dstest {
namespace {

const std::vector<std::wstring> kAllNames = {L"add_favor",          L"update_favor",
                                             L"del_favor",          L"del_favor_set",
                                             L"set_search_default", L"set_default_browser_quorla",
                                             L"insert.recover.index", L"page.size"};

class NotifyTest : public StoreTest {
 protected:
  // The store goes first: it holds references to the sinks until then.
  void TearDown() override { Close(); }
  RecordingSink sink, first, second;
};

TEST_F(NotifyTest, EveryNameArrivesInOrderOnTheStoresThread) {
  Subscribe(sink, kAllNames);
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"a", L"http://a/")), S_OK);
  ASSERT_EQ(Set(L"update_favor", L"id=1\ntitle=b\n"), S_OK);
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"c", L"http://c/")), S_OK);
  ASSERT_EQ(Set(L"del_favor_set", L"ids=2\n"), S_OK);
  ASSERT_EQ(Set(L"del_favor", L"id=1\n"), S_OK);
  ASSERT_EQ(Set(L"set_search_default", L"id=2"), S_OK);
  ASSERT_EQ(Set(L"set_default_browser_quorla", L"1"), S_OK);
  ASSERT_EQ(Set(L"save.recover.tab", L"title=t\nurl=http://t/\nuuid=abc\n"), S_OK);
  ASSERT_EQ(Set(L"page.size", L"150"), S_OK);
  // Failed commands and plain settings notify nothing.
  EXPECT_EQ(Set(L"del_favor", L"id=1\n"), S_OK);  // finds nothing to delete
  EXPECT_EQ(Set(L"page.size", L"big"), E_INVALIDARG);
  EXPECT_EQ(Set(L"defaulturl", L"http://x/"), S_OK);
  ASSERT_EQ(Set(L"add_his", L"title=t\nurl=http://h/\n"), S_OK);
  ASSERT_EQ(Set(L"page.size", L"90"), S_OK);  // the marker that ends the stream

  ASSERT_TRUE(sink.WaitFor(10));
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"add_favor", L"1"}, {L"update_favor", L"1"}, {L"add_favor", L"2"},
      {L"del_favor_set", L"2"}, {L"del_favor", L"1"}, {L"set_search_default", L"2"},
      {L"set_default_browser_quorla", L"1"}, {L"insert.recover.index", L"abc"}, {L"page.size", L"150"},
      {L"page.size", L"90"}};
  const auto notes = sink.Notes();
  ASSERT_EQ(notes.size(), expected.size());
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].name, expected[i].first) << i;
    EXPECT_EQ(notes[i].value, expected[i].second) << i;
    EXPECT_NE(notes[i].thread, std::this_thread::get_id());
  }
}

TEST_F(NotifyTest, SinksSeeTheCommittedChangeAndMayCallBackAtOnce) {
  std::vector<std::wstring> seen;
  // Runs on the notifying thread, into the store, as the library's reactions do.
  sink.SetReaction([&](const Note& note) {
    if (note.name == L"add_favor") {
      seen.push_back(Query(L"query_favor_root_url", L"type=1\npid=0\n").value_or(L"<none>"));
    } else {
      seen.push_back(Get(L"check.default.browser").value_or(L"<none>"));
    }
  });
  Subscribe(sink, {L"add_favor", L"set_default_browser_quorla"});
  ASSERT_EQ(Set(L"add_favor", Favorite(L"0", L"seen", L"http://seen/")), S_OK);
  ASSERT_EQ(Set(L"set_default_browser_quorla", L""), S_OK);
  ASSERT_TRUE(sink.WaitFor(2));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NE(seen[0].find(L"title=\"seen\""), std::wstring::npos) << Narrow(seen[0]);
  EXPECT_EQ(seen[1], L"1");
}

TEST_F(NotifyTest, ConcurrentWritersAreNotifiedInCommitOrder) {
  Close();
  datastore::DataStoreOptions fast;
  fast.durability = datastore::Durability::Normal;
  Open(fast);
  uintptr_t cookie = 0, again = 0;
  ASSERT_EQ(notifier->Subscribe(L"add_favor", &first, &cookie), S_OK);
  ASSERT_EQ(notifier->Subscribe(L"add_favor", &first, &again), S_OK);  // no second delivery
  EXPECT_EQ(cookie, again);
  ASSERT_EQ(notifier->Subscribe(L"add_favor", &second, &again), S_OK);

  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([this, w] {
      for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(Set(L"add_favor", Favorite(L"0", L"t", L"http://w" + std::to_wstring(w) + L"/" + std::to_wstring(i))),
                  S_OK);
      }
    });
  }
  for (auto& t : writers) t.join();
  ASSERT_TRUE(first.WaitFor(100));
  ASSERT_TRUE(second.WaitFor(100));
  for (RecordingSink* sink : {&first, &second}) {
    const auto notes = sink->Notes();
    ASSERT_EQ(notes.size(), 100u);
    for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i].value, std::to_wstring(i + 1));
  }
}

TEST_F(NotifyTest, SubscribeRefusesWhatTheStoreNeverSends) {
  uintptr_t cookie = 7;
  EXPECT_EQ(notifier->Subscribe(L"Add_Favor", &sink, &cookie), E_INVALIDARG);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(notifier->Subscribe(L"add_his", &sink, &cookie), E_INVALIDARG);
  EXPECT_EQ(notifier->Subscribe(nullptr, &sink, &cookie), E_INVALIDARG);
  EXPECT_EQ(notifier->Subscribe(L"page.size", nullptr, &cookie), E_POINTER);
  EXPECT_TRUE(log.Contains("Subscribe: the store sends no notification \"Add_Favor\""));
  EXPECT_EQ(sink.Refs(), 1);
}

TEST_F(NotifyTest, FinalReleaseDeliversPendingNotesAndReleasesSinks) {
  Subscribe(sink, {L"page.size"});
  EXPECT_GT(sink.Refs(), 1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Set(L"page.size", std::to_wstring(100 + i)), S_OK);
  Close();  // joins the notifying thread
  EXPECT_EQ(sink.Notes().size(), 20u);
  EXPECT_EQ(sink.Refs(), 1);
}

TEST_F(NotifyTest, FinalReleaseFromInsideASinkDoesNotDeadlock) {
  Subscribe(sink, {L"page.size"});
  std::promise<IDataAccessor*> handOver;
  std::shared_future<IDataAccessor*> last = handOver.get_future().share();
  // The sink ends up holding the last reference and drops it on the notifying thread.
  sink.SetReaction([last](const Note&) {
    if (last.wait_for(std::chrono::seconds(30)) == std::future_status::ready) last.get()->Release();
  });
  IDataAccessor* raw = store.get();
  raw->AddRef();
  ASSERT_EQ(Set(L"page.size", L"120"), S_OK);
  Close();
  handOver.set_value(raw);
  EXPECT_TRUE(sink.WaitFor(1));
  EXPECT_TRUE(sink.WaitReleased());
}

}  // namespace
}  // namespace dstest

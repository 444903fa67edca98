// Writes are queued to the store's writer thread: the order of writes and notifications
// across calling threads, a read after a write on any thread, nothing lost when the store
// is released with writes still queued, and calls made from the store's own threads.
#include <atomic>
#include <set>

#include "store_fixture.h"

namespace dstest {
namespace {

class QueuedWritesTest : public StoreTest {
 protected:
  void TearDown() override { Close(); }  // before the sinks go
  RecordingSink sink;
};

TEST_F(QueuedWritesTest, OrderOfWritesAndNotificationsHoldsAcrossThreads) {
  Subscribe(sink, {L"add_favor"});
  constexpr int kThreads = 4;
  constexpr int kEach = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int n = 0; n < kEach; ++n) {
        const std::wstring title = std::to_wstring(t) + L"-" + std::to_wstring(n);
        EXPECT_EQ(Set(L"add_favor", Favorite(L"0", title, L"http://o/")), S_OK);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(sink.WaitFor(kThreads * kEach));
  // Notifications come in commit order: ids 1, 2, 3, ... with nothing left out.
  const std::vector<Note> notes = sink.Notes();
  ASSERT_EQ(notes.size(), static_cast<size_t>(kThreads * kEach));
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i].value, std::to_wstring(i + 1)) << i;
  // Each thread's writes were committed in the order it made them.
  Xml xml(Query(L"query_favor_root_url").value());
  std::vector<int> next(kThreads, 0);
  for (TiXmlElement* e : Children(xml.root())) {
    const std::string title = Attr(e, "title");
    const int t = title[0] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << title;
    EXPECT_EQ(title, std::to_string(t) + "-" + std::to_string(next[t])) << "out of order";
    ++next[t];
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST_F(QueuedWritesTest, AReadSeesWhatAnyThreadQueuedBeforeIt) {
  // The same thread: every read follows its write at once.
  for (int n = 0; n < 30; ++n) {
    ASSERT_EQ(Set(L"page.size", std::to_wstring(n)), S_OK);
    ASSERT_EQ(Get(L"page.size"), std::to_wstring(n));
  }
  // Another thread: the writer hands each value over only after its SetData returned.
  std::mutex mutex;
  std::condition_variable cond;
  int written = -1;
  std::thread writer([&] {
    for (int n = 0; n < 30; ++n) {
      Set(L"defaulturl", L"http://v/" + std::to_wstring(n));
      Set(L"add_his", L"url=http://h/" + std::to_wstring(n) + L"\n");
      std::lock_guard<std::mutex> lock(mutex);
      written = n;
      cond.notify_all();
    }
  });
  for (int seen = -1; seen < 29;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(cond.wait_for(lock, std::chrono::seconds(30), [&] { return written > seen; }));
      seen = written;
    }
    // At least what was handed over is there (later writes may be too).
    const std::wstring url = Get(L"defaulturl").value_or(L"");
    EXPECT_GE(std::stoi(url.substr(url.rfind(L'/') + 1)), seen);
    Xml xml(Query(L"query_his", L"limit=1\n").value());
    const std::string newest = Attr(Children(xml.root()).at(0), "url");
    EXPECT_GE(std::stoi(newest.substr(newest.rfind('/') + 1)), seen);
  }
  writer.join();
}

TEST_F(QueuedWritesTest, ReleasingTheStoreWithWritesQueuedLosesNothing) {
  Subscribe(sink, {L"page.size"});
  constexpr int kWrites = 300;
  for (int n = 0; n < kWrites; ++n) {
    ASSERT_EQ(Set(L"add_his", L"title=t" + std::to_wstring(n) + L"\nurl=http://q/\n"), S_OK);
  }
  ASSERT_EQ(Set(L"page.size", L"77"), S_OK);
  Close();  // most writes are still queued here
  EXPECT_EQ(sink.Notes().size(), 1u);  // delivered before the release returned
  EXPECT_TRUE(sink.WaitReleased());
  Open();
  EXPECT_EQ(Children(Xml(Query(L"query_his").value()).root()).size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(Get(L"page.size"), L"77");
}

TEST_F(QueuedWritesTest, TheStoresOwnThreadsMayCallBack) {
  // A sink on the notifying thread writes and reads; a log sink on the writer thread reads.
  std::atomic<int> reactions{0};
  sink.SetReaction([this, &reactions](const Note& note) {
    if (note.value != L"1") return;
    EXPECT_EQ(Set(L"defaulturl", L"http://from-sink/"), S_OK);
    EXPECT_EQ(Get(L"defaulturl"), L"http://from-sink/");
    ++reactions;
  });
  Subscribe(sink, {L"page.size"});
  ASSERT_EQ(Set(L"page.size", L"1"), S_OK);
  ASSERT_EQ(Set(L"page.size", L"2"), S_OK);
  ASSERT_TRUE(sink.WaitFor(2));
  EXPECT_EQ(reactions, 1);
  Close();

  std::atomic<IDataAccessor*> self{nullptr};
  std::atomic<int> readsInSink{0};
  datastore::DataStoreOptions options;
  options.logSink = [&](datastore::LogLevel, const std::string& text) {
    IDataAccessor* store = self;
    if (!store || text.find("no favourite with id") == std::string::npos) return;
    wchar_t* value = nullptr;
    EXPECT_EQ(store->GetData(L"page.size", &value), S_OK);  // on the writer thread: no wait
    store->FreeData(value);
    ++readsInSink;
  };
  Open(options);
  self = store.get();
  ASSERT_EQ(Set(L"del_favor", L"id=5\n"), S_OK);
  Settle();
  EXPECT_EQ(readsInSink, 1);
  self = nullptr;
}

}  // namespace
}  // namespace dstest

// The saved session without a browser: the texts written to the store and read back
// from it (through a real store), the travel log reading, the coalescing writer, and the
// switch that keeps private tabs out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "components/datastore/datastore.h"
#include "host/sessionkeeper.h"
#include "host/sessionsnapshot.h"
#include "host/sessionwriter.h"
#include "platform/mutex.h"

namespace {

using std::chrono::milliseconds;

SessionTabState Tab(std::initializer_list<const wchar_t*> urls, int index, bool isPrivate = false) {
  SessionTabState tab;
  for (const wchar_t* url : urls) tab.entries.push_back({url, std::wstring(L"T ") + url});
  tab.index = index;
  tab.isPrivate = isPrivate;
  return tab;
}

// "index:url,url;..." and the selected place.
std::wstring Summary(const SessionSnapshot& s) {
  std::wstring out = L"selected " + std::to_wstring(s.selected);
  for (const SessionTabState& tab : s.tabs) {
    out += L"; " + std::to_wstring(tab.index) + L":";
    for (const SessionEntry& e : tab.entries) out += e.url + L",";
  }
  return out;
}

class StoreFolder {
 public:
  StoreFolder() {
    char folder[] = "/tmp/sessionstore_test_XXXXXX";
    m_folder = mkdtemp(folder) ? folder : "";
    datastore::DataStoreOptions options;
    options.databasePath = m_folder + "/datastore.db";
    options.logSink = [](datastore::LogLevel, const std::string&) {};
    IDataAccessor* raw = nullptr;
    if (SUCCEEDED(datastore::CreateDataStore(options, &raw))) store = raw;
  }
  ~StoreFolder() {
    if (store) store->Release();
    if (!m_folder.empty()) std::system(("rm -rf '" + m_folder + "'").c_str());
  }
  // What "get.session" gives, read back.
  SessionSnapshot Saved() {
    SessionSnapshot snapshot;
    qxdk::UTIL::com_ptr<IDataAccessorII> ii;
    qxdk::UTIL::com_ptr<IDataAccessor>(store).QueryInterface(ii);
    qxdk::UTIL::com_ptr<IDataHolder> holder;
    if (ii) ii->QueryData(L"get.session", L"", &holder);
    const wchar_t* text = nullptr;
    if (holder) holder->GetText(&text);
    ReadSessionDocument(text ? text : L"", &snapshot);
    return snapshot;
  }
  IDataAccessor* store = nullptr;

 private:
  std::string m_folder;
};

struct SnapshotCase {
  const char* name;
  SessionSnapshot written;
  std::wstring readBack;
};

void PrintTo(const SnapshotCase& c, std::ostream* out) { *out << c.name; }

class SessionTexts : public ::testing::TestWithParam<SnapshotCase> {};

// Whatever the writer is given, the store takes the text and gives back what is kept.
TEST_P(SessionTexts, ReadBackFromTheStoreAsKept) {
  StoreFolder folder;
  ASSERT_TRUE(folder.store);
  ASSERT_EQ(S_OK, folder.store->SetData(L"save.session", SessionParams(GetParam().written).c_str())) << GetParam().name;
  EXPECT_EQ(GetParam().readBack, Summary(folder.Saved())) << GetParam().name;
}

SessionTabState LongTab(int count, int index) {
  SessionTabState tab;
  for (int i = 0; i < count; ++i) tab.entries.push_back({L"http://e/" + std::to_wstring(i), L""});
  tab.index = index;
  return tab;
}

std::wstring LongSummary(int first, int count, int index) {
  std::wstring out = L"selected 0; " + std::to_wstring(index) + L":";
  for (int i = first; i < first + count; ++i) out += L"http://e/" + std::to_wstring(i) + L",";
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionTexts,
    ::testing::Values(
        SnapshotCase{"order and selection", {{Tab({L"http://a/1", L"http://a/2"}, 1), Tab({L"http://b/"}, 0)}, 1},
                     L"selected 1; 1:http://a/1,http://a/2,; 0:http://b/,"},
        SnapshotCase{"nothing open", {{}, -1}, L"selected -1"},
        // The one switch for private tabs: never written, and the selection follows.
        SnapshotCase{"a private tab is never written",
                     {{Tab({L"http://secret/"}, 0, true), Tab({L"http://b/"}, 0)}, 1}, L"selected 0; 0:http://b/,"},
        SnapshotCase{"a selected private tab leaves no selection",
                     {{Tab({L"http://secret/"}, 0, true), Tab({L"http://b/"}, 0)}, 0}, L"selected -1; 0:http://b/,"},
        SnapshotCase{"entries without address go, the index follows",
                     {{Tab({L"", L"http://a/", L"", L"http://c/"}, 3)}, 0}, L"selected 0; 1:http://a/,http://c/,"},
        SnapshotCase{"a tab with no address at all is left out", {{Tab({L""}, 0), Tab({L"http://b/"}, 0)}, 1},
                     L"selected 0; 0:http://b/,"},
        SnapshotCase{"a long history keeps the entries around the shown one", {{LongTab(120, 100)}, 0},
                     LongSummary(70, 50, 30)},
        SnapshotCase{"the start of a long history", {{LongTab(120, 3)}, 0}, LongSummary(0, 50, 3)},
        SnapshotCase{"a title that would add a line stays one",
                     {{{{{L"http://a/", L"x\ncount=9"}}, 0, false}}, 0}, L"selected 0; 0:http://a/,"}),
    [](const ::testing::TestParamInfo<SnapshotCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(SessionTexts, TravelLogsAndDocumentsThatAreNotOurs) {
  // Back index 0 is the entry just before the shown one; values are url \1 title.
  const SessionTabState tab = TabFromTravelLog(L"0\x02http://b/\x01" L"B\x03" L"1\x02http://a/", L"0\x02http://d/",
                                               L"http://c/", L"");
  ASSERT_EQ(4u, tab.entries.size());
  EXPECT_EQ(L"http://a/", tab.entries[0].url);
  EXPECT_EQ(L"http://a/", tab.entries[0].title);
  EXPECT_EQ(L"B", tab.entries[1].title);
  EXPECT_EQ(2, tab.index);
  EXPECT_EQ(L"http://c/", tab.Current().title);
  EXPECT_EQ(L"http://d/", tab.entries[3].url);
  EXPECT_TRUE(TabFromTravelLog(L"\x02\x03x", L"", L"", L"").Empty());

  SessionSnapshot snapshot;
  EXPECT_FALSE(ReadSessionDocument(L"<History/>", &snapshot));
  EXPECT_FALSE(ReadSessionDocument(L"<Session", &snapshot));
  EXPECT_TRUE(ReadSessionDocument(L"<Session selected=\"5\"><Tab index=\"9\"><Entry url=\"http://a/\"/></Tab><Tab/></Session>",
                                  &snapshot));
  EXPECT_EQ(L"selected -1; 0:http://a/,", Summary(snapshot));
  SessionTabState one;
  EXPECT_FALSE(ReadTabDocument(L"<Tab index=\"0\"/>", &one));
  EXPECT_TRUE(ReadTabDocument(L"<Tab index=\"1\"><Entry url=\"http://a/\"/><Entry url=\"http://b/\"/></Tab>", &one));
  EXPECT_EQ(L"http://b/", one.Current().url);
  EXPECT_EQ(L"", TabEntryParams(Tab({L"http://secret/"}, 0, true)));
}

// A writer over a collected state the test changes, recording every text written.
class WriterTest : public ::testing::Test {
 protected:
  void SetState(int generation) {
    platform::CMutexLock lock(m_mutex);
    m_generation = generation;
  }
  std::vector<std::wstring> Written() {
    platform::CMutexLock lock(m_mutex);
    return m_written;
  }
  std::unique_ptr<CSessionWriter> Make(milliseconds interval) {
    return std::make_unique<CSessionWriter>(
        [this] {
          platform::CMutexLock lock(m_mutex);
          SessionSnapshot s;
          s.tabs.push_back(Tab({L"http://g/"}, 0));
          s.tabs[0].entries[0].url += std::to_wstring(m_generation);
          s.selected = 0;
          return s;
        },
        [this](const std::wstring& text) {
          platform::CMutexLock lock(m_mutex);
          m_written.push_back(text);
        },
        interval);
  }
  static bool Holds(const std::wstring& text, int generation) {
    return text.find(L"http://g/" + std::to_wstring(generation) + L"\n") != std::wstring::npos;
  }

  platform::CMutex m_mutex;
  int m_generation GUARDED_BY(m_mutex) = 0;
  std::vector<std::wstring> m_written GUARDED_BY(m_mutex);
};

TEST_F(WriterTest, NothingIsWrittenUntilArmedAndABurstBecomesFewWritesEndingWithTheLast) {
  auto writer = Make(milliseconds(200));
  for (int i = 1; i <= 50; ++i) {
    SetState(i);
    writer->Changed();
  }
  writer->Flush();  // not armed: nothing to do
  EXPECT_TRUE(Written().empty());
  EXPECT_FALSE(writer->Armed());

  writer->Arm();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 51; i <= 300; ++i) {
    SetState(i);
    writer->Changed();
    if (i % 50 == 0) std::this_thread::yield();
  }
  writer->Flush();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const std::vector<std::wstring> written = Written();
  ASSERT_FALSE(written.empty());
  EXPECT_TRUE(Holds(written.back(), 300)) << "the flush wrote the last state";
  // At most one write per interval, plus the one the flush asked for.
  const auto intervals = std::chrono::duration_cast<milliseconds>(elapsed).count() / 200 + 2;
  EXPECT_LE(static_cast<long>(written.size()), intervals + 1);

  // A change without a flush is written by the thread within an interval or so.
  SetState(301);
  writer->Changed();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Holds(Written().back(), 301) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_TRUE(Holds(Written().back(), 301));

  writer->Stop();
  const size_t count = Written().size();
  SetState(302);
  writer->Changed();
  writer->Flush();
  writer->Stop();
  EXPECT_EQ(count, Written().size()) << "nothing after Stop";
}

TEST_F(WriterTest, ChangesFromManyThreadsEndWithTheLastStateWritten) {
  auto writer = Make(milliseconds(10));
  writer->Arm();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&writer] {
      for (int i = 0; i < 200; ++i) writer->Changed();
    });
  }
  for (auto& thread : threads) thread.join();
  SetState(7);
  writer->Changed();
  writer->Stop();  // flushes first
  ASSERT_FALSE(Written().empty());
  EXPECT_TRUE(Holds(Written().back(), 7));
}

// The keeper on a real store without a browser: the last run is read once, its tabs are
// found by key once, and the crash-loop rule follows the times the store keeps.
TEST(SessionKeeper, TheLastRunIsOfferedByKeyAndACrashSoonAfterARestoreIsALoop) {
  StoreFolder folder;
  ASSERT_TRUE(folder.store);
  SessionSnapshot before{{Tab({L"http://a/1", L"http://a/2"}, 0), Tab({L"http://b/"}, 0)}, 1};
  folder.store->SetData(L"save.session", SessionParams(before).c_str());
  const auto now = std::to_wstring(static_cast<long long>(std::time(nullptr)));
  folder.store->SetData(L"session.restored", now.c_str());

  struct Case {
    bool unclean;
    const wchar_t* restored;
    bool loop;
  } cases[] = {{false, now.c_str(), false}, {true, L"0", false}, {true, now.c_str(), true}, {true, L"1000", false}};
  for (const Case& c : cases) {
    folder.store->SetData(L"session.restored", c.restored);
    folder.store->SetData(L"save.session", SessionParams(before).c_str());  // sets session.saved to now
    CSessionKeeper keeper(folder.store);
    const LastRun last = keeper.ReadLastRun(c.unclean);
    EXPECT_EQ(c.loop, last.crashLoop) << c.unclean << " " << c.restored;
    ASSERT_EQ(2u, last.tabs.size());
    EXPECT_EQ(1, last.selected);
    EXPECT_EQ("http://a/1", last.tabs[0].url);
    std::wstring url;
    SessionTabState history;
    const std::wstring key(last.tabs[0].uuid.begin(), last.tabs[0].uuid.end());
    ASSERT_TRUE(keeper.Lookup(key, &url, &history));
    EXPECT_EQ(L"http://a/1", url);
    EXPECT_EQ(2u, history.entries.size());
    EXPECT_FALSE(keeper.Lookup(key, &url, &history)) << "taken once";
    EXPECT_FALSE(keeper.Lookup(L"no such key", &url, &history));
  }
}

// A reopened tab's entries while its page loads the kept ones again, and after the user
// took it elsewhere before it had them all: the entry the page shows is always written.
TEST(SessionKeeper, AReopenedTabKeepsItsEntriesAndNeverLosesTheShownOne) {
  const SessionTabState kept = Tab({L"http://k/1", L"http://k/2"}, 1);
  const SessionTabState keptWithForward = Tab({L"http://k/1", L"http://k/2", L"http://k/3"}, 1);
  struct Case {
    const char* name;
    SessionTabState kept, page;
    std::wstring merged;
    bool pageHasAll;
  } cases[] = {
      {"nothing loaded yet", kept, SessionTabState(), L"1:http://k/1,http://k/2,", false},
      {"just the kept page", kept, Tab({L"http://k/2"}, 0), L"1:http://k/1,http://k/2,", false},
      {"all loaded again", kept, Tab({L"http://k/1", L"http://k/2"}, 1), L"1:http://k/1,http://k/2,", true},
      {"all loaded, then a page of its own", kept, Tab({L"http://k/1", L"http://k/2", L"http://n/"}, 2),
       L"2:http://k/1,http://k/2,http://n/,", true},
      {"the page's history begins at the kept page", kept, Tab({L"http://k/2", L"http://n/"}, 1),
       L"2:http://k/1,http://k/2,http://n/,", false},
      // The user navigated before the first kept entry had loaded: the loading ends there.
      {"elsewhere before any kept entry loaded", kept, Tab({L"http://n/"}, 0), L"2:http://k/1,http://k/2,http://n/,",
       false},
      {"elsewhere after the first kept entry loaded", keptWithForward, Tab({L"http://k/1", L"http://n/"}, 1),
       L"2:http://k/1,http://k/2,http://n/,", false},
      {"elsewhere, then back to its own first page", keptWithForward, Tab({L"http://n/", L"http://m/"}, 0),
       L"2:http://k/1,http://k/2,http://n/,http://m/,", false},
      {"loading still under way, showing a kept entry", keptWithForward, Tab({L"http://k/1", L"http://k/2"}, 0),
       L"0:http://k/1,http://k/2,http://k/3,", false},
      {"loading still under way, showing the last loaded", Tab({L"http://k/1", L"http://k/2", L"http://k/3"}, 2),
       Tab({L"http://k/1", L"http://k/2"}, 1), L"2:http://k/1,http://k/2,http://k/3,", false},
  };
  for (const Case& c : cases) {
    bool pageHasAll = !c.pageHasAll;
    const SessionTabState merged = MergeReopened(c.kept, c.page, &pageHasAll);
    EXPECT_EQ(c.merged, Summary(SessionSnapshot{{merged}, 0}).substr(12)) << c.name;
    EXPECT_EQ(c.pageHasAll, pageHasAll) << c.name;
  }
}

}  // namespace

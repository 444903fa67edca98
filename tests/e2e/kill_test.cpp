// The shell killed with SIGKILL at random moments (during a navigation, right after
// opening a tab, while a bookmark is added) and started again with --restore: every tab
// comes back with its address and its back list, and no bookmark whose add was answered
// is lost. The saved session that the restarted shell writes from its pages is compared
// with what the test did; the figures are printed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "components/datastore/datastore.h"
#include "e2e/childprocess.h"
#include "host/sessionsnapshot.h"
#include "platform/text.h"

namespace {

using e2etest::ChildProcess;
using Entries = std::vector<std::string>;  // back list and current page, oldest first

bool HaveChromium() { return access("/usr/bin/chromium", X_OK) == 0; }

// One tab as the test left it: its entries, the ones it has if a navigation under way at
// the kill counted, and whether it was opened too shortly before the kill to be kept.
struct TabModel {
  Entries entries;
  Entries ifNavigated;
  bool mayBeLost = false;
};

// Reads the profile's store as another program would.
class ProfileStore {
 public:
  explicit ProfileStore(const std::string& profile) {
    datastore::DataStoreOptions options;
    options.databasePath = profile + "/datastore.db";
    options.logSink = [](datastore::LogLevel, const std::string&) {};
    IDataAccessor* raw = nullptr;
    if (SUCCEEDED(datastore::CreateDataStore(options, &raw))) m_store.Attach(raw);
  }
  std::string Query(const wchar_t* name) {
    qxdk::UTIL::com_ptr<IDataAccessorII> ii;
    if (!m_store || FAILED(m_store.QueryInterface(ii))) return "";
    qxdk::UTIL::com_ptr<IDataHolder> holder;
    ii->QueryData(name, L"", &holder);
    const wchar_t* text = nullptr;
    if (holder) holder->GetText(&text);
    return platform::WideToUtf8(text ? text : L"");
  }
  std::vector<Entries> Session() {
    SessionSnapshot snapshot;
    ReadSessionDocument(platform::Utf8ToWide(Query(L"get.session")), &snapshot);
    std::vector<Entries> tabs;
    for (const SessionTabState& tab : snapshot.tabs) {
      Entries entries;
      for (int j = 0; j <= tab.index; ++j) entries.push_back(platform::WideToUtf8(tab.entries[static_cast<size_t>(j)].url));
      tabs.push_back(entries);
    }
    return tabs;
  }

 private:
  qxdk::UTIL::com_ptr<IDataAccessor> m_store;
};

class KillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
    m_profile = ::testing::TempDir() + "shell_kill_" + std::to_string(getpid());
    ASSERT_EQ(0, std::system(("rm -rf '" + m_profile + "'").c_str()));
    const char* seed = std::getenv("KILL_TEST_SEED");
    m_seed = seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : std::random_device{}();
    m_random.seed(m_seed);
  }
  void TearDown() override { if (!std::getenv("KILL_TEST_KEEP")) std::system(("rm -rf '" + m_profile + "'").c_str()); }

  std::unique_ptr<ChildProcess> Start(bool restore) {
    std::vector<std::string> args = {"--profile", m_profile, "--serve", PAGES_DIR};
    if (restore) args.push_back("--restore");
    return std::make_unique<ChildProcess>(SHELL_PROGRAM, args);
  }
  std::string Page(int tab, int step) {
    static const char* const kPages[] = {"news.html", "notes.html", "weather.html"};
    return m_base + kPages[step % 3] + "?tab" + std::to_string(tab) + "-step" + std::to_string(step);
  }
  int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }
  // Waits `ms` milliseconds while reading the shell's output.
  void Pause(ChildProcess& shell, int ms) { shell.ReadFor(ms); }

  // Compares the saved session with the model until they agree or 60 s have passed;
  // counts what came back and takes the saved state as the model's.
  void CheckRestored(ChildProcess& shell) {
    ProfileStore store(m_profile);
    std::vector<Entries> saved;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      saved = store.Session();
      if (Agrees(saved)) break;
      Pause(shell, 200);
    }
    size_t place = 0;
    std::vector<TabModel> next;
    for (const TabModel& tab : m_tabs) {
      const bool present = place < saved.size() && (saved[place] == tab.entries || saved[place] == tab.ifNavigated);
      if (!tab.mayBeLost || present) {
        m_tabsExpected += 1;
        m_entriesExpected += (present ? saved[place].size() : tab.entries.size()) - 1;
      }
      if (present) {
        m_tabsRestored += 1;
        m_entriesRestored += saved[place].size() - 1;
        next.push_back({saved[place], {}, false});
        ++place;
      } else if (!tab.mayBeLost) {
        std::string found;
        for (const Entries& t : saved) found += "\n  " + t.back() + " after " + std::to_string(t.size() - 1);
        ADD_FAILURE() << "tab " << next.size() + 1 << " (" << tab.entries.back() << " after " << tab.entries.size() - 1
                      << ") did not come back; the saved session holds:" << found << "\n"
                      << shell.Output().substr(shell.Output().size() > 3000 ? shell.Output().size() - 3000 : 0);
        if (place < saved.size()) next.push_back({saved[place++], {}, false});
      }
    }
    m_tabs = next;
    // Every bookmark whose add was answered is there.
    const std::string favorites = store.Query(L"get_fav_xml");
    for (const std::string& url : m_bookmarks) {
      EXPECT_NE(std::string::npos, favorites.find(url)) << "bookmark " << url << " was lost";
    }
  }
  bool Agrees(const std::vector<Entries>& saved) const {
    size_t place = 0;
    for (const TabModel& tab : m_tabs) {
      const bool present = place < saved.size() && (saved[place] == tab.entries || saved[place] == tab.ifNavigated);
      if (present) {
        ++place;
      } else if (!tab.mayBeLost) {
        return false;
      }
    }
    return place == saved.size();
  }

  std::string m_profile, m_base;
  unsigned m_seed = 0;
  std::mt19937 m_random;
  std::vector<TabModel> m_tabs;
  std::set<std::string> m_bookmarks;
  size_t m_tabsExpected = 0, m_tabsRestored = 0, m_entriesExpected = 0, m_entriesRestored = 0;
  int m_step = 10;
  int m_listed = 0;
  int m_bookmarkAdds = 0;
};

TEST_F(KillTest, EveryTabComesBackWithItsBackListAfterSigkill) {
  const char* rounds = std::getenv("KILL_TEST_ROUNDS");
  const int kills = rounds ? std::atoi(rounds) : KILL_ROUNDS;
  std::cout << "seed " << m_seed << " (KILL_TEST_SEED repeats a run), " << kills << " kills\n";
  auto shell = Start(false);
  ASSERT_TRUE(shell->WaitFor("address: http://127.0.0.1:")) << shell->Output();
  const size_t at = shell->Output().find("address: http://127.0.0.1:") + 9;
  m_base = shell->Output().substr(at, shell->Output().find('/', at + 7) + 1 - at);
  // Five tabs of three pages each; the start page's tab goes.
  for (int tab = 1; tab <= 5; ++tab) {
    shell->Type("open " + Page(tab, 1));
    shell->Type("go " + Page(tab, 2));
    shell->Type("go " + Page(tab, 3));
    m_tabs.push_back({{Page(tab, 1), Page(tab, 2), Page(tab, 3)}, {}, false});
  }
  shell->Type("close 1");
  shell->Type("tab 5");
  // Each line is taken once the one before has its page or answer.
  ASSERT_TRUE(shell->WaitFor("> tab 5", 0, 120)) << shell->Output();
  Pause(*shell, 1500);

  for (int round = 0; round < kills; ++round) {
    const int action = Pick(3);
    const int k = Pick(static_cast<int>(m_tabs.size()));
    const int delay = Pick(1500);
    const size_t mark = shell->Size();
    if (action == 0) {  // during a navigation
      shell->Type("tab " + std::to_string(k + 1));
      const std::string url = Page(k + 1, ++m_step);
      shell->Type("go " + url);
      m_tabs[static_cast<size_t>(k)].ifNavigated = m_tabs[static_cast<size_t>(k)].entries;
      m_tabs[static_cast<size_t>(k)].ifNavigated.push_back(url);
      Pause(*shell, delay);
      // Once the page is there for a second, it must be kept.
      if (shell->WaitFor("address: " + url, mark, 0) && delay > 1200) {
        std::swap(m_tabs[static_cast<size_t>(k)].entries, m_tabs[static_cast<size_t>(k)].ifNavigated);
      }
    } else if (action == 1) {  // right after opening a tab
      const std::string url = Page(6, ++m_step);
      shell->Type("open " + url);
      m_tabs.push_back({{url}, {}, true});
      Pause(*shell, delay);
    } else {  // while a bookmark is added
      ++m_bookmarkAdds;
      shell->Type("tab " + std::to_string(k + 1));
      shell->Type("find no-such-words");  // answered once the page has loaded
      shell->Type("bookmark");
      // Half the time the kill waits for the answer: the bookmark listed from the store.
      // (A reopened tab may still be loading its entries: the find waits for it.)
      if (Pick(2) == 0 && shell->WaitFor("bookmarked http", mark, 90)) {
        const size_t answered = shell->Output().find("bookmarked ", mark) + 11;
        const std::string url = shell->Output().substr(answered, shell->Output().find('\n', answered) - answered);
        shell->Type("bookmarks");
        if (shell->WaitFor("  " + url + "\n", answered, 30)) m_bookmarks.insert(url);
      }
      Pause(*shell, delay / 3);
    }
    shell->Kill();

    shell = Start(true);
    const size_t started = shell->Size();
    ASSERT_TRUE(shell->WaitFor("the last run", started)) << shell->Output();
    Pause(*shell, 300);
    if (shell->Output().find("not reopened again", started) != std::string::npos) {
      // Restored within a minute before this kill: the tabs are listed, not reopened (the
      // start page opened instead goes when they come back).
      ++m_listed;
      shell->Type("session");
    }
    CheckRestored(*shell);
    // The tab opened last goes again, so that five stay.
    while (m_tabs.size() > 5) {
      shell->Type("close " + std::to_string(m_tabs.size()));
      m_tabs.pop_back();
    }
    Pause(*shell, 600);
  }
  shell->Type("quit");
  EXPECT_EQ(0, shell->Wait());
  size_t kept = 0;
  const std::string favorites = ProfileStore(m_profile).Query(L"get_fav_xml");
  for (const std::string& url : m_bookmarks) kept += favorites.find(url) != std::string::npos ? 1 : 0;
  std::cout << "restored after " << kills << " kills: tabs " << m_tabsRestored << " / " << m_tabsExpected
            << ", back entries " << m_entriesRestored << " / " << m_entriesExpected << ", bookmarks kept "
            << kept << " / " << m_bookmarks.size() << " answered (" << m_bookmarkAdds << " adds); " << m_listed
            << " starts listed the tabs instead of reopening them (a kill within a minute of a restore)\n";
  EXPECT_EQ(m_tabsExpected, m_tabsRestored);
  EXPECT_EQ(m_entriesExpected, m_entriesRestored);
  EXPECT_EQ(m_bookmarks.size(), kept);
}

}  // namespace

// uicontrol-browser killed with SIGKILL and started again with --restore, on its own X
// server: its tabs come back in their order, with the selected one and each tab's back
// entries (read from the session the restarted browser keeps in the profile's store).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "desktop/desktopdriver.h"

namespace desktoptest {
namespace {

bool HaveTools() {
  return access("/usr/bin/chromium", X_OK) == 0 &&
         std::system("command -v xdotool >/dev/null && command -v Xvfb >/dev/null") == 0;
}

// The saved session as "place:entry,entry>shown" lines, one per tab, and the selected place.
std::string SavedSession(const std::string& database) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    const char* sql =
        "SELECT t.pos, t.selected, t.current, group_concat(replace(e.url, rtrim(e.url, replace(e.url, '/', '')), ''), ',') "
        "FROM session_tabs t JOIN (SELECT * FROM session_entries ORDER BY tab, pos) e ON e.tab = t.pos "
        "GROUP BY t.pos ORDER BY t.pos";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* entries = sqlite3_column_text(statement, 3);
        out += std::to_string(sqlite3_column_int(statement, 0)) + (sqlite3_column_int(statement, 1) ? "*" : "") + ":" +
               (entries ? reinterpret_cast<const char*>(entries) : "") + ">" +
               std::to_string(sqlite3_column_int(statement, 2)) + "\n";
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return out;
}

TEST(DesktopKill, TheTabsComeBackWithTheirBackEntriesAfterSigkill) {
  if (!HaveTools()) GTEST_SKIP() << "needs chromium, xdotool and Xvfb";
  PrivateX x;
  ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
  const std::string folder = ::testing::TempDir() + "desktop-kill-" + std::to_string(getpid());
  ASSERT_EQ(0, std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str()));
  const std::string profile = folder + "/profile", statePath = folder + "/state";
  const std::string database = profile + "/datastore.db";
  auto start = [&](const std::vector<std::string>& extra) {
    std::remove(statePath.c_str());
    std::vector<std::string> args = {"--profile", profile, "--serve", TEST_PAGES, "--state", statePath};
    args.insert(args.end(), extra.begin(), extra.end());
    auto browser = std::make_unique<Browser>(x.Display(), args, folder + "/browser.log");
    desktoptest::Run(x.Display(), "xdotool mousemove 500 400");
    return browser;
  };
  auto line = [&](const std::string& name, const std::string& value) {
    return WaitFor([&] {
      for (const std::string& v : ReadState(statePath).All(name))
        if (v == value) return true;
      return false;
    });
  };
  auto go = [&](const std::string& page, const std::string& title) {
    return Key(x.Display(), "ctrl+l") && Type(x.Display(), page) && Key(x.Display(), "Return") &&
           line("title", title + " - uicontrol");
  };

  // Two tabs: one.html, two.html, three.html in the first; two.html, one.html in the second
  // (a new tab's blank page is no entry), and the first selected.
  auto browser = start({"one.html"});
  ASSERT_TRUE(line("focused", "1")) << ReadState(statePath).text;
  ASSERT_TRUE(line("title", "Page One - uicontrol")) << ReadState(statePath).text;
  ASSERT_TRUE(go("two.html", "Page Two"));
  ASSERT_TRUE(go("three.html", "Page Three"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+t"));
  ASSERT_TRUE(line("tabs", "2"));
  ASSERT_TRUE(go("two.html", "Page Two"));
  ASSERT_TRUE(go("one.html", "Page One"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+1"));
  ASSERT_TRUE(line("selected", "1"));
  // The new tab's home page is an entry of its own when it finished loading before the
  // address was typed (a busy machine types slowly); it is empty then, as the served root.
  const std::string typedFirst = "0*:one.html,two.html,three.html>2\n1:two.html,one.html>1\n";
  const std::string homeFirst = "0*:one.html,two.html,three.html>2\n1:,two.html,one.html>2\n";
  // Written within a second of the last change.
  EXPECT_TRUE(WaitFor([&] { const std::string s = SavedSession(database); return s == typedFirst || s == homeFirst; },
                      std::chrono::seconds(10)))
      << SavedSession(database);
  const std::string expected = SavedSession(database);
  kill(browser->Pid(), SIGKILL);
  browser->WaitExit(std::chrono::seconds(10));

  browser = start({"--restore"});
  ASSERT_TRUE(line("tabs", "2")) << ReadState(statePath).text;
  EXPECT_TRUE(line("selected", "1")) << ReadState(statePath).text;
  EXPECT_TRUE(line("title", "Page Three - uicontrol")) << ReadState(statePath).text;
  // The restarted browser keeps the same session: both tabs with their back entries.
  EXPECT_TRUE(WaitFor([&] { return SavedSession(database) == expected; })) << SavedSession(database);
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  EXPECT_EQ(0, browser->WaitExit(std::chrono::seconds(45)));
  EXPECT_EQ(expected, SavedSession(database)) << "quitting keeps the session";

  // A plain start offers the tabs in the session bar and, until the user changes the
  // tabs, leaves the saved session as it was.
  browser = start({});
  EXPECT_TRUE(line("sessionbar", "1")) << ReadState(statePath).text;
  EXPECT_TRUE(line("session", "2")) << ReadState(statePath).text;
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  EXPECT_EQ(0, browser->WaitExit(std::chrono::seconds(45)));
  EXPECT_EQ(expected, SavedSession(database)) << "a plain start and quit keep the session";
  if (!::testing::Test::HasFailure()) std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
}  // namespace desktoptest

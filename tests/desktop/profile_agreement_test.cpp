// The terminal shell and the desktop browser are one browser: started in turn on one
// profile, each shows what the other left there (the home page, the last run's tabs,
// bookmarks and closed tabs), by the same rules.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "desktop/desktopdriver.h"
#include "e2e/ptysession.h"

namespace desktoptest {
namespace {

bool HaveTools() {
  return access("/usr/bin/chromium", X_OK) == 0 &&
         std::system("command -v xdotool >/dev/null && command -v import >/dev/null && command -v Xvfb >/dev/null") == 0;
}

class ProfileAgreement : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "needs chromium, xdotool, ImageMagick and Xvfb";
    folder = ::testing::TempDir() + "agreement-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str()), 0);
    profile = folder + "/profile";
    statePath = folder + "/state";
  }
  void TearDown() override {
    if (!folder.empty() && !HasFailure()) std::system(("rm -rf '" + folder + "'").c_str());
  }

  std::unique_ptr<ptytest::PtySession> Shell() {
    return std::make_unique<ptytest::PtySession>(SHELL_PROGRAM,
                                                 std::vector<std::string>{"--profile", profile, "--serve", TEST_PAGES});
  }
  bool Has(const std::string& name, const std::string& part) const {
    for (const std::string& value : ReadState(statePath).All(name))
      if (value.find(part) != std::string::npos) return true;
    return false;
  }
  bool WaitState(const std::string& name, const std::string& part) {
    const bool ok = WaitFor([&] { return Has(name, part); });
    if (!ok) ADD_FAILURE() << "no line '" << name << "' holding '" << part << "' in\n" << ReadState(statePath).text;
    return ok;
  }
  // Whether the profile's store keeps a closed tab of that title.
  bool Kept(const std::string& title) const {
    sqlite3* db = nullptr;
    bool found = false;
    if (sqlite3_open_v2((profile + "/datastore.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 1000);
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT 1 FROM recover WHERE title = ?1", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(statement) == SQLITE_ROW;
      }
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return found;
  }
  void Click(const std::string& geometry) {
    std::istringstream in(geometry);
    int x = 0, y = 0, w = 0, h = 0;
    in >> x >> y >> w >> h;
    ASSERT_GT(w, 0) << geometry;
    ASSERT_TRUE(desktoptest::Run(display.Display(), "xdotool mousemove " + std::to_string(x + w / 2) + " " +
                                           std::to_string(y + h / 2) + " click 1"));
  }

  PrivateX display;
  std::string folder, profile, statePath;
};

TEST_F(ProfileAgreement, ShellAndDesktopShowWhatTheOtherLeft) {
  // The shell: a bookmark, a closed tab, and two tabs left open at quit.
  {
    auto shell = Shell();
    ASSERT_TRUE(shell->WaitFor("Test pages")) << shell->Screen();
    size_t mark = shell->Size();
    shell->Type("open one.html\n");
    ASSERT_TRUE(shell->WaitFor("Page One", mark)) << shell->Screen();
    mark = shell->Size();
    shell->Type("bookmark\n");
    ASSERT_TRUE(shell->WaitFor("bookmarked http://127.0.0.1:", mark)) << shell->Screen();
    mark = shell->Size();
    shell->Type("open two.html\n");
    ASSERT_TRUE(shell->WaitFor("*[3] Page Two\r", mark)) << shell->Screen();
    mark = shell->Size();
    shell->Type("close\n");
    ASSERT_TRUE(shell->WaitFor("*[2] Page One\r", mark)) << shell->Screen();
    // Quit once the page engine has handed the closed tab to the store: a tab still
    // closing when the shell quits is kept with the open ones.
    ASSERT_TRUE(WaitFor([&] { return Kept("Page Two"); }));
    shell->Type("quit\n");
    ASSERT_EQ(shell->Wait(), 0) << shell->Screen();
  }

  // The desktop browser, started plainly: it offers the shell's tabs (the same default
  // as the shell's), opens the same home page and shows the same bookmark and closed tab.
  ASSERT_TRUE(display.Ok());
  {
    Browser browser(display.Display(), {"--profile", profile, "--serve", TEST_PAGES, "--state", statePath},
                    folder + "/browser.log");
    desktoptest::Run(display.Display(), "xdotool mousemove 500 400");
    ASSERT_TRUE(WaitState("focused", "1"));
    ASSERT_TRUE(WaitState("title", "Test pages - uicontrol"));
    EXPECT_TRUE(WaitState("restore", "ask"));
    EXPECT_TRUE(WaitState("session", "2"));
    EXPECT_TRUE(WaitState("sessionbar", "1"));
    EXPECT_TRUE(WaitState("bookmark", "/one.html"));
    EXPECT_TRUE(WaitState("closedtab", "Page Two"));
    const std::string home = ReadState(statePath).Get("home");
    EXPECT_EQ(home.rfind("http://127.0.0.1:", 0), 0u) << home;

    // A new home page through the settings dialog (the menu's entry above "Quit").
    Click(ReadState(statePath).Get("menubutton"));
    ASSERT_TRUE(WaitState("menu", "1"));
    ASSERT_TRUE(Key(display.Display(), "Up Up Return"));
    ASSERT_TRUE(WaitState("dialog", "settings"));
    ASSERT_TRUE(WaitState("dialogfocus", "1"));
    ASSERT_TRUE(Type(display.Display(), "three.html"));
    ASSERT_TRUE(Key(display.Display(), "Return"));
    ASSERT_TRUE(WaitState("dialog", "none"));
    ASSERT_TRUE(WaitState("home", "/three.html"));

    // The offered tabs reopened from the session bar: three tabs are left at quit.
    ASSERT_TRUE(WaitState("focused", "1"));
    Click(ReadState(statePath).Get("sessionreopen"));
    ASSERT_TRUE(WaitState("tabs", "3"));
    EXPECT_TRUE(WaitState("sessionbar", "0"));
    EXPECT_TRUE(WaitState("tab", "Page One"));
    ASSERT_TRUE(Key(display.Display(), "ctrl+q"));
    ASSERT_EQ(browser.WaitExit(std::chrono::seconds(45)), 0);
  }

  // The shell again: it offers the desktop's tabs, opens the home page set there, and
  // lists the same bookmark and closed tab.
  auto shell = Shell();
  ASSERT_TRUE(shell->WaitFor("the last run left 3 tabs open: type session to reopen them")) << shell->Screen();
  ASSERT_TRUE(shell->WaitFor("*[1] Page Three")) << shell->Screen();
  size_t mark = shell->Size();
  shell->Type("bookmarks\n");
  ASSERT_TRUE(shell->WaitFor("1. Page One  http://127.0.0.1:", mark)) << shell->Screen();
  mark = shell->Size();
  shell->Type("closed\n");
  ASSERT_TRUE(shell->WaitFor("Page Two", mark)) << shell->Screen();
  mark = shell->Size();
  shell->Type("session\n");
  ASSERT_TRUE(shell->WaitFor("[4] Page One", mark)) << shell->Screen();
  shell->Type("quit\n");
  EXPECT_EQ(shell->Wait(), 0);
}

}  // namespace
}  // namespace desktoptest

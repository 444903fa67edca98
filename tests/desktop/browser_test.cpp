// uicontrol-browser end to end: started on its own X server on served test pages and
// driven with real key events; checked through the chrome's state file, screenshots, and
// the profile's store and kept tabs after quitting.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "desktop/desktopdriver.h"

namespace desktoptest {
namespace {

bool HaveTools() {
  return access("/usr/bin/chromium", X_OK) == 0 && std::system("command -v xdotool >/dev/null && command -v import >/dev/null && command -v Xvfb >/dev/null") == 0;
}

std::string Fresh(const std::string& name) {
  const std::string dir = ::testing::TempDir() + name + "-" + std::to_string(getpid());
  EXPECT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  return dir;
}

std::string Shots() {
  const std::string dir = SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0755);
  return dir + "/";
}

// One text result of a query on the profile's database ("" when there is none).
std::string Query(const std::string& database, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        out += std::string(text ? reinterpret_cast<const char*>(text) : "") + "\n";
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return out;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};
Rect ParseRect(const std::string& text) {
  Rect r;
  std::istringstream in(text);
  in >> r.x >> r.y >> r.w >> r.h;
  return r;
}

class DesktopBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "needs chromium, xdotool, ImageMagick and Xvfb";
    ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
    folder = Fresh("desktop");
    profile = folder + "/profile";
    statePath = folder + "/state";
  }

  void TearDown() override {
    // A failed run's profile, state and output stay for a look.
    if (!folder.empty() && !HasFailure()) std::system(("rm -rf '" + folder + "'").c_str());
  }

  std::unique_ptr<Browser> Start(std::vector<std::string> extra) {
    // The last run's state must not pass for this run's.
    std::remove(statePath.c_str());
    std::vector<std::string> args = {"--profile", profile, "--serve", TEST_PAGES, "--state", statePath};
    args.insert(args.end(), extra.begin(), extra.end());
    auto browser = std::make_unique<Browser>(x.Display(), args, folder + "/browser.log");
    // The keys typed go to the window once it has the keyboard.
    desktoptest::Run(x.Display(), "xdotool mousemove 500 400");
    if (extra.empty() || extra[0] != "--ui") WaitLine("focused", "1");
    return browser;
  }

  State Now() const { return ReadState(statePath); }
  // Waits until the state has line "name value" (value exact).
  bool WaitLine(const std::string& name, const std::string& value) {
    const bool ok = WaitFor([&] {
      for (const std::string& v : Now().All(name))
        if (v == value) return true;
      return false;
    });
    if (!ok) ADD_FAILURE() << "no line '" << name << " " << value << "' in\n" << Now().text << Log();
    return ok;
  }
  std::string Log() const {
    std::ifstream in(folder + "/browser.log");
    std::stringstream text;
    text << in.rdbuf();
    return "browser output:\n" + text.str();
  }
  bool Webkit() const { return Now().Get("engine") == "webkit"; }

  PrivateX x;
  std::string folder, profile, statePath;
};

TEST_F(DesktopBrowser, TabsKeysMouseDialogsZoomFindAndTheNextStart) {
  auto browser = Start({"one.html"});
  ASSERT_TRUE(WaitLine("title", "Page One - uicontrol"));
  ASSERT_TRUE(WaitLine("progress", "100"));

  // The tab strip shows the title: dark text pixels where the selected tab's label is.
  ASSERT_TRUE(WaitFor([&] { return ParseRect(Now().Get("tabtitle")).w > 20; }));
  Rect label = ParseRect(Now().Get("tabtitle"));
  Image start = Screenshot(x.Display(), Shots() + "start.png");
  ASSERT_TRUE(start.Ok());
  EXPECT_GT(start.Dark(label.x, label.y, label.w, label.h, 110), 40) << "no title text in the tab strip";
  // The area right of the last tab holds no text.
  EXPECT_LT(start.Dark(label.x + 400, label.y, label.w, label.h, 110), 5);

  // The served page's icon (a green square) beside the title.
  EXPECT_TRUE(WaitFor([&] {
    const Image shot = Screenshot(x.Display(), Shots() + "icon.png");
    return shot.Ok() && shot.Count(label.x - 24, label.y, 24, label.h, 0, 192, 0, 30) >= 100;
  })) << "no page icon in the tab";

  // Three tabs: Ctrl+T, an address typed, Enter.
  for (const char* page : {"two.html", "three.html"}) {
    const size_t before = Now().All("tab").size();
    ASSERT_TRUE(Key(x.Display(), "ctrl+t"));
    ASSERT_TRUE(WaitLine("tabs", std::to_string(before + 1)));
    // Typed only once the address entry has the keyboard, and sent once it holds the text.
    ASSERT_TRUE(WaitLine("addressfocus", "1"));
    ASSERT_TRUE(Type(x.Display(), page));
    ASSERT_TRUE(WaitLine("address", page));
    ASSERT_TRUE(Key(x.Display(), "Return"));
  }
  ASSERT_TRUE(WaitLine("title", "Page Three - uicontrol"));
  EXPECT_EQ(Now().Get("selected"), "3");

  // Back and forward through Ctrl+L, an address, Alt+Left and Alt+Right.
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "words.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("title", "Repeated words - uicontrol"));
  ASSERT_TRUE(WaitLine("back", "1"));
  ASSERT_TRUE(Key(x.Display(), "alt+Left"));
  ASSERT_TRUE(WaitLine("title", "Page Three - uicontrol"));
  ASSERT_TRUE(WaitLine("forward", "1"));
  ASSERT_TRUE(Key(x.Display(), "alt+Right"));
  ASSERT_TRUE(WaitLine("title", "Repeated words - uicontrol"));

  // Find: the count of matches, and Enter moves to the next one.
  ASSERT_TRUE(Key(x.Display(), "ctrl+f"));
  ASSERT_TRUE(Type(x.Display(), "banana"));
  ASSERT_TRUE(WaitLine("find", "1 of 5"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("find", "2 of 5"));
  Screenshot(x.Display(), Shots() + "find.png");
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitLine("find", ""));

  // Ctrl+S saves the page into the profile's downloads.
  ASSERT_TRUE(Key(x.Display(), "ctrl+s"));
  ASSERT_TRUE(WaitFor([&] { return !Now().Get("saved").empty(); })) << Now().text << Log();
  const std::string saved = Now().Get("saved");
  EXPECT_EQ(saved.rfind(profile + "/downloads/", 0), 0u) << saved;
  EXPECT_EQ(access(saved.c_str(), R_OK), 0) << saved;

  // Ctrl+D opens the add-bookmark dialog; a new name and Enter store the bookmark.
  ASSERT_TRUE(Key(x.Display(), "ctrl+d"));
  ASSERT_TRUE(WaitLine("dialog", "add-bookmark"));
  // The keys go to the dialog once it has the keyboard.
  ASSERT_TRUE(WaitLine("dialogfocus", "1"));
  Screenshot(x.Display(), Shots() + "bookmark-dialog.png");
  ASSERT_TRUE(Key(x.Display(), "ctrl+a"));
  ASSERT_TRUE(Type(x.Display(), "Words to find"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("dialog", "none"));
  ASSERT_TRUE(WaitLine("focused", "1"));
  ASSERT_TRUE(WaitLine("bookmarks", "1"));
  EXPECT_NE(Now().Get("bookmark").find("Words to find\t"), std::string::npos) << Now().text;
  ASSERT_TRUE(WaitLine("bar", "Words to find")) << "the bookmarks bar shows the new bookmark";

  // The menu (a click on its button) opens the settings dialog: a new home page, which
  // Ctrl+T opens from then on.
  ASSERT_TRUE(WaitFor([&] { return ParseRect(Now().Get("menubutton")).w > 0; }));
  const Rect menu = ParseRect(Now().Get("menubutton"));
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(menu.x + menu.w / 2) + " " +
                                                 std::to_string(menu.y + menu.h / 2) + " click 1"));
  ASSERT_TRUE(WaitLine("menu", "1"));
  Screenshot(x.Display(), Shots() + "menu.png");
  // Up from nothing is the menu's last entry ("Quit"); the one above is "Settings".
  ASSERT_TRUE(Key(x.Display(), "Up Up Return"));
  ASSERT_TRUE(WaitLine("dialog", "settings"));
  ASSERT_TRUE(WaitLine("dialogfocus", "1"));
  ASSERT_TRUE(Type(x.Display(), "two.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("dialog", "none"));
  ASSERT_TRUE(WaitLine("focused", "1"));
  ASSERT_TRUE(WaitFor([&] { return Now().Get("home").find("/two.html") != std::string::npos; })) << Now().text;

  // Ctrl+Tab and Ctrl+Shift+Tab go round the tabs.
  ASSERT_TRUE(Key(x.Display(), "ctrl+Tab"));
  ASSERT_TRUE(WaitLine("selected", "1"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+shift+Tab"));
  ASSERT_TRUE(WaitLine("selected", "3"));

  // Ctrl+W closes the tab; Ctrl+Shift+T brings it back with its page.
  ASSERT_TRUE(Key(x.Display(), "ctrl+w"));
  ASSERT_TRUE(WaitLine("tabs", "2"));
  ASSERT_TRUE(WaitLine("closed", "1"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+shift+t"));
  ASSERT_TRUE(WaitLine("tabs", "3"));
  ASSERT_TRUE(WaitLine("title", "Repeated words - uicontrol"));

  // Zoom: the colour block page, then Ctrl+plus twice.
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "block.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("title", "Colour block - uicontrol"));
  ASSERT_TRUE(WaitLine("progress", "100"));
  const Rect page = ParseRect(Now().Get("pagearea"));
  int bx = 0, by = 0, bw = 0, bh = 0;
  if (Webkit()) {
    // The block at (100, 100) of the page, 200 by 100.
    ASSERT_TRUE(WaitFor([&] {
      return Screenshot(x.Display(), Shots() + "block.png").Box(255, 0, 255, 40, &bx, &by, &bw, &bh);
    }));
    EXPECT_NEAR(bx, page.x + 100, 2);
    EXPECT_NEAR(by, page.y + 100, 2);
    EXPECT_NEAR(bw, 200, 2);
    EXPECT_NEAR(bh, 100, 2);
  } else {
    Screenshot(x.Display(), Shots() + "block.png");
  }
  ASSERT_TRUE(Key(x.Display(), "ctrl+plus"));
  ASSERT_TRUE(WaitLine("zoom", "110"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+plus"));
  ASSERT_TRUE(WaitLine("zoom", "125"));
  if (Webkit()) {
    int zx = 0, zy = 0, zw = 0, zh = 0;
    ASSERT_TRUE(WaitFor([&] {
      return Screenshot(x.Display(), Shots() + "zoomed.png").Box(255, 0, 255, 40, &zx, &zy, &zw, &zh) && zw > bw + 20;
    })) << "the block did not grow";
    EXPECT_NEAR(zw, 250, 4);
    EXPECT_NEAR(zh, 125, 4);
  } else {
    Screenshot(x.Display(), Shots() + "zoomed.png");
  }

  // Ctrl+Q: the browser ends, keeping the tabs, the bookmark and the zoom.
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  ASSERT_EQ(browser->WaitExit(std::chrono::seconds(45)), 0) << Log();
  const std::string database = profile + "/datastore.db";
  EXPECT_NE(Query(database, "SELECT title || ' ' || url FROM favorites WHERE type = 1").find("Words to find http://"),
            std::string::npos);
  EXPECT_EQ(Query(database, "SELECT value FROM settings WHERE name = 'page.size'"), "125\n");

  // The next start with --restore opens the three tabs again.
  browser = Start({"--restore"});
  ASSERT_TRUE(WaitLine("tabs", "3"));
  ASSERT_TRUE(WaitFor([&] {
    const State s = Now();
    std::string titles;
    for (const std::string& tab : s.All("tab")) titles += tab.substr(tab.find(' ', tab.find(' ') + 1) + 1) + "|";
    return titles == "Page One|Page Two|Colour block|";
  })) << Now().text;
  EXPECT_EQ(Now().Get("zoom"), "125");
  Screenshot(x.Display(), Shots() + "restored.png");

  // The mouse on the tab strip: a click selects, a drag moves, a middle click closes.
  auto tabRect = [&](int index) {
    for (const std::string& line : Now().All("tabrect"))
      if (line.rfind(std::to_string(index) + " ", 0) == 0) return ParseRect(line.substr(line.find(' ') + 1));
    return Rect{};
  };
  ASSERT_TRUE(WaitFor([&] { return tabRect(1).x >= 0 && tabRect(1).y >= 0 && tabRect(3).x > tabRect(1).x; }));
  const Rect first = tabRect(1), last = tabRect(3);
  const std::string y = std::to_string(first.y + first.h / 2);
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(first.x + 10) + " " + y + " click 1"));
  ASSERT_TRUE(WaitLine("selected", "1"));
  if (Webkit()) {
    // Only the selected tab's page is shown: the colour block's tab is hidden now.
    const Rect area = ParseRect(Now().Get("pagearea"));
    EXPECT_TRUE(WaitFor([&] {
      const Image shot = Screenshot(x.Display(), Shots() + "first-tab.png");
      return shot.Ok() && shot.Count(area.x, area.y, area.w, area.h, 255, 0, 255, 40) == 0 &&
             shot.Dark(area.x, area.y, area.w, area.h, 110) > 100;
    })) << "the first tab's page is not the one shown";
  }
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(first.x + 10) + " " + y +
                                                 " mousedown 1 mousemove " + std::to_string(first.x + 60) + " " + y +
                                                 " mousemove " + std::to_string(last.x + last.w + 20) + " " + y +
                                                 " mouseup 1"));
  ASSERT_TRUE(WaitFor([&] {
    const std::vector<std::string> tabs = Now().All("tab");
    return tabs.size() == 3 && tabs[2].find("Page One") != std::string::npos;
  })) << "the dragged tab is not last:\n" << Now().text;
  ASSERT_TRUE(WaitLine("selected", "3"));
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(first.x + 10) + " " + y + " click 2"));
  ASSERT_TRUE(WaitLine("tabs", "2"));
  Screenshot(x.Display(), Shots() + "mouse.png");
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  EXPECT_EQ(browser->WaitExit(std::chrono::seconds(45)), 0) << Log();
}

// The keyboard user's and the mouse user's browser: find as you type and backwards, the
// address entry and Esc, the page getting the keyboard, bookmarks edited and deleted,
// the menu's shortcuts, the zoom shown, a load error in the page area, the status line
// per tab, twenty tabs in a strip that stays in the window, and the window's size.
TEST_F(DesktopBrowser, FindAddressBookmarksErrorsManyTabsAndTheWindow) {
  auto browser = Start({"words.html"});
  ASSERT_TRUE(WaitLine("title", "Repeated words - uicontrol"));
  // A sensible first size on a 1280 by 800 screen.
  const Rect window = ParseRect(Now().Get("window"));
  EXPECT_GE(window.w, 640);
  EXPECT_LE(window.w, 1280);
  EXPECT_LE(window.h, 800);

  // Find: the count follows the typing; Enter goes on, Shift+Enter back (round the end);
  // Esc closes the bar and the page has the keyboard.
  ASSERT_TRUE(Key(x.Display(), "ctrl+f"));
  ASSERT_TRUE(WaitLine("findfocus", "1"));
  ASSERT_TRUE(Type(x.Display(), "banan"));
  ASSERT_TRUE(WaitLine("find", "1 of 5"));
  ASSERT_TRUE(Type(x.Display(), "a t"));
  ASSERT_TRUE(WaitLine("find", "1 of 2"));
  ASSERT_TRUE(Key(x.Display(), "BackSpace BackSpace"));
  ASSERT_TRUE(WaitLine("find", "1 of 5"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("find", "2 of 5"));
  ASSERT_TRUE(Key(x.Display(), "shift+Return"));
  ASSERT_TRUE(WaitLine("find", "1 of 5"));
  ASSERT_TRUE(Key(x.Display(), "shift+Return"));
  ASSERT_TRUE(WaitLine("find", "5 of 5"));
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitLine("find", ""));
  ASSERT_TRUE(WaitLine("pagefocus", "1"));

  // The address: Esc puts the page's address back; Enter gives the page the keyboard,
  // and PageDown scrolls it (the tall page darkens towards its end).
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(WaitLine("addressfocus", "1"));
  ASSERT_TRUE(Type(x.Display(), "nothing.html"));
  ASSERT_TRUE(WaitLine("address", "nothing.html"));
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitFor([&] { return Now().Get("address").find("/words.html") != std::string::npos; })) << Now().text;
  ASSERT_TRUE(WaitLine("pagefocus", "1"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "links.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("title", "Links - uicontrol"));
  ASSERT_TRUE(WaitLine("pagefocus", "1"));
  ASSERT_TRUE(WaitLine("progress", "100"));
  const Rect area = ParseRect(Now().Get("pagearea"));
  if (Webkit()) {
    const int row = area.y + area.h - 20;
    ASSERT_TRUE(WaitFor([&] {
      return Screenshot(x.Display(), Shots() + "links.png").Count(area.x, row, area.w, 10, 255, 255, 255, 40) > area.w;
    }));
    // The web process may take the keyboard a moment after the view: PageDown again
    // until the page moves.
    EXPECT_TRUE(WaitFor([&] {
      return Key(x.Display(), "Page_Down") &&
             Screenshot(x.Display(), Shots() + "scrolled.png").Count(area.x, row, area.w, 10, 255, 255, 255, 40) == 0;
    })) << "PageDown did not scroll the page";
    // Back to the top: the link's own blue text is on screen again (white alone could be
    // the middle of the page, passed on the way up).
    ASSERT_TRUE(WaitFor([&] {
      return Key(x.Display(), "Home") &&
             Screenshot(x.Display(), Shots() + "links.png").Count(area.x, area.y + 10, area.w, 50, 0, 0, 238, 8) > 0;
    })) << "Home did not bring the link back";
  }

  // The status line shows the link under the pointer for its own tab only.
  const std::string overLink = std::to_string(area.y + 35);
  // The web process hears the pointer only once it is ready for it (late on a busy
  // machine): the pointer moves over the link again, as a person's would, until it shows.
  int moves = 0;
  ASSERT_TRUE(WaitFor([&] {
    if (Now().Get("status").find("two.html") != std::string::npos) return true;
    if (moves++ % 10 == 0) {
      desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(area.x + 60 + moves % 20) + " " + overLink +
                                        " mousemove " + std::to_string(area.x + 80) + " " + overLink);
    }
    return false;
  })) << Now().text << (Screenshot(x.Display(), Shots() + "hover.png"), "");
  ASSERT_TRUE(Key(x.Display(), "ctrl+t"));
  ASSERT_TRUE(WaitLine("tabs", "2"));
  EXPECT_EQ(Now().Get("status"), "");
  ASSERT_TRUE(Key(x.Display(), "ctrl+1"));
  ASSERT_TRUE(WaitLine("selected", "1"));

  // Ctrl+D bookmarks the page; again, it edits the bookmark: a new name.
  ASSERT_TRUE(Key(x.Display(), "ctrl+d"));
  ASSERT_TRUE(WaitLine("dialog", "add-bookmark"));
  ASSERT_TRUE(WaitLine("dialogfocus", "1"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("bookmarks", "1"));
  ASSERT_TRUE(WaitLine("focused", "1"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+d"));
  ASSERT_TRUE(WaitLine("dialog", "edit-bookmark"));
  ASSERT_TRUE(WaitLine("dialogfocus", "1"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+a"));
  ASSERT_TRUE(Type(x.Display(), "Renamed"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("dialog", "none"));
  ASSERT_TRUE(WaitLine("bar", "Renamed"));
  EXPECT_EQ(Now().All("bookmark").size(), 1u) << Now().text;
  // The bar's context menu deletes it (its last entry).
  ASSERT_TRUE(WaitFor([&] { return !Now().Get("barbutton").empty(); }));
  const Rect mark = ParseRect(Now().Get("barbutton").substr(2));
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(mark.x + mark.w / 2) + " " +
                                                 std::to_string(mark.y + mark.h / 2) + " click 3"));
  ASSERT_TRUE(WaitLine("barmenu", "1"));
  ASSERT_TRUE(Key(x.Display(), "Up Return"));
  ASSERT_TRUE(WaitLine("bookmarks", "0"));

  // The menu shows the shortcuts; the zoom shows in the window while it is not 100%.
  const Rect menu = ParseRect(Now().Get("menubutton"));
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(menu.x + menu.w / 2) + " " +
                                                 std::to_string(menu.y + menu.h / 2) + " click 1"));
  ASSERT_TRUE(WaitLine("menu", "1"));
  EXPECT_EQ(Now().Get("menukeys"), "Ctrl+T|Ctrl+F|Ctrl+Q");
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitLine("menu", "0"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+plus"));
  ASSERT_TRUE(WaitLine("zoomshown", "110%"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+0"));
  ASSERT_TRUE(WaitLine("zoomshown", ""));

  // A page that cannot load shows why in the page area; "Try again" is there.
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "http://127.0.0.1:3/"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitFor([&] { return !Now().Get("pageerror").empty(); })) << Now().text << Log();
  EXPECT_GT(ParseRect(Now().Get("errorretry")).w, 0);
  EXPECT_TRUE(WaitFor([&] {
    const Image shot = Screenshot(x.Display(), Shots() + "error.png");
    return shot.Ok() && shot.Dark(area.x, area.y, area.w, area.h / 3, 110) > 200;
  })) << "no reason shown in the page area";
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "one.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("title", "Page One - uicontrol"));
  ASSERT_TRUE(WaitLine("pageerror", ""));

  // Twenty tabs: the strip and its buttons stay in the window, which keeps its size; the
  // new tab is scrolled into view; Ctrl+1..9 and Ctrl+PageUp choose tabs.
  for (int n = 3; n <= 20; ++n) {
    ASSERT_TRUE(Key(x.Display(), "ctrl+t"));
    ASSERT_TRUE(WaitLine("tabs", std::to_string(n)));
  }
  ASSERT_TRUE(WaitLine("selected", "20"));
  auto inWindow = [&](const std::string& name) {
    const Rect r = ParseRect(Now().Get(name));
    return r.w > 0 && r.x >= 0 && r.x + r.w <= window.w;
  };
  auto selectedInStrip = [&] {
    const State s = Now();
    const Rect strip = ParseRect(s.Get("strip"));
    const Rect tab = ParseRect(s.Get("tabtitle"));
    return tab.w > 0 && tab.x >= strip.x && tab.x + tab.w <= strip.x + strip.w;
  };
  // The last tab, scrolled into view, is at the strip's right end.
  ASSERT_TRUE(WaitFor([&] {
    const Rect strip = ParseRect(Now().Get("strip")), tab = ParseRect(Now().Get("tabtitle"));
    return tab.x > strip.x + strip.w / 2;
  })) << Now().text;
  ASSERT_TRUE(WaitFor([&] { return inWindow("strip") && inWindow("newtab") && inWindow("menubutton") && selectedInStrip(); }))
      << Now().text;
  EXPECT_EQ(ParseRect(Now().Get("window")).w, window.w);
  EXPECT_GT(std::stoi(Now().Get("stripscroll")), 0);
  Screenshot(x.Display(), Shots() + "twenty-tabs.png");
  ASSERT_TRUE(Key(x.Display(), "ctrl+1"));
  ASSERT_TRUE(WaitLine("selected", "1"));
  ASSERT_TRUE(WaitLine("stripscroll", "0"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+9"));
  ASSERT_TRUE(WaitLine("selected", "20"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+Page_Up"));
  ASSERT_TRUE(WaitLine("selected", "19"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+3"));
  ASSERT_TRUE(WaitLine("selected", "3"));
  ASSERT_TRUE(WaitFor(selectedInStrip));
  // The wheel over the strip scrolls it.
  const Rect strip = ParseRect(Now().Get("strip"));
  const int before = std::stoi(Now().Get("stripscroll"));
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(strip.x + strip.w / 2) + " " +
                                                 std::to_string(strip.y + strip.h / 2) + " click 5 click 5"));
  ASSERT_TRUE(WaitFor([&] { return std::stoi(Now().Get("stripscroll")) > before; })) << Now().text;

  // The next start opens the window at the size it had.
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool search --name 'uicontrol$' windowsize 900 600"));
  ASSERT_TRUE(WaitLine("windowsize", "900 600"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  ASSERT_EQ(browser->WaitExit(std::chrono::seconds(45)), 0) << Log();
  browser = Start({"one.html"});
  ASSERT_TRUE(WaitLine("title", "Page One - uicontrol"));
  EXPECT_EQ(Now().Get("windowsize"), "900 600");
  ASSERT_TRUE(Key(x.Display(), "ctrl+q"));
  EXPECT_EQ(browser->WaitExit(std::chrono::seconds(45)), 0) << Log();
}

// The widget classes refuse bad arguments from a script with Lua errors; the script goes
// on, and the browser neither crashes nor stops.
TEST_F(DesktopBrowser, BadCallsFromTheScriptAreLuaErrors) {
  const std::string script = folder + "/bad.lua";
  {
    std::ofstream out(script);
    out << R"LUA(
local results = {}
local function try(name, fn)
  local ok, err = pcall(fn)
  results[#results + 1] = name .. " " .. (ok and "ok" or ("error " .. tostring(err):gsub("\n", " ")))
end
function OnStart()
  local strip = ui.tabstrip()
  local box = ui.box(true, 0)
  try("percent", function() ui.progress().SetPercent(101) end)
  try("nan", function() ui.progress().SetPercent(0/0) end)
  try("progress", function() strip.SetProgress(1, -1) end)
  try("type", function() box.Add("not a widget", true) end)
  try("twice", function() local b = ui.button("x") box.Add(b, false) box.Add(b, false) end)
  try("self", function() box.Add(box, false) end)
  try("css", function() ui.style("{{{") end)
  try("size", function() box.SetSize(-5, 3) end)
  try("destroyed", function() local l = ui.label("x") l.Destroy() l.SetText("y") end)
  try("popup", function() ui.menu().PopupBelow(ui.button("unshown")) end)
  try("key", function() ui.menu().AddWithKey("x", "x", "ctrl+NoSuchKey") end)
  try("overlay", function() ui.page_area().AddOverlay(ui.page_area()) end)
  try("unknown tab", function() assert(strip.SetTitle(42, "x") == false) end)
  try("good", function() strip.AddTab(7, -1) strip.SetTitle(7, "seven") assert(strip.TitleOf(7) == "seven") end)
  local file = io.open(host.state_file, "w")
  file:write(table.concat(results, "\n"), "\n")
  file:close()
  error("an error the script does not catch")
end
function OnError(text) host.quit(3) end
)LUA";
  }
  auto browser = Start({"--ui", script});
  EXPECT_EQ(browser->WaitExit(std::chrono::seconds(45)), 3) << Log();
  const State s = Now();
  for (const char* name : {"percent", "nan", "progress", "type", "twice", "self", "css", "size", "destroyed", "popup", "key", "overlay"}) {
    EXPECT_NE(s.text.find(std::string(name) + " error"), std::string::npos) << name << " was not refused:\n" << s.text;
  }
  EXPECT_NE(s.text.find("unknown tab ok"), std::string::npos) << s.text;
  EXPECT_NE(s.text.find("good ok"), std::string::npos) << s.text;
}

TEST(DesktopBrowserOptions, HelpAndBadOptions) {
  EXPECT_EQ(std::system(BROWSER_PROGRAM " --help >/dev/null 2>&1"), 0);
  const int bad = std::system(BROWSER_PROGRAM " --no-such-option >/dev/null 2>&1");
  EXPECT_TRUE(WIFEXITED(bad) && WEXITSTATUS(bad) == 2);
  // Several addresses are allowed; an option without its value after them is not.
  const int two = std::system(BROWSER_PROGRAM " one.html two.html --profile >/dev/null 2>&1");
  EXPECT_TRUE(WIFEXITED(two) && WEXITSTATUS(two) == 2);
}

}  // namespace
}  // namespace desktoptest

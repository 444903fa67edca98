// uicontrol-browser end to end: link hints (f, F) and links opened by the mouse in a tab
// behind the current one, with real keys and clicks on a private X server; checked
// through the chrome's state file and screenshots of the page area.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "desktop/desktopdriver.h"

namespace desktoptest {
namespace {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// Ends the web processes the browser `parent` started (SIGKILL); how many there were.
int KillWebProcesses(pid_t parent) {
  int killed = 0;
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t name = line.find('('), end = line.rfind(')');
    if (name == std::string::npos || end == std::string::npos) continue;
    std::istringstream rest(line.substr(end + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && line.compare(name + 1, 15, "WebKitWebProces") == 0 && kill(pid, SIGKILL) == 0) ++killed;
  }
  closedir(proc);
  return killed;
}

class DesktopHints : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/chromium", X_OK) != 0 ||
        std::system("command -v xdotool >/dev/null && command -v import >/dev/null && command -v Xvfb >/dev/null") != 0)
      GTEST_SKIP() << "needs xdotool, ImageMagick and Xvfb";
    ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
    folder = ::testing::TempDir() + "desktop-hints-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str()), 0);
    statePath = folder + "/state";
    mkdir(SCREENSHOT_DIR, 0755);
  }
  void TearDown() override {
    if (!folder.empty() && !HasFailure()) std::system(("rm -rf '" + folder + "'").c_str());
  }

  std::unique_ptr<Browser> Start(const std::string& page) {
    std::vector<std::string> args = {"--profile", folder + "/profile", "--serve", TEST_PAGES, "--state", statePath, page};
    auto browser = std::make_unique<Browser>(x.Display(), args, folder + "/browser.log");
    desktoptest::Run(x.Display(), "xdotool mousemove 500 400");
    WaitLine("focused", "1");
    return browser;
  }
  State Now() const { return ReadState(statePath); }
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
  Rect Area() const {
    Rect r;
    std::istringstream(Now().Get("pagearea")) >> r.x >> r.y >> r.w >> r.h;
    return r;
  }
  // The pixels of the hint labels' yellow in the page area.
  int Labels(const std::string& shot) {
    const Rect a = Area();
    return Screenshot(x.Display(), std::string(SCREENSHOT_DIR) + "/" + shot).Count(a.x, a.y, a.w, a.h, 255, 216, 61, 24);
  }
  bool Click(int button, int dx, int dy) {
    const Rect a = Area();
    return desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(a.x + dx) + " " + std::to_string(a.y + dy) +
                                " click " + std::to_string(button));
  }
  // Whether a tab's title (line "tab N ID TITLE") is `title`.
  bool TabTitled(int index, const std::string& title) {
    for (const std::string& line : Now().All("tab")) {
      std::istringstream in(line);
      int n = 0, id = 0;
      std::string rest;
      in >> n >> id;
      std::getline(in >> std::ws, rest);
      if (n == index && rest == title) return true;
    }
    return false;
  }

  PrivateX x;
  std::string folder, statePath;
};

// The served page holds three links, 50 pixels high each from the top, and a text field.
TEST_F(DesktopHints, LabelsFollowNewTabsEscapeAndTypingElsewhere) {
  auto browser = Start("hints.html");
  ASSERT_TRUE(WaitLine("title", "Hints - uicontrol"));
  ASSERT_TRUE(WaitLine("progress", "100"));
  // The page gets the keyboard from a click beside its links.
  ASSERT_TRUE(Click(1, Area().w - 40, Area().h - 40));
  ASSERT_TRUE(WaitLine("pagefocus", "1"));
  EXPECT_EQ(Labels("hints-none.png"), 0);

  // f labels the three links and the field (one letter each, the first "a"); Esc leaves.
  ASSERT_TRUE(Key(x.Display(), "f"));
  ASSERT_TRUE(WaitLine("hints", "4"));
  EXPECT_TRUE(WaitFor([&] { return Labels("hints-shown.png") > 200; })) << "no labels drawn";
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitLine("hints", "0"));
  EXPECT_TRUE(WaitFor([&] { return Labels("hints-left.png") == 0; })) << "the labels stayed";
  EXPECT_EQ(Now().Get("title"), "Hints - uicontrol");

  // A key that matches no label leaves hint mode too.
  ASSERT_TRUE(Key(x.Display(), "f"));
  ASSERT_TRUE(WaitLine("hints", "4"));
  ASSERT_TRUE(Key(x.Display(), "z"));
  ASSERT_TRUE(WaitLine("hints", "0"));
  EXPECT_TRUE(WaitFor([&] { return Labels("hints-nomatch.png") == 0; }));

  // F and the second label: page two in a new tab behind this one.
  ASSERT_TRUE(Key(x.Display(), "shift+f"));
  ASSERT_TRUE(WaitLine("hints", "4"));
  ASSERT_TRUE(Key(x.Display(), "s"));
  ASSERT_TRUE(WaitLine("tabs", "2"));
  ASSERT_TRUE(WaitFor([&] { return TabTitled(2, "Page Two"); })) << Now().text;
  EXPECT_EQ(Now().Get("selected"), "1");
  EXPECT_EQ(Now().Get("title"), "Hints - uicontrol");
  ASSERT_TRUE(WaitLine("hints", "0"));

  // A middle click on the third link: page three behind this one.
  ASSERT_TRUE(Click(2, 60, 125));
  ASSERT_TRUE(WaitLine("tabs", "3"));
  ASSERT_TRUE(WaitFor([&] { return TabTitled(3, "Page Three"); })) << Now().text;
  EXPECT_EQ(Now().Get("selected"), "1");
  EXPECT_EQ(Now().Get("title"), "Hints - uicontrol");

  // Ctrl+click on the first link, and the context menu's entry on the second: behind too.
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(Area().x + 60) + " " +
                                                 std::to_string(Area().y + 25) + " keydown ctrl click 1 keyup ctrl"));
  ASSERT_TRUE(WaitLine("tabs", "4"));
  ASSERT_TRUE(WaitFor([&] { return TabTitled(4, "Page One"); })) << Now().text;
  ASSERT_TRUE(Click(3, 60, 80));
  ASSERT_TRUE(WaitFor([&] {
    Key(x.Display(), "Down Down Return");
    return WaitFor([&] { return Now().Get("tabs") == "5"; }, std::chrono::seconds(3));
  })) << "the context menu opened no tab\n" << Now().text;
  ASSERT_TRUE(WaitFor([&] { return TabTitled(5, "Page Two"); })) << Now().text;
  EXPECT_EQ(Now().Get("selected"), "1");
  EXPECT_EQ(Now().Get("title"), "Hints - uicontrol");

  // The field with the keyboard: f is typed there (the page titles itself with it).
  ASSERT_TRUE(Click(1, 60, 200));
  ASSERT_TRUE(Key(x.Display(), "f"));
  ASSERT_TRUE(WaitLine("title", "typed f - uicontrol"));
  EXPECT_EQ(Now().Get("hints"), "0");

  // In the address entry f is typed too.
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(WaitLine("addressfocus", "1"));
  ASSERT_TRUE(Type(x.Display(), "f"));
  ASSERT_TRUE(WaitLine("address", "f"));
  EXPECT_EQ(Now().Get("hints"), "0");
  ASSERT_TRUE(Key(x.Display(), "Escape"));
  ASSERT_TRUE(WaitLine("pagefocus", "1"));

  // f and the first label follow the link in this tab.
  ASSERT_TRUE(Click(1, Area().w - 40, Area().h - 40));
  ASSERT_TRUE(Key(x.Display(), "f"));
  ASSERT_TRUE(WaitLine("hints", "4"));
  ASSERT_TRUE(Key(x.Display(), "a"));
  ASSERT_TRUE(WaitLine("title", "Page One - uicontrol"));
  EXPECT_EQ(Now().Get("tabs"), "5");
  EXPECT_EQ(Now().Get("hints"), "0");
}

// A load that fails stops the tab's spinner; a page whose process died shows so in the
// page area and on its tab, and its reload button brings it back.
TEST_F(DesktopHints, AFailedLoadStopsLoadingAndACrashedPageOffersAReload) {
  auto browser = Start("hints.html");
  ASSERT_TRUE(WaitLine("title", "Hints - uicontrol"));
  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(WaitLine("addressfocus", "1"));
  ASSERT_TRUE(Type(x.Display(), "127.0.0.1:47/nothing.html"));  // a port nothing listens on
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitFor([&] { return !Now().Get("pageerror").empty(); })) << Now().text;
  ASSERT_TRUE(WaitLine("tabprogress", "1 100"));
  EXPECT_EQ(Now().Get("progress"), "100");

  ASSERT_TRUE(Key(x.Display(), "ctrl+l"));
  ASSERT_TRUE(Type(x.Display(), "hints.html"));
  ASSERT_TRUE(Key(x.Display(), "Return"));
  ASSERT_TRUE(WaitLine("title", "Hints - uicontrol"));
  ASSERT_TRUE(WaitLine("pageerror", ""));
  const Rect a = Area();
  const Image before = Screenshot(x.Display(), std::string(SCREENSHOT_DIR) + "/before-crash.png");

  ASSERT_GT(KillWebProcesses(browser->Pid()), 0) << "no web process to end";
  ASSERT_TRUE(WaitLine("crashed", "1"));
  ASSERT_TRUE(WaitFor([&] { return Now().Get("pageerror").find("process ended") != std::string::npos; })) << Now().text;
  EXPECT_EQ(Now().Get("tabprogress"), "1 100");
  // The page area shows the notice instead of the links: its middle changed.
  ASSERT_TRUE(WaitFor([&] {
    const Image shot = Screenshot(x.Display(), std::string(SCREENSHOT_DIR) + "/crashed.png");
    return shot.Dark(a.x + a.w / 4, a.y + a.h / 4, a.w / 2, a.h / 2, 110) != before.Dark(a.x + a.w / 4, a.y + a.h / 4, a.w / 2, a.h / 2, 110);
  }));
  Rect retry;
  std::istringstream(Now().Get("errorretry")) >> retry.x >> retry.y >> retry.w >> retry.h;
  ASSERT_GT(retry.w, 0);
  ASSERT_TRUE(desktoptest::Run(x.Display(), "xdotool mousemove " + std::to_string(retry.x + retry.w / 2) + " " +
                                                 std::to_string(retry.y + retry.h / 2) + " click 1"));
  ASSERT_TRUE(WaitLine("crashed", ""));
  ASSERT_TRUE(WaitLine("pageerror", ""));
  ASSERT_TRUE(WaitLine("title", "Hints - uicontrol"));
  ASSERT_TRUE(WaitLine("progress", "100"));
}

}  // namespace
}  // namespace desktoptest

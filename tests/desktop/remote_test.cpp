// uicontrol-browser started with an address while another runs on the same profile: the
// address opens as a tab of the running one (its chrome's state file shows it) and the
// second program ends at once with status 0; so does an address handed to xdg-open once
// the browser is the default one.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "desktop/desktopdriver.h"

namespace desktoptest {
namespace {

bool HaveTools() {
  return access("/usr/bin/chromium", X_OK) == 0 &&
         std::system("command -v Xvfb >/dev/null && command -v xdg-open >/dev/null && command -v xdg-settings >/dev/null") == 0;
}

bool HasTab(const State& state, const std::string& title) {
  for (const std::string& tab : state.All("tab"))
    if (tab.size() >= title.size() && tab.compare(tab.size() - title.size(), title.size(), title) == 0) return true;
  return false;
}

TEST(DesktopRemote, ASecondStartOpensItsAddressInTheRunningBrowser) {
  if (!HaveTools()) GTEST_SKIP() << "needs chromium, Xvfb and xdg-utils";
  PrivateX x;
  ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
  const std::string folder = ::testing::TempDir() + "desktop-remote-" + std::to_string(getpid());
  ASSERT_EQ(std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str()), 0);
  const std::string profile = folder + "/profile", state = folder + "/state";
  auto log = [&] {
    std::ifstream in(folder + "/browser.log");
    std::stringstream text;
    text << in.rdbuf();
    return "state:\n" + ReadState(state).text + "browser output:\n" + text.str();
  };
  Browser first(x.Display(), {"--profile", profile, "--serve", TEST_PAGES, "--state", state, "one.html"},
                folder + "/browser.log");
  ASSERT_TRUE(WaitFor([&] { return HasTab(ReadState(state), "Page One"); })) << log();

  // The second program needs no display of its own: it only hands the address over.
  const auto began = std::chrono::steady_clock::now();
  const std::string second = std::string(BROWSER_PROGRAM) + " --profile '" + profile + "' two.html";
  EXPECT_TRUE(desktoptest::Run(x.Display(), second)) << log();
  const auto handedOver = std::chrono::steady_clock::now() - began;
  EXPECT_LT(handedOver, std::chrono::seconds(20));
  ASSERT_TRUE(WaitFor([&] { return HasTab(ReadState(state), "Page Two"); })) << log();
  const auto shown = std::chrono::steady_clock::now() - began;
  EXPECT_TRUE(HasTab(ReadState(state), "Page One")) << log();
  EXPECT_TRUE(first.Running());
  // A figure for the README's benchmark, not a limit.
  std::printf("second start to the tab's title in the chrome: %lld ms (the second program ended after %lld ms)\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(shown).count()),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(handedOver).count()));

  // Made the default browser of a home of its own, it opens what xdg-open is given.
  const std::string home = folder + "/home", apps = home + "/.local/share/applications";
  ASSERT_EQ(std::system(("mkdir -p '" + apps + "' '" + home + "/.config'").c_str()), 0);
  {
    std::ifstream entry(DESKTOP_ENTRY);
    std::ofstream own(apps + "/uicontrol-browser.desktop");
    for (std::string line; std::getline(entry, line);) {
      if (line.rfind("Exec=", 0) == 0) line = "Exec=" + std::string(BROWSER_PROGRAM) + " --profile " + profile + " %U";
      own << line << "\n";
    }
  }
  std::string port;
  std::ifstream(profile + "/served-port") >> port;
  const std::string env = "env -u BROWSER -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION HOME='" + home +
                          "' XDG_DATA_HOME='" + home + "/.local/share' XDG_CONFIG_HOME='" + home + "/.config' ";
  ASSERT_TRUE(desktoptest::Run(x.Display(), env + "xdg-settings set default-web-browser uicontrol-browser.desktop"));
  EXPECT_TRUE(desktoptest::Run(x.Display(), env + "xdg-open http://127.0.0.1:" + port + "/three.html")) << log();
  ASSERT_TRUE(WaitFor([&] { return HasTab(ReadState(state), "Page Three"); })) << log();

  kill(first.Pid(), SIGTERM);
  EXPECT_EQ(first.WaitExit(std::chrono::seconds(60)), 0) << log();
  if (!HasFailure()) std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
}  // namespace desktoptest

// The host's side of content blocking: the filter lists read off the UI thread, their
// figures logged once, the store's list of sites switched off, and host.blocking and
// host.set_blocking as a script sees them.
#include "host/filterlists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/luashell.h"

namespace {

TEST(FilterLists, TheProfilesListsAndTheNamedOnesMakeOneSetAndItsFiguresAreLoggedOnce) {
  char folder[] = "/tmp/filterlists_test_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  const std::string filters = std::string(folder) + "/filters";
  std::filesystem::create_directory(filters);
  std::ofstream(filters + "/a.txt") << "||ads.test^\n##.banner\n";
  std::ofstream(filters + "/b.txt") << "/track.js^$script\nbad$unknown-option\n";
  std::ofstream(filters + "/notes.md") << "||notes.test^\n";  // not a list: not read
  const std::string named = std::string(folder) + "/named.txt", missing = std::string(folder) + "/missing.txt";
  std::ofstream(named) << "||named.test^\n";

  auto blocker = std::make_shared<pagecore::CContentBlocker>();
  std::vector<std::string> logged;
  {
    CFilterListLoad load(blocker, {named, missing}, filters, {"http://127.0.0.1:8765/"},
                         [&logged](const std::string& text) { logged.push_back(text); });
  }  // waits for the build
  ASSERT_TRUE(blocker->Filters());
  using contentfilter::ResourceType;
  EXPECT_TRUE(blocker->Blocks("https://ads.test/x.png", "https://news.test/", "https://news.test/", ResourceType::Image));
  EXPECT_TRUE(blocker->Blocks("https://cdn.test/track.js", "https://news.test/", "https://news.test/", ResourceType::Script));
  EXPECT_TRUE(blocker->Blocks("https://named.test/", "https://news.test/", "https://news.test/", ResourceType::Image));
  EXPECT_FALSE(blocker->Blocks("https://notes.test/", "https://news.test/", "https://news.test/", ResourceType::Image));
  EXPECT_FALSE(blocker->Blocks("http://127.0.0.1:8765/track.js", "http://127.0.0.1:8765/", "http://127.0.0.1:8765/",
                               ResourceType::Script))
      << "the browser's own origin is trusted";
  ASSERT_EQ(1u, logged.size());
  const std::string& text = logged[0];
  EXPECT_NE(std::string::npos, text.find("3 list(s) read")) << text;
  EXPECT_NE(std::string::npos, text.find("3 blocking rules")) << text;
  EXPECT_NE(std::string::npos, text.find("1 unsupported option")) << text;
  EXPECT_NE(std::string::npos, text.find("not readable: " + missing)) << text;
  EXPECT_NE(std::string::npos, text.find("b.txt:2: unsupported option")) << text;
  std::filesystem::remove_all(folder);
}

TEST(FilterLists, SiteListsReadWhatTheStoreKeepsAndWriteItBack) {
  EXPECT_EQ((std::vector<std::string>{"a.test", "b.test"}), ReadSiteList(L"a.test\n\nb.test\n"));
  EXPECT_TRUE(ReadSiteList(L"").empty());
  EXPECT_EQ(L"a.test\nb.test", WriteSiteList({"a.test", "b.test"}));
  EXPECT_EQ(L"", WriteSiteList({}));
}

TEST(FilterLists, TheScriptAsksAndSetsBlockingThroughTheHostsHooks) {
  char path[] = "/tmp/filterlists_lua_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "local on, site = host.blocking('https://News.test/a')\n"
                         "assert(on == true and site == 'news.test', tostring(on) .. ' ' .. tostring(site))\n"
                         "assert(host.blocking('') == nil)\n"
                         "assert(host.set_blocking('news.test', false) == true)\n"
                         "assert(host.blocking('news.test') == false)\n"
                         "local ok, why = host.set_blocking('bad site', false)\n"
                         "assert(ok == nil and why == 'no site', tostring(why))\n"
                         "assert(not pcall(host.set_blocking, 'news.test'), 'on or off must be said')\n";
  CLuaShell shell;
  pagecore::CContentBlocker blocker;
  CLuaShell::BlockingHooks hooks;
  hooks.state = [&blocker](const std::string& site, bool* on, std::string* host) {
    *host = pagecore::HostOfAddress(site.find("://") == std::string::npos ? "http://" + site + "/" : site);
    *on = !blocker.SiteOff(*host);
    return !host->empty();
  };
  hooks.set = [&blocker](const std::string& site, bool on) -> std::string {
    if (site.find(' ') != std::string::npos) return "no site";
    blocker.SetSiteOff(site, !on);
    return "";
  };
  shell.SetBlockingHooks(std::move(hooks));
  std::string error;
  EXPECT_TRUE(shell.RunScript(path, &error)) << error;
  std::remove(path);
  EXPECT_TRUE(blocker.SiteOff("news.test"));
}

}  // namespace

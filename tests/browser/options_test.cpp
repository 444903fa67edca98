// The browser's command line: its own options taken out, the rest read as the shell's.
#include <gtest/gtest.h>

#include <vector>

#include "browser/browseroptions.h"

namespace {

bool Parse(std::vector<const char*> args, BrowserOptions* options, std::string* error) {
  args.insert(args.begin(), "uicontrol-browser");
  return ParseBrowserOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), "default.lua", options,
                             error);
}

TEST(BrowserOptions, OwnOptionsStartAddressAndTheShellsOptions) {
  BrowserOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--state", "/tmp/s", "--profile", "p", "news.html", "--restore", "--serve", "pages"}, &options,
                    &error))
      << error;
  EXPECT_EQ(options.stateFile, "/tmp/s");
  EXPECT_EQ(options.startURL, "news.html");
  EXPECT_EQ(options.shell.profile, "p");
  EXPECT_EQ(options.shell.serve, "pages");
  EXPECT_TRUE(options.shell.restore);
  EXPECT_EQ(options.shell.ui, "default.lua");
}

TEST(BrowserOptions, AValueThatLooksLikeAnAddressStaysWithItsOption) {
  BrowserOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--home", "example.org", "--ui", "my.lua", "--", "arg.html"}, &options, &error)) << error;
  EXPECT_EQ(options.startURL, "");
  EXPECT_EQ(options.shell.home, "example.org");
  EXPECT_EQ(options.shell.ui, "my.lua");
  ASSERT_EQ(options.shell.scriptArgs.size(), 1u);
  EXPECT_EQ(options.shell.scriptArgs[0], "arg.html");
}

TEST(BrowserOptions, MistakesAreNamedAndAddressesKept) {
  BrowserOptions options;
  std::string error;
  EXPECT_FALSE(Parse({"--state"}, &options, &error));
  EXPECT_NE(error.find("--state"), std::string::npos);
  // Several addresses: the first is the start page, the others open beside it.
  BrowserOptions second;
  ASSERT_TRUE(Parse({"a.html", "--restore", "b.html", "c.html"}, &second, &error)) << error;
  EXPECT_EQ(second.startURL, "a.html");
  EXPECT_EQ(second.shell.urls, (std::vector<std::string>{"b.html", "c.html"}));
  BrowserOptions third;
  EXPECT_FALSE(Parse({"--bogus"}, &third, &error));
  EXPECT_NE(error.find("--bogus"), std::string::npos);
  EXPECT_NE(BrowserUsage().find("--state FILE"), std::string::npos);
  EXPECT_EQ(BrowserUsage().find("uicontrol-shell"), std::string::npos);
}

}  // namespace

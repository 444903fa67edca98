// The engine-neutral side of content blocking: which requests a page's blocker stops
// (resource types as Chromium names them, the site blocking is off for, no filters yet),
// the element hiding parts, and the hosts a page's address gives.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "components/pagecore/contentblocking.h"

namespace {

using contentfilter::ResourceType;

const char kList[] =
    "||ads.test^$third-party\n"
    "/pixel.gif^$image\n"
    "/frame-ad.html^$subdocument\n"
    "||popup.test^$document\n"
    "##.banner\n"
    "news.test##.teaser\n"
    "quiet.test#@#.banner\n";

struct RequestCase {
  const char* name;
  const char* url;
  const char* document;
  const char* page;
  const char* devToolsType;
  bool mainFrame;
  bool blocked;
};
std::ostream& operator<<(std::ostream& out, const RequestCase& c) { return out << c.name; }

const RequestCase kRequests[] = {
    {"ThirdPartyScript", "https://ads.test/a.js", "https://news.test/", "https://news.test/", "Script", false, true},
    {"FirstPartyIsNotThirdParty", "https://ads.test/a.js", "https://ads.test/", "https://ads.test/", "Script", false, false},
    {"ImageTypeMatches", "https://cdn.test/pixel.gif", "https://news.test/", "https://news.test/", "Image", false, true},
    {"ImageRuleLeavesAScript", "https://cdn.test/pixel.gif", "https://news.test/", "https://news.test/", "Script", false, false},
    {"FrameDocumentIsASubdocument", "https://cdn.test/frame-ad.html", "https://news.test/", "https://news.test/", "Document", false, true},
    {"TopDocumentIsNoSubdocument", "https://cdn.test/frame-ad.html", "", "https://cdn.test/frame-ad.html", "Document", true, false},
    {"DocumentRuleStopsATopNavigation", "https://popup.test/", "", "https://popup.test/", "Document", true, true},
    {"SiteSwitchedOff", "https://ads.test/a.js", "https://off.test/", "https://off.test/x", "Script", false, false},
    {"SiteOffGoesByThePageNotTheFrame", "https://ads.test/a.js", "https://off.test/", "https://news.test/", "Script", false, true},
    {"UnknownTypeIsOther", "https://ads.test/a", "https://news.test/", "https://news.test/", "SomethingNew", false, true},
    {"NotAnAddress", "data:text/plain,x", "https://news.test/", "https://news.test/", "Image", false, false},
};

class BlockerTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(BlockerTest, DecidesWhatLeaves) {
  const RequestCase& c = GetParam();
  pagecore::CContentBlocker blocker;
  EXPECT_FALSE(blocker.Blocks(c.url, c.document, c.page, ResourceType::Script)) << "no filters, nothing blocked";
  contentfilter::FilterSetBuilder builder;
  builder.AddListText(kList, "list");
  blocker.SetFilters(builder.Build());
  ASSERT_TRUE(blocker.SetSiteOff("OFF.test", true));
  const ResourceType type = pagecore::ResourceTypeOfDevTools(c.devToolsType, c.mainFrame);
  std::string rule;
  EXPECT_EQ(c.blocked, blocker.Blocks(c.url, c.document, c.page, type, &rule)) << rule;
  EXPECT_EQ(c.blocked, !rule.empty() && blocker.Blocks(c.url, c.document, c.page, type));
}

INSTANTIATE_TEST_SUITE_P(Requests, BlockerTest, ::testing::ValuesIn(kRequests),
                         [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST(ContentBlocker, HidingSharesTheGenericSheetAndSitesOffAreHeardAndForgotten) {
  pagecore::CContentBlocker blocker;
  int heard = 0;
  const int listener = blocker.AddListener([&heard] { ++heard; });
  EXPECT_TRUE(blocker.HidingFor("https://news.test/", "https://news.test/").empty());
  contentfilter::FilterSetBuilder builder;
  builder.AddListText(kList, "list");
  blocker.SetFilters(builder.Build());
  EXPECT_EQ(1, heard);

  const auto news = blocker.HidingFor("https://news.test/a", "https://news.test/a");
  const auto other = blocker.HidingFor("https://other.test/", "https://other.test/");
  ASSERT_TRUE(news.generic && other.generic);
  EXPECT_EQ(news.generic.get(), other.generic.get()) << "one generic sheet for every page";
  EXPECT_EQ(".teaser { display: none !important; }\n", news.own);
  EXPECT_EQ("", other.own);
  // An exception for the site cancels a generic selector: the page gets a sheet of its own.
  const auto quiet = blocker.HidingFor("https://quiet.test/", "https://quiet.test/");
  EXPECT_FALSE(quiet.generic);
  EXPECT_EQ("", quiet.Whole());

  EXPECT_FALSE(blocker.SetSiteOff("", true));
  EXPECT_TRUE(blocker.SetSiteOff("News.Test", true));
  EXPECT_TRUE(blocker.SetSiteOff("news.test", true));  // no change, nobody told
  EXPECT_EQ(2, heard);
  EXPECT_TRUE(blocker.SiteOff("NEWS.test"));
  EXPECT_TRUE(blocker.HidingFor("https://news.test/a", "https://news.test/a").empty());
  EXPECT_EQ(std::vector<std::string>{"news.test"}, blocker.SitesOff());
  blocker.RemoveListener(listener);
  EXPECT_TRUE(blocker.SetSiteOff("news.test", false));
  EXPECT_EQ(2, heard);
  EXPECT_FALSE(blocker.SiteOff("news.test"));
}

TEST(ContentBlocker, DecidesOnManyThreadsWhileItsSetAndSitesChange) {
  // Pages of both engines ask from their threads while the host hands over a set and the
  // user switches sites off: every answer is one of a whole state, nothing races.
  pagecore::CContentBlocker blocker;
  contentfilter::FilterSetBuilder one, two;
  one.AddListText(kList, "one");
  two.AddListText("||other.test^\n##.other\n", "two");
  const auto first = one.Build(), second = two.Build();
  std::atomic<int> heard{0};
  blocker.AddListener([&heard] { ++heard; });
  std::atomic<bool> done{false};
  std::vector<std::thread> pages;
  std::atomic<int> inconsistent{0};
  for (int i = 0; i < 3; ++i) {
    pages.emplace_back([&] {
      while (!done.load()) {
        std::string rule;
        const bool blocked =
            blocker.Blocks("https://ads.test/a.js", "https://news.test/", "https://news.test/", ResourceType::Script, &rule);
        if (blocked && rule.empty()) ++inconsistent;
        const auto hiding = blocker.HidingFor("https://news.test/", "https://news.test/");
        if (hiding.generic && hiding.generic->empty()) ++inconsistent;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    blocker.SetFilters(i % 3 == 0 ? first : i % 3 == 1 ? second : nullptr);
    blocker.SetSiteOff("news.test", i % 2 == 0);
  }
  done = true;
  for (std::thread& page : pages) page.join();
  EXPECT_EQ(0, inconsistent.load());
  EXPECT_EQ(4000, heard.load());
}

TEST(ContentBlocker, HostOfAnAddress) {
  EXPECT_EQ("ads.example", pagecore::HostOfAddress("https://Ads.Example:8080/x?y#z"));
  EXPECT_EQ("127.0.0.1", pagecore::HostOfAddress("http://user:pw@127.0.0.1:99"));
  EXPECT_EQ("[::1]", pagecore::HostOfAddress("HTTP://[::1]:80/"));
  EXPECT_EQ("", pagecore::HostOfAddress("http://[::1"));
  EXPECT_EQ("", pagecore::HostOfAddress("about:blank"));
  EXPECT_EQ("", pagecore::HostOfAddress("ftp://host/"));
  EXPECT_EQ("", pagecore::HostOfAddress(""));
}

}  // namespace

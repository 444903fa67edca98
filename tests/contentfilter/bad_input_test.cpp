// Bad input: every line a list may hold is used or counted under its reason, never
// misread; a large generated list loads and answers as the plain loop does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "components/contentfilter/contentfilter.h"

namespace {

using contentfilter::FilterSetBuilder;
using contentfilter::ResourceType;
using contentfilter::SkipReason;
using contentfilter::Verdict;

struct BadLine {
  std::string line;
  SkipReason reason;
};

std::vector<BadLine> BadLines() {
  return {
      {std::string("||bin\0ary.com^", 14), SkipReason::Binary},
      {"||bad\xff\xfeutf8.com^", SkipReason::Binary},
      {"||" + std::string(contentfilter::kMaxLineLength, 'a') + ".com^", SkipReason::LineTooLong},
      {"/ads(/", SkipReason::BadRegex},
      {"/[ads/$image", SkipReason::BadRegex},
      {"/(a+)+$/", SkipReason::CostlyRegex},
      {"/(x)\\1/", SkipReason::CostlyRegex},
      {"/" + std::string(contentfilter::kMaxRegexLength + 1, 'a') + "/", SkipReason::CostlyRegex},
      {"||empty.com^$", SkipReason::EmptyOption},
      {"||empty.com^$script,,image", SkipReason::EmptyOption},
      {"||unknown.com^$redirect=noop.js", SkipReason::UnsupportedOption},
      {"||unknown.com^$csp=script-src 'none'", SkipReason::UnsupportedOption},
      {"||unknown.com^$removeparam=utm", SkipReason::UnsupportedOption},
      {"||unknown.com^$popup", SkipReason::UnsupportedOption},
      {"||unknown.com^$generichide", SkipReason::UnsupportedOption},
      {"||bad.com^$domain=", SkipReason::BadOptionValue},
      {"||bad.com^$script,~script", SkipReason::BadOptionValue},
      {"||bad.com^$third-party,~third-party", SkipReason::BadOptionValue},
      {"||bad.com^$domain=example.*", SkipReason::UnsupportedDomain},
      {"example.com##+js(set-constant, x, 1)", SkipReason::Scriptlet},
      {"example.com#%#window.x=1", SkipReason::Scriptlet},
      {"example.com#?#div:has-text(Sponsored)", SkipReason::ProceduralCosmetic},
      {"##div:-abp-has(.ad)", SkipReason::ProceduralCosmetic},
      {"example.com##.x:style(color: red)", SkipReason::ProceduralCosmetic},
      {"example.com#$#body { overflow: auto }", SkipReason::ExtendedCosmetic},
      {"example.com##^script:has-text(ad)", SkipReason::HtmlFilter},
      {"##div{color:red", SkipReason::BadSelector},
      {"news.com##.x {margin-top:0 !important;}", SkipReason::ExtendedCosmetic},
      {"||csp.com^$csp=default-src 'self' https://csp.com", SkipReason::UnsupportedOption},
      {"##div[title=\"x]", SkipReason::BadSelector},
      {"##a /* b", SkipReason::BadSelector},
      {"##", SkipReason::BadSelector},
      {"example.*##.ad", SkipReason::UnsupportedDomain},
      {"a.com,,b.com##.ad", SkipReason::UnsupportedDomain},
      {"*", SkipReason::MatchesEverything},
      {"@@", SkipReason::MatchesEverything},
      {"||", SkipReason::Malformed},
      {"this is not a rule", SkipReason::Malformed},
      {"ads banner$image", SkipReason::Malformed},
  };
}

TEST(BadInput, EachGarbageLineIsCountedUnderItsReasonAndGoodLinesStillWork) {
  std::string list = "[Adblock Plus 2.0]\n! comment\n\n||good.com^\r\n";
  for (const BadLine& bad : BadLines()) list += bad.line + "\n";
  list += "##.still-hidden";  // last line without a newline
  FilterSetBuilder builder;
  builder.AddListText(list, "garbage");
  const auto set = builder.Build();
  const auto& stats = set->Stats();
  size_t expected[static_cast<size_t>(SkipReason::Count)] = {};
  for (const BadLine& bad : BadLines()) ++expected[static_cast<size_t>(bad.reason)];
  for (size_t r = 0; r < static_cast<size_t>(SkipReason::Count); ++r) {
    EXPECT_EQ(stats.skipped[r], expected[r]) << contentfilter::SkipReasonName(static_cast<SkipReason>(r));
  }
  EXPECT_EQ(stats.comments, 3u);
  EXPECT_EQ(stats.blockingRules, 1u);
  EXPECT_EQ(stats.hidingRules, 1u);
  EXPECT_EQ(stats.lines, BadLines().size() + 5);
  EXPECT_FALSE(stats.skippedExamples.empty());

  EXPECT_EQ(set->Match("https://good.com/x", "https://news.org/", ResourceType::Script).verdict, Verdict::Blocked);
  // A rule with an option the matcher lacks is not applied without that option.
  EXPECT_EQ(set->Match("https://unknown.com/x", "https://news.org/", ResourceType::Script).verdict, Verdict::NoMatch);
  EXPECT_EQ(set->Match("https://empty.com/x", "https://news.org/", ResourceType::Script).verdict, Verdict::NoMatch);
  EXPECT_EQ(set->Match("https://csp.com/x", "https://news.org/", ResourceType::Document).verdict, Verdict::NoMatch);
  EXPECT_EQ(set->HiddenSelectors("https://example.com/"), std::vector<std::string>{".still-hidden"});
}

TEST(BadInput, RegexRulesAreNotTriedOnOverlongAddresses) {
  FilterSetBuilder builder;
  builder.AddListText("/\\/ads\\/.*x/", "regex");
  const auto set = builder.Build();
  const std::string shortUrl = "https://a.com/ads/x";
  const std::string longUrl = "https://a.com/ads/" + std::string(contentfilter::kMaxRegexSubjectLength, 'y') + "x";
  EXPECT_EQ(set->Match(shortUrl, "", ResourceType::Script).verdict, Verdict::Blocked);
  EXPECT_EQ(set->Match(longUrl, "", ResourceType::Script).verdict, Verdict::NoMatch);
}

TEST(BadInput, FilesAndFolders) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / "contentfilter_lists";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "b.txt") << "||b.com^\n";
  std::ofstream(folder / "a.txt") << "||a.com^\n";
  std::ofstream(folder / "notes.md") << "||md.com^\n";
  FilterSetBuilder builder;
  EXPECT_EQ(builder.AddListFolder(folder.string()), 2u);
  EXPECT_FALSE(builder.AddListFile((folder / "missing.txt").string()));
  EXPECT_EQ(builder.AddListFolder((folder / "no-such-folder").string()), 0u);
  const auto set = builder.Build();
  EXPECT_EQ(set->Stats().files.size(), 2u);
  EXPECT_EQ(set->Stats().unreadFiles.size(), 1u);
  EXPECT_TRUE(set->Match("https://a.com/", "", ResourceType::Image).blocked());
  EXPECT_TRUE(set->Match("https://b.com/", "", ResourceType::Image).blocked());
  EXPECT_FALSE(set->Match("https://md.com/", "", ResourceType::Image).blocked());
  std::filesystem::remove_all(folder);
}

// A generated list of 100,000 rules of every kind (its load time is measured by the
// benchmark): every rule's own address is decided as the plain loop decides it.
TEST(BadInput, HundredThousandLineListAnswersAsThePlainLoop) {
  std::string list;
  std::vector<std::string> urls;
  for (int i = 0; i < 100000; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 5) {
      case 0: list += "||host" + n + ".example^\n"; urls.push_back("https://host" + n + ".example/x"); break;
      case 1: list += "/path" + n + "/*.js$script\n"; urls.push_back("https://cdn.net/path" + n + "/a.js"); break;
      case 2: list += "@@||host" + std::to_string(i - 2) + ".example/ok^\n"; urls.push_back("https://host" + std::to_string(i - 2) + ".example/ok/"); break;
      case 3: list += "-ad" + n + "-$domain=site" + n + ".org\n"; urls.push_back("https://x.com/a-ad" + n + "-b"); break;
      default: list += "site" + n + ".org##.ad" + n + "\n"; urls.push_back("https://site" + n + ".org/"); break;
    }
  }
  FilterSetBuilder builder;
  builder.AddListText(list, "generated");
  const auto set = builder.Build();
  EXPECT_EQ(set->Stats().skippedTotal(), 0u);
  EXPECT_EQ(set->NetworkRuleCount(), 80000u);
  size_t blocked = 0;
  for (size_t i = 0; i < urls.size(); ++i) {
    const std::string document = "https://site" + std::to_string(i) + ".org/";
    const auto indexed = set->Match(urls[i], document, ResourceType::Script);
    if (i % 100 == 0) {  // the loop over 80,000 rules is slow: a sample
      const auto scanned = set->MatchByScan(urls[i], document, ResourceType::Script);
      ASSERT_EQ(indexed.verdict, scanned.verdict) << urls[i];
      ASSERT_EQ(indexed.rule, scanned.rule) << urls[i];
    }
    blocked += indexed.blocked();
  }
  EXPECT_EQ(blocked, 60000u);  // kinds 0, 1 and 3; kind 2 is allowed by its exception
  EXPECT_EQ(set->HiddenSelectors("https://site4.org/"), std::vector<std::string>{".ad4"});
}

}  // namespace

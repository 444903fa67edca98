// Element hiding: generic and per-domain rules, their exceptions, and the page-wide
// exceptions $elemhide and $generichide.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "components/contentfilter/contentfilter.h"

namespace {

using ::testing::UnorderedElementsAreArray;

const char kList[] =
    "##.ad-banner\n"
    "example.com##.promo\n"
    "example.com,~shop.example.com##.sidebar-ad\n"
    "example.com#@#.ad-banner\n"
    "##.generic-only\n"
    "##.everywhere-allowed\n"
    "#@#.everywhere-allowed\n"
    "other.org,~news.other.org##div[id=\"x\"]\n"
    "~quiet.net##.loud\n"
    "@@||nogeneric.com^$generichide\n"
    "@@||nohiding.com^$elemhide\n"
    "@@||alldone.com^$document\n"
    "nogeneric.com##.specific\n"
    "nohiding.com##.specific\n"
    "##.ad-banner\n";

struct PageCase {
  const char* name;
  const char* page;
  std::vector<std::string> selectors;
};
std::ostream& operator<<(std::ostream& out, const PageCase& c) { return out << c.name; }

const PageCase kPages[] = {
    {"DomainRulesAndGenericLessException", "https://www.example.com/a", {".promo", ".sidebar-ad", ".generic-only", ".loud"}},
    {"ExcludedSubdomain", "https://shop.example.com/", {".promo", ".generic-only", ".loud"}},
    {"UnrelatedSiteGenericOnce", "https://unrelated.net/", {".ad-banner", ".generic-only", ".loud"}},
    {"ExcludeOnlyRule", "https://www.quiet.net/", {".ad-banner", ".generic-only"}},
    {"IncludedDomain", "https://other.org/", {".ad-banner", ".generic-only", ".loud", "div[id=\"x\"]"}},
    {"MoreSpecificExclusion", "https://news.other.org/", {".ad-banner", ".generic-only", ".loud"}},
    {"GenericHide", "https://nogeneric.com/", {".specific"}},
    {"ElemHide", "https://www.nohiding.com/", {}},
    {"DocumentException", "https://alldone.com/", {}},
    {"TrustedOrigin", "http://127.0.0.1:8765/news.html", {}},
    {"NotAnAddress", "about:blank", {}},
};

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) lines.insert(text.substr(start, end - start));
  return lines;
}

class ElementHidingTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(ElementHidingTest, SelectorsForPage) {
  contentfilter::FilterSetBuilder builder;
  builder.AddListText(kList, "hiding");
  builder.AddTrustedOrigin("http://127.0.0.1:8765");
  const auto set = builder.Build();
  ASSERT_EQ(set->Stats().skippedTotal(), 0u);
  const std::vector<std::string> selectors = set->HiddenSelectors(GetParam().page);
  EXPECT_THAT(selectors, UnorderedElementsAreArray(GetParam().selectors));
  EXPECT_EQ(selectors.size(), std::set<std::string>(selectors.begin(), selectors.end()).size()) << "duplicates";
  // The shared generic sheet and the page's own part hide the same as the whole sheet.
  const contentfilter::FilterSet::PageHiding parts = set->HidingFor(GetParam().page);
  EXPECT_EQ(Lines((parts.withGeneric ? set->GenericHidingStyleSheet() : "") + parts.own),
            Lines(set->HidingStyleSheet(GetParam().page)));
}

INSTANTIATE_TEST_SUITE_P(Pages, ElementHidingTest, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

TEST(ElementHidingStyleSheet, OneRulePerSelectorAndEmptyWhenNothingHides) {
  contentfilter::FilterSetBuilder builder;
  builder.AddListText("##.a\nexample.com##div > .b[title=\"x, y\"]\n", "sheet");
  const auto set = builder.Build();
  EXPECT_EQ(set->HidingStyleSheet("https://example.com/"),
            ".a { display: none !important; }\n"
            "div > .b[title=\"x, y\"] { display: none !important; }\n");
  contentfilter::FilterSetBuilder empty;
  EXPECT_EQ(empty.Build()->HidingStyleSheet("https://example.com/"), "");
}

}  // namespace

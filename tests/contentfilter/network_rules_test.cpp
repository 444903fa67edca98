// Network rules of each kind: anchors, wildcards, separators, regexes, exceptions and
// options, each case decided through the index and by the plain loop alike.
#include <gtest/gtest.h>

#include <string>

#include "components/contentfilter/contentfilter.h"

namespace {

using contentfilter::FilterSetBuilder;
using contentfilter::ResourceType;
using contentfilter::Verdict;

struct RuleCase {
  const char* name;
  const char* rules;  // one list, lines separated by '\n'
  const char* url;
  const char* document;
  ResourceType type;
  Verdict expected;
  const char* decidedBy;  // the rule the result names; nullptr: not checked
};

std::ostream& operator<<(std::ostream& out, const RuleCase& c) { return out << c.name; }

const ResourceType kScript = ResourceType::Script;
const ResourceType kImage = ResourceType::Image;
const ResourceType kDoc = ResourceType::Document;
const Verdict kBlocked = Verdict::Blocked;
const Verdict kNone = Verdict::NoMatch;
const Verdict kAllowed = Verdict::AllowedByException;

const RuleCase kCases[] = {
    // "||": the host or any label of it, nowhere else.
    {"DomainAnchorHost", "||ads.example.com^", "https://ads.example.com/x.js", "https://news.org/", kScript, kBlocked, "||ads.example.com^"},
    {"DomainAnchorSubdomain", "||ads.example.com^", "https://cdn.ads.example.com/x", "https://news.org/", kScript, kBlocked, nullptr},
    {"DomainAnchorNotInsideLabel", "||ads.example.com^", "https://badads.example.com/x", "https://news.org/", kScript, kNone, nullptr},
    {"DomainAnchorNotInPath", "||ads.example.com^", "https://example.org/ads.example.com/", "https://news.org/", kScript, kNone, nullptr},
    {"DomainAnchorSeparatorNotDot", "||ads.example.com^", "https://ads.example.com.evil.net/", "https://news.org/", kScript, kNone, nullptr},
    {"DomainAnchorPort", "||ads.example.com^", "https://ads.example.com:8080/", "https://news.org/", kScript, kBlocked, nullptr},
    {"DomainAnchorUserInfo", "||ads.example.com^", "https://user@ads.example.com/", "https://news.org/", kScript, kBlocked, nullptr},
    // "|": start and end of the address.
    {"StartAnchor", "|https://track.", "https://track.example.com/p", "https://news.org/", kImage, kBlocked, nullptr},
    {"StartAnchorOnlyAtStart", "|https://track.", "http://x.com/?u=https://track.", "https://news.org/", kImage, kNone, nullptr},
    {"EndAnchor", ".swf|", "https://x.com/movie.swf", "https://news.org/", kImage, kBlocked, nullptr},
    {"EndAnchorOnlyAtEnd", ".swf|", "https://x.com/movie.swf?x=1", "https://news.org/", kImage, kNone, nullptr},
    {"BothAnchors", "|https://x.com/a.js|", "https://x.com/a.js", "", kScript, kBlocked, nullptr},
    // Wildcards and separators.
    {"Wildcard", "/banner/*/img^", "https://x.com/banner/foo/bar/img?x", "https://news.org/", kImage, kBlocked, nullptr},
    {"WildcardNeedsBothParts", "/banner/*/img^", "https://x.com/banner/img", "https://news.org/", kImage, kNone, nullptr},
    {"SeparatorAtEnd", "/pixel^", "https://x.com/pixel", "https://news.org/", kImage, kBlocked, nullptr},
    {"SeparatorNotLetter", "/pixel^", "https://x.com/pixels", "https://news.org/", kImage, kNone, nullptr},
    {"SeparatorNotDashOrDot", "/pixel^", "https://x.com/pixel-1.gif", "https://news.org/", kImage, kNone, nullptr},
    {"SeparatorQuestionMark", "/pixel^", "https://x.com/pixel?id=3", "https://news.org/", kImage, kBlocked, nullptr},
    {"PipeInsideIsLiteral", "/addyn|*;adtech;", "https://x.com/addyn|3.0|1;adtech;x", "https://news.org/", kScript, kBlocked, nullptr},
    {"DollarInsideAddress", "/page$1/x", "https://x.com/page$1/x", "https://news.org/", kScript, kBlocked, nullptr},
    {"PlainSubstring", "-advert-", "https://x.com/top-advert-box.png", "https://news.org/", kImage, kBlocked, nullptr},
    {"CaseInsensitiveByDefault", "/AdFrame.", "https://x.com/adframe.js", "https://news.org/", kScript, kBlocked, nullptr},
    {"MatchCase", "/AdFrame.$match-case", "https://x.com/adframe.js", "https://news.org/", kScript, kNone, nullptr},
    {"MatchCaseSameCase", "/AdFrame.$match-case", "https://x.com/AdFrame.js", "https://news.org/", kScript, kBlocked, nullptr},
    // Regular expressions.
    {"Regex", "/banner\\d+\\.gif/", "https://x.com/banner123.gif", "https://news.org/", kImage, kBlocked, nullptr},
    {"RegexNoMatch", "/banner\\d+\\.gif/", "https://x.com/banner.gif", "https://news.org/", kImage, kNone, nullptr},
    {"RegexCaseInsensitive", "/BANNER\\d+/", "https://x.com/banner7", "https://news.org/", kImage, kBlocked, nullptr},
    {"RegexWithOptions", "/\\/ads\\/[0-9]+$/$image", "https://x.com/ads/42", "https://news.org/", kImage, kBlocked, nullptr},
    {"RegexOptionsApply", "/\\/ads\\/[0-9]+$/$image", "https://x.com/ads/42", "https://news.org/", kScript, kNone, nullptr},
    {"RegexAlternation", "/(track|beacon)\\.js/", "https://x.com/beacon.js", "https://news.org/", kScript, kBlocked, nullptr},
    // Exceptions, and which rule decides.
    {"Exception", "||ads.example.com^\n@@||ads.example.com/allowed/", "https://ads.example.com/allowed/x", "https://news.org/", kScript, kAllowed, "@@||ads.example.com/allowed/"},
    {"ExceptionElsewhere", "||ads.example.com^\n@@||ads.example.com/allowed/", "https://ads.example.com/other", "https://news.org/", kScript, kBlocked, nullptr},
    {"ExceptionAlone", "@@||ads.example.com^", "https://ads.example.com/x", "https://news.org/", kScript, kNone, ""},
    {"ExceptionTypeLimited", "||ads.example.com^\n@@||ads.example.com^$image", "https://ads.example.com/x", "https://news.org/", kScript, kBlocked, nullptr},
    {"DocumentException", "||ads.example.com^\n@@||good.org^$document", "https://ads.example.com/x", "https://www.good.org/page", kScript, kAllowed, "@@||good.org^$document"},
    {"FirstRuleInListOrderDecides", "/ads/\n||example.com^", "https://example.com/ads/", "https://news.org/", kImage, kBlocked, "/ads/"},
    // Parties, by the Public Suffix List.
    {"ThirdParty", "||tracker.net^$third-party", "https://tracker.net/t.js", "https://news.com/", kScript, kBlocked, nullptr},
    {"ThirdPartySameSite", "||tracker.net^$third-party", "https://cdn.tracker.net/t.js", "https://www.tracker.net/", kScript, kNone, nullptr},
    {"ThirdPartyPublicSuffixSameSite", "||example.co.uk^$third-party", "https://a.example.co.uk/", "https://b.example.co.uk/", kScript, kNone, nullptr},
    {"ThirdPartyPublicSuffixOtherSite", "||example.co.uk^$third-party", "https://a.example.co.uk/", "https://other.co.uk/", kScript, kBlocked, nullptr},
    {"ThirdPartyPrivateSuffix", "||alice.github.io^$3p", "https://alice.github.io/x.js", "https://bob.github.io/", kScript, kBlocked, nullptr},
    {"ThirdPartyIpAddresses", "/t.js$third-party", "http://10.0.0.1/t.js", "http://20.0.0.1/", kScript, kBlocked, nullptr},
    {"ThirdPartyNoDocument", "||tracker.net^$third-party", "https://tracker.net/", "", kScript, kNone, nullptr},
    {"FirstParty", "/ads/$~third-party", "https://www.news.com/ads/", "https://news.com/", kImage, kBlocked, nullptr},
    {"FirstPartyCrossSite", "/ads/$~third-party", "https://cdn.net/ads/", "https://news.com/", kImage, kNone, nullptr},
    // domain=.
    {"DomainIncluded", "/ads/$domain=news.com|~sports.news.com", "https://cdn.net/ads/", "https://www.news.com/", kImage, kBlocked, nullptr},
    {"DomainExcludedSubdomain", "/ads/$domain=news.com|~sports.news.com", "https://cdn.net/ads/", "https://live.sports.news.com/", kImage, kNone, nullptr},
    {"DomainOther", "/ads/$domain=news.com", "https://cdn.net/ads/", "https://notnews.com/", kImage, kNone, nullptr},
    {"DomainNoDocument", "/ads/$domain=news.com", "https://cdn.net/ads/", "", kImage, kNone, nullptr},
    {"DomainOnlyExcluded", "/ads/$domain=~news.com", "https://cdn.net/ads/", "https://other.com/", kImage, kBlocked, nullptr},
    {"DomainOnlyExcludedHit", "/ads/$domain=~news.com", "https://cdn.net/ads/", "https://news.com/", kImage, kNone, nullptr},
    {"DomainWithoutPattern", "$script,domain=news.com", "https://cdn.net/lib.js", "https://news.com/", kScript, kBlocked, nullptr},
    // Types: none named means all but the document.
    {"DefaultTypesNotDocument", "||ads.example.com^", "https://ads.example.com/", "", kDoc, kNone, nullptr},
    {"DocumentOption", "||ads.example.com^$document", "https://ads.example.com/", "", kDoc, kBlocked, nullptr},
    {"NegatedType", "/ads/$~script", "https://x.com/ads/", "https://news.org/", kScript, kNone, nullptr},
    {"NegatedTypeOthers", "/ads/$~script", "https://x.com/ads/", "https://news.org/", kImage, kBlocked, nullptr},
    {"TypeAndParty", "||cdn.net^$script,third-party", "https://cdn.net/a", "https://news.org/", kImage, kNone, nullptr},
    // The browser's own pages (trusted origin http://127.0.0.1:8765) are never blocked.
    {"TrustedOrigin", "||127.0.0.1^", "http://127.0.0.1:8765/news.html", "", kScript, Verdict::Trusted, "||127.0.0.1^"},
    {"TrustedOriginOnlyThatPort", "||127.0.0.1^", "http://127.0.0.1:9999/news.html", "", kScript, kBlocked, nullptr},
};

class NetworkRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(NetworkRuleTest, DecidesAsTheSyntaxSays) {
  const RuleCase& c = GetParam();
  FilterSetBuilder builder;
  builder.AddListText(c.rules, "case");
  builder.AddTrustedOrigin("http://127.0.0.1:8765/");
  const auto set = builder.Build();
  ASSERT_EQ(set->Stats().skippedTotal(), 0u) << set->Stats().skippedExamples.front();
  const auto indexed = set->Match(c.url, c.document, c.type);
  EXPECT_EQ(indexed.verdict, c.expected);
  if (c.decidedBy) {
    EXPECT_EQ(indexed.rule, c.decidedBy);
  }
  const auto scanned = set->MatchByScan(c.url, c.document, c.type);
  EXPECT_EQ(scanned.verdict, indexed.verdict);
  EXPECT_EQ(scanned.rule, indexed.rule);
}

INSTANTIATE_TEST_SUITE_P(Rules, NetworkRuleTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

// Each type option blocks its own type and no other.
struct TypeCase {
  const char* option;
  ResourceType type;
};
std::ostream& operator<<(std::ostream& out, const TypeCase& c) { return out << c.option; }

const TypeCase kTypes[] = {
    {"script", ResourceType::Script},       {"image", ResourceType::Image},
    {"stylesheet", ResourceType::Stylesheet}, {"xmlhttprequest", ResourceType::XmlHttpRequest},
    {"subdocument", ResourceType::Subdocument}, {"document", ResourceType::Document},
    {"font", ResourceType::Font},           {"media", ResourceType::Media},
    {"object", ResourceType::Object},       {"ping", ResourceType::Ping},
    {"websocket", ResourceType::WebSocket}, {"other", ResourceType::Other},
};

class TypeOptionTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeOptionTest, BlocksOnlyItsType) {
  const TypeCase& c = GetParam();
  FilterSetBuilder builder;
  builder.AddListText(std::string("/thing/$") + c.option + "\n@@/thing/allowed$~" + c.option, "types");
  const auto set = builder.Build();
  for (const TypeCase& other : kTypes) {
    const bool same = other.type == c.type;
    EXPECT_EQ(set->Match("https://x.com/thing/", "https://news.org/", other.type).verdict,
              same ? Verdict::Blocked : Verdict::NoMatch)
        << other.option;
    // The negated exception covers every type but this one: never this one.
    EXPECT_EQ(set->Match("https://x.com/thing/allowed", "https://news.org/", other.type).verdict,
              same ? Verdict::Blocked : Verdict::NoMatch)
        << other.option;
  }
}

INSTANTIATE_TEST_SUITE_P(Types, TypeOptionTest, ::testing::ValuesIn(kTypes),
                         [](const ::testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.option); });


// Rules whose token is easy to get wrong: a rule filed under a token that a matching
// address lacks is never tried, and the index misses what the plain loop finds.
struct TokenCase {
  const char* rule;
  const char* url;  // matched by the rule
};
std::ostream& operator<<(std::ostream& out, const TokenCase& c) { return out << c.rule << " on " << c.url; }

const TokenCase kTokenCases[] = {
    {"ads.example.com", "https://www.myads.example.com.evil/"},
    {"||ads.example.com", "https://ads.example.community/"},
    {"banner*.gif", "https://x.com/banner12345.gif"},
    {"*/banner/*", "https://x.com/banner/x"},
    {"|http://ad.", "http://ad.x.com/"},
    {"/adx^", "https://x.com/a/adx"},
    {"&ad_type=", "https://x.com/?a=1&ad_type=2"},
    {"%2Fads%2F", "https://x.com/?u=%2Fads%2F1"},
    {"/\\/ads?\\/x/", "https://a.com/ad/x"},
    {"/^https?:\\/\\/[a-z]+\\.tracker\\.net\\//", "https://abc.tracker.net/p"},
    {"/\\.com\\/ad[0-9]/", "https://a.com/ad7"},
    {"/-ad\\d-/", "https://a.com/x-ad1-y"},
    {"/(foo|bar)baz\\//", "https://a.com/barbaz/"},
    {"/\\bads\\b/", "https://a.com/ads"},
    {"/\\/pixel\\.gif\\?id=\\d+$/", "https://a.com/pixel.gif?id=42"},
    {"/track(er)?ing\\./", "https://a.com/trackering.js"},
    {"/\\/y{2}\\//", "https://a.com/yy/"},
    {"/ad-?banner\\//", "https://a.com/adbanner/"},
    {"/\\/AdServer\\//$match-case", "https://a.com/AdServer/"},
    {"/[.]js\\/ads\\./", "https://a.com/x.js/ads.1"},
    {"/img(\\/|-)ad\\./", "https://a.com/img-ad.png"},
};

class RuleTokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(RuleTokenTest, IndexFindsWhatTheLoopFinds) {
  FilterSetBuilder builder;
  // Filler rules share the tokens so that the rule under test is not alone in its run.
  builder.AddListText(std::string("/ads/x.\n||tracker.net/zz\n/banner/y.\n") + GetParam().rule, "tokens");
  const auto set = builder.Build();
  ASSERT_EQ(set->Stats().skippedTotal(), 0u);
  const auto indexed = set->Match(GetParam().url, "https://news.org/", ResourceType::Image);
  EXPECT_EQ(indexed.verdict, Verdict::Blocked);
  EXPECT_EQ(indexed.rule, GetParam().rule);
  EXPECT_EQ(set->MatchByScan(GetParam().url, "https://news.org/", ResourceType::Image).rule, indexed.rule);
}

INSTANTIATE_TEST_SUITE_P(Tokens, RuleTokenTest, ::testing::ValuesIn(kTokenCases));

}  // namespace

// Address patterns of user scripts and styles: schemes, wildcard hosts, ports, paths, and
// patterns that are refused rather than read as something else.
#include <gtest/gtest.h>

#include <string>

#include "components/pagecore/urlpattern.h"

namespace {

struct PatternCase {
  const char* name;
  const char* pattern;
  bool valid;
  const char* matching;      // an address it matches ("" for none to try)
  const char* notMatching;   // an address it does not match ("" for none to try)
};

const PatternCase kCases[] = {
    {"AllUrls", "<all_urls>", true, "https://a.example/x?y#z", "about:blank"},
    {"AllUrlsFile", "<all_urls>", true, "file:///tmp/a.html", "data:text/html,x"},
    {"AnySchemeIsWebOnly", "*://example.org/*", true, "http://example.org/", "ftp://example.org/"},
    {"AnySchemeHttps", "*://example.org/*", true, "https://example.org/a/b", "https://example.com/"},
    {"WildcardHostItself", "*://*.example.org/*", true, "https://example.org/", "https://badexample.org/"},
    {"WildcardHostSub", "*://*.example.org/*", true, "https://a.b.example.org/p", "https://example.org.evil.test/"},
    {"AnyHost", "https://*/*", true, "https://anything.test:8443/x", "http://anything.test/"},
    {"PathPrefix", "https://host.test/docs/*", true, "https://host.test/docs/a?b=1", "https://host.test/doc"},
    {"PathExact", "https://host.test/a.html", true, "https://host.test/a.html#part", "https://host.test/aXhtml"},
    {"PathStar", "https://host.test/*.html", true, "https://host.test/x/y.html", "https://host.test/x/y.htm"},
    {"QueryIsPath", "https://host.test/*?q=*", true, "https://host.test/s?q=1", "https://host.test/s?r=1"},
    {"NoPortAnyPort", "http://127.0.0.1/*", true, "http://127.0.0.1:8080/x", "http://127.0.0.2/x"},
    {"Port", "http://127.0.0.1:8080/*", true, "http://127.0.0.1:8080/x", "http://127.0.0.1:8081/x"},
    {"PortStar", "http://localhost:*/*", true, "http://localhost:1/", "http://localhost.test/"},
    {"HostCase", "https://Host.Test/Path", true, "HTTPS://HOST.test/Path", "https://host.test/path"},
    {"RegexCharsLiteral", "https://h.test/a+b(c)$", true, "https://h.test/a+b(c)$", "https://h.test/aab(c)"},
    {"File", "file:///home/*", true, "file:///home/a.html", "file:///etc/passwd"},
    {"Ipv6", "http://[::1]/*", true, "http://[::1]:80/a", "http://[::2]/a"},
    {"OverlongAddress", "https://h.test/*", true, "https://h.test/short", "https://h.test/very-long-address"},
    {"NoScheme", "example.org/*", false, "", ""},
    {"BadScheme", "javascript://x/*", false, "", ""},
    {"NoPath", "https://example.org", false, "", ""},
    {"MidWildcardHost", "https://a.*.org/*", false, "", ""},
    {"TrailingWildcardHost", "https://example.*/*", false, "", ""},
    {"BareWildcardDot", "https://*./*", false, "", ""},
    {"EmptyHost", "https:///*", false, "", ""},
    {"FileWithHost", "file://host/*", false, "", ""},
    {"BadPort", "http://h.test:99999/*", false, "", ""},
    {"WordPort", "http://h.test:eighty/*", false, "", ""},
    {"HostWithSlashChars", "https://h\\x.test/*", false, "", ""},
    {"Empty", "", false, "", ""},
};

class UrlPatternTest : public testing::TestWithParam<PatternCase> {};

TEST_P(UrlPatternTest, ParsesAndMatches) {
  const PatternCase& c = GetParam();
  pagecore::CUrlPattern pattern;
  std::string error;
  ASSERT_EQ(pagecore::CUrlPattern::Parse(c.pattern, &pattern, &error), c.valid) << c.pattern << ": " << error;
  if (!c.valid) {
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(pattern.Matches("https://example.org/"));  // untouched: matches nothing
    return;
  }
  EXPECT_EQ(pattern.Text(), c.pattern);
  if (*c.matching) {
    EXPECT_TRUE(pattern.Matches(c.matching)) << pattern.Regex();
  }
  if (*c.notMatching) {
    std::string address = c.notMatching;
    // Past the length C++ checks at all (a real address is never this long).
    if (address.find("very-long") != std::string::npos) address += std::string(20000, 'x');
    EXPECT_FALSE(pattern.Matches(address)) << pattern.Regex();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UrlPatternTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PatternCase>& info) { return std::string(info.param.name); });

}  // namespace

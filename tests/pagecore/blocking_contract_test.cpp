// Content blocking on every engine: requests that the filter list blocks never reach the
// server, element hiding hides, the page counts what it blocked, and neither the host's
// own origin nor a site the user turned blocking off for loses anything.
#include <fstream>
#include <memory>

#include "components/contentfilter/contentfilter.h"
#include "components/pagecore/contentblocking.h"
#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

const char kFilterList[] =
    "! written by the test\n"
    "/ad-image.png^\n"
    "/ad-script.js^$script\n"
    "/ad-frame.html^$subdocument\n"
    "##.ad-box\n";

// Three requests the list blocks (an image, a script, a frame), one it lets through, and
// an element it hides; `crossSite`: also a frame of another site (Chromium gives it a
// process of its own) that loads a blocked image. The title is the page's last word:
// whether the element is hidden and whether the blocked script ran.
std::string AdPage(const CHttpServer& server, bool crossSite) {
  const std::string frame = "<iframe src=\"http://localhost:" + std::to_string(server.Port()) + "/cross.html\"></iframe>";
  return "<html><head><title>ads</title><script src=\"/ad-script.js\"></script></head><body>"
         "<img src=\"/ad-image.png\"><img src=\"/fine.png\">"
         "<iframe src=\"/ad-frame.html\"></iframe>" +
         (crossSite ? frame : std::string()) +
         "<div class=\"ad-box\" id=\"box\">buy now</div>"
         "<script>window.addEventListener('load', () => {"
         "  const hidden = getComputedStyle(document.getElementById('box')).display === 'none';"
         "  document.title = 'hidden=' + hidden + ' script=' + (window.adScriptRan === true);"
         "});</script>"
         "</body></html>";
}

const char* const kBlockedPaths[] = {"/ad-image.png", "/ad-script.js", "/ad-frame.html", "/ad-image.png?cross"};

void ServeAdPage(CHttpServer& server, bool crossSite) {
  server.Html("/ads", AdPage(server, crossSite));
  server.Html("/cross.html", "<html><body><img src=\"/ad-image.png?cross\"></body></html>");
  server.Html("/ad-frame.html", "<html><body>frame</body></html>");
  server.Route("/ad-script.js", HttpAnswer{200, "text/javascript", "window.adScriptRan = true;", false});
  server.Route("/ad-image.png", HttpAnswer{200, "image/png", "not really a png", false});
  server.Route("/fine.png", HttpAnswer{200, "image/png", "not really a png", false});
}

// The paths of kBlockedPaths that have not reached `server` (an engine may ask twice for
// one, from its preload scanner and its parser).
std::string NotReached(const CHttpServer& server) {
  std::string missing;
  for (const char* path : kBlockedPaths) {
    if (server.Hits(path) == 0) missing += std::string(path) + " ";
  }
  return missing;
}

TEST_P(PageContractTest, BlockedRequestsNeverLeaveAndAreCountedButTrustedAndSwitchedOffSitesLoadAll) {
  CHttpServer web;  // a site of the web: another origin than the host's own
  TrustOrigins({m_server.Url("")});
  ServeAdPage(web, true);
  ServeAdPage(m_server, false);
  // A file, as the host's lists are: WebKit's web processes read the same files.
  const std::string list = m_folder + "/filters.txt";
  std::ofstream(list) << kFilterList;
  contentfilter::FilterSetBuilder builder;
  ASSERT_TRUE(builder.AddListFile(list));
  builder.AddTrustedOrigin(m_server.Url(""));
  auto blocker = std::make_shared<pagecore::CContentBlocker>();
  blocker->SetFilters(builder.Build());
  Options().contentBlocker = blocker;

  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  size_t from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, web.Url("/ads")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=hidden=true script=false\n", from), 0);
  ASSERT_GE(sink->WaitFor(L"BLOCKEDCOUNT", L"COUNT=4\nURL=" + W(web.Url("/ads")) + L"\n", from), 0);
  EXPECT_EQ(L"4", GetData(page.get(), L"BLOCKEDCOUNT"));
  for (const char* path : kBlockedPaths) EXPECT_EQ(0, web.Hits(path)) << path << " reached the server";
  EXPECT_GE(web.Hits("/fine.png"), 1);
  EXPECT_GE(web.Hits("/cross.html"), 1);

  // The host's own pages: nothing blocked, nothing hidden, the count starts again.
  from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/ads")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=hidden=false script=true\n", from), 0);
  EXPECT_EQ("/ad-image.png?cross ", NotReached(m_server)) << "the host's own page has no cross-site frame";
  EXPECT_GE(sink->WaitFor(L"BLOCKEDCOUNT", L"COUNT=0\n", from), 0);
  EXPECT_EQ(L"0", GetData(page.get(), L"BLOCKEDCOUNT"));

  // Blocking turned off for the site: everything loads there.
  ASSERT_TRUE(blocker->SetSiteOff(pagecore::HostOfAddress(web.Url("/")), true));
  from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, web.Url("/ads")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=hidden=false script=true\n", from), 0);
  EXPECT_EQ("", NotReached(web));
  EXPECT_EQ(L"0", GetData(page.get(), L"BLOCKEDCOUNT"));

  // A page's own document is no frame: a rule for frames does not stop going there.
  ASSERT_TRUE(blocker->SetSiteOff(pagecore::HostOfAddress(web.Url("/")), false));
  const int frameHits = web.Hits("/ad-frame.html");
  ASSERT_GE(Load(page.get(), *sink, web.Url("/ad-frame.html")), 0);
  EXPECT_LT(frameHits, web.Hits("/ad-frame.html"));
  EXPECT_EQ(L"0", GetData(page.get(), L"BLOCKEDCOUNT"));
}

}  // namespace
}  // namespace webtest

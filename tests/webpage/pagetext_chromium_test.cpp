// "GETTEXT": a real page read as the terminal reader shows it.
#include "components/webpage/keyvaluetext.h"
#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

const char kArticle[] =
    "<html><head><title>Article</title><style>.gone{display:none}</style></head><body>"
    "<h1>Main  heading</h1>"
    "<p>Read <a href='/one'>the first</a> and <a href='/two'>the second</a>.</p>"
    "<ul><li>apple</li><li>pear<ul><li>inner</li></ul></li></ul>"
    "<ol><li>first</li><li>second</li></ol>"
    "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>"
    "<pre>  x = 1\n  y = 2</pre>"
    "<p class='gone'>hidden words</p><script>var notShown = 1;</script>"
    "<p>back\\slash</p>"
    "</body></html>";

// The page's own scripts replace what a reader in its world would call.
const char kHostile[] =
    "<html><head><title>Hostile</title><script>"
    "Array.prototype.push = function() { throw new Error('no'); };"
    "window.getComputedStyle = function() { throw new Error('no'); };"
    "</script></head><body><p>still readable</p></body></html>";

std::wstring Text(const std::wstring& value) { return CRecordingSink::Param(value, L"TEXT"); }

TEST_F(WebpageChromiumTest, GetTextGivesTheLaidOutTextAndTheLinks) {
  m_server.Html("/article", kArticle);
  m_server.Html("/hostile", kHostile);
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/article")), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  int at = sink->WaitFor(L"PAGETEXT");
  ASSERT_GE(at, 0);
  const std::wstring value = sink->Events()[static_cast<size_t>(at)].value;
  EXPECT_EQ(
      L"1:Main heading\\nP:Read the first[1] and the second[2].\\nL1:apple\\nL1:pear\\nL2:inner\\n"
      L"L1:1. first\\nL1:2. second\\nR:a | b\\nR:c | d\\nQ:  x = 1\\nQ:  y = 2\\nP:back\\\\slash\\n",
      Text(value));
  EXPECT_EQ(W(m_server.Url("/one")) + L"\\n" + W(m_server.Url("/two")) + L"\\n", CRecordingSink::Param(value, L"LINKS"));
  EXPECT_EQ(L"Article", CRecordingSink::Param(value, L"TITLE"));
  EXPECT_EQ(L"FALSE", CRecordingSink::Param(value, L"CUT"));

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\nPART=SOURCE\n"));
  at = sink->WaitFor(L"PAGETEXT", L"SOURCE=", from);
  ASSERT_GE(at, 0);
  const std::wstring source = CRecordingSink::Param(sink->Events()[static_cast<size_t>(at)].value, L"SOURCE");
  EXPECT_EQ(0u, source.find(L"<html><head><title>Article</title>")) << source;
  EXPECT_NE(std::wstring::npos, source.find(L"<pre>  x = 1\\n  y = 2</pre>")) << source;

  from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/hostile")), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  at = sink->WaitFor(L"PAGETEXT", L"", from);
  ASSERT_GE(at, 0);
  EXPECT_EQ(L"P:still readable\\n", Text(sink->Events()[static_cast<size_t>(at)].value));
}

}  // namespace
}  // namespace webtest

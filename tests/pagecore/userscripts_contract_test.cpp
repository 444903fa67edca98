// User scripts and styles on every engine: a document-start script sets a global before the
// page's own scripts, a document-end script edits the parsed document, a style hides an
// element, a script that throws is logged without stopping the others or the page, a
// script for other sites, a file too large, a binary one and a style with a bad pattern
// stay out, the host's own pages get nothing, and changed files apply at the next load.
#include <filesystem>
#include <fstream>
#include <memory>

#include "components/pagecore/userscripts.h"
#include "pagecore/contractfixture.h"
#include "webpage/testsink.h"

namespace webtest {
namespace {

// The title is the page's last word on what the user content did.
const char kUserPage[] =
    "<html><head><title>user</title><script>window.seenEarly = String(window.startFlag);</script></head><body>"
    "<div id=\"target\">original</div><div id=\"hidden\">hide me</div>"
    "<script>window.addEventListener('load', () => {"
    "  const hidden = getComputedStyle(document.getElementById('hidden')).display === 'none';"
    "  document.title = 'early=' + window.seenEarly + ' edited=' + document.getElementById('target').textContent +"
    "    ' hidden=' + hidden + ' unwanted=' + (window.unwanted === true);"
    "});</script>"
    "</body></html>";

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST_P(PageContractTest, UserScriptsAndStylesApplyWhereTheyMatchAndChangesApplyAtTheNextLoad) {
  CHttpServer own;  // the host's own pages: another port of the same address
  TrustOrigins({own.Url("")});
  own.Html("/user.html", kUserPage);
  m_server.Html("/user.html", kUserPage);
  const std::string scripts = m_folder + "/profile/scripts", styles = m_folder + "/profile/styles";
  std::filesystem::create_directories(scripts);
  std::filesystem::create_directories(styles);
  const std::string here = "// @match " + m_server.Url("/user*") + "\n";
  Write(scripts + "/a-throws.js", here + "throw new Error('deliberate');\n");
  Write(scripts + "/start.js", here + "// @run-at document-start\nwindow.startFlag = 'set';");
  Write(scripts + "/end.js", here + "// @run-at document-end\ndocument.getElementById('target').textContent = 'edited';\n");
  Write(scripts + "/elsewhere.js", "// @match *://*.example.invalid/*\n// @run-at document-start\nwindow.unwanted = true;\n");
  Write(styles + "/hide.css", "/* @match " + m_server.Url("/user*") + " */\n#hidden { display: none; }\n");
  Write(styles + "/other.css", "/* @match https://example.invalid/* */\n#target { display: none; }\n");
  // Read as "every page" it would hide the target; a bad pattern applies to no page.
  Write(styles + "/bad.css", "/* @match http://127.0.0.1 */\n#target { display: none; }\n");
  const std::string unwanted = "// @match http://127.0.0.1/*\n// @run-at document-start\nwindow.unwanted = true;\n";
  Write(scripts + "/huge.js", unwanted + "//" + std::string(pagecore::kUserFileLimit, 'x') + "\n");
  Write(scripts + "/binary.js", unwanted + std::string("//\0\n", 4));
  Write(scripts + "/nomatch.js", "// @run-at document-start\nwindow.unwanted = true;\n");
  Options().userContent = std::make_shared<pagecore::CUserContentFolders>(scripts, styles);

  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  size_t from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/user.html")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=early=set edited=edited hidden=true unwanted=false\n", from), 0);
  EXPECT_TRUE(log.WaitFor("a-throws.js: Error: deliberate"));
  for (const char* logged : {"huge.js: skipped", "binary.js: skipped", "nomatch.js: no @match", "bad.css: @match"})
    EXPECT_TRUE(log.Contains(logged)) << logged;

  // New files: the next load takes them, without a new page or manager.
  Write(scripts + "/end.js", here + "document.getElementById('target').textContent = 'changed again';\n");
  Write(styles + "/hide.css", "/* @match " + m_server.Url("/user*") + " */\n#nothing { display: none; }\n");
  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=REFRESH\n"));
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=early=set edited=changed again hidden=false unwanted=false\n", from), 0);

  // A pattern for any port matches the host's own origin too, which gets nothing.
  const std::string anyPort = "// @match http://127.0.0.1/*\n";
  Write(scripts + "/start.js", anyPort + "// @run-at document-start\nwindow.startFlag = 'set';");
  Write(scripts + "/end.js", anyPort + "document.getElementById('target').textContent = 'edited';\n");
  Write(styles + "/hide.css", "/* @match http://127.0.0.1/* */\n#hidden { display: none; }\n");
  from = sink->Count();
  ASSERT_GE(Load(page.get(), *sink, own.Url("/user.html")), 0);
  EXPECT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=early=undefined edited=original hidden=false unwanted=false\n", from), 0);
}

}  // namespace
}  // namespace webtest

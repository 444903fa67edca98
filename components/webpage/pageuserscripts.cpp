// The Chromium page: user scripts and styles (components/pagecore/userscripts.h). Each is
// a script for every new document of the page's main world, guarded by its patterns; the
// set is looked at again as a top-level navigation begins (and before a navigation or a
// reload is ordered, so that a changed file applies to the very next document), and
// installed again only when a file changed. A user script's failure reaches the page's
// log through a console message carrying kUserScriptMark.
#include "components/pagecore/userscripts.h"
#include "components/webpage/engine.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/pagehelp.h"

namespace webpage {

using namespace pagehelp;

namespace {

const char kUserScriptMark[] = "[user script failed] ";

}  // namespace

void CPageCore::InstallUserContent() {
  pagecore::CUserContentFolders* folders = m_engine->Options().userContent.get();
  if (!folders) return;
  std::shared_ptr<const pagecore::UserContent> content = folders->Current();
  if (content == m_userContent) return;
  m_userContent = content;
  const uint64_t serial = ++m_userContentSerial;
  for (const std::string& id : m_userContentIds) Command("Page.removeScriptToEvaluateOnNewDocument", Json{{"identifier", id}});
  m_userContentIds.clear();
  // The console's own function, taken before the page's scripts may replace it.
  const std::string report = std::string("((error) => (text) => error.call(console, ") +
                             Json(kUserScriptMark).dump() + " + text))(console.error)";
  std::vector<std::string> sources;
  for (const pagecore::UserStyle& style : content->styles)
    sources.push_back(pagecore::PageScriptFor(style, m_engine->TrustedOrigins()));
  for (const pagecore::UserScript& script : content->scripts) {
    if (!script.matches.empty()) sources.push_back(pagecore::PageScriptFor(script, m_engine->TrustedOrigins(), report));
  }
  for (std::string& source : sources) {
    Command("Page.addScriptToEvaluateOnNewDocument", Json{{"source", std::move(source)}},
            [this, serial](const std::string& error, const Json& result) {
              const std::string id = Text(result, "identifier");
              if (!error.empty() || id.empty()) return;
              if (serial != m_userContentSerial) {
                Command("Page.removeScriptToEvaluateOnNewDocument", Json{{"identifier", id}});
                return;
              }
              m_userContentIds.push_back(id);
            });
  }
}

void CPageCore::OnConsoleCall(const Json& params) {
  if (Text(params, "type") != "error") return;
  const Json& args = Field(params, "args");
  if (!args.is_array() || args.empty()) return;
  const std::string text = Text(args[0], "value");
  if (text.rfind(kUserScriptMark, 0) != 0) return;
  m_report.LogLine("userscript", LogLevel::Warning, Describe() + ": user script " + text.substr(sizeof(kUserScriptMark) - 1));
}

}  // namespace webpage

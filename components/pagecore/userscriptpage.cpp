// The scripts a page runs for user scripts and styles (userscripts.h): the same text on
// both engines, each guarded by its patterns' expressions against the document's address.
#include <nlohmann/json.hpp>

#include "components/pagecore/userscripts.h"

namespace pagecore {

namespace {

std::string Json(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Returns early from the wrapper on frames, trusted origins and addresses no pattern
// matches (`everyPage`: no patterns needed).
std::string Guard(const std::vector<CUrlPattern>& matches, bool everyPage, const std::vector<std::string>& trustedOrigins) {
  std::vector<std::string> expressions;
  for (const CUrlPattern& pattern : matches) expressions.push_back(pattern.Regex());
  std::string guard =
      "  if (window.top !== window) return;\n"
      "  if (" + Json(trustedOrigins) + ".includes(location.origin)) return;\n";
  if (!everyPage) {
    guard += "  const address = location.href.split('#')[0];\n"
             "  if (!" + Json(expressions) + ".some((e) => new RegExp(e).test(address))) return;\n";
  }
  return guard;
}

}  // namespace

std::string PageScriptFor(const UserScript& script, const std::vector<std::string>& trustedOrigins,
                          const std::string& reportFunction) {
  // The script's own text stands alone between line breaks, so that a last line comment
  // cannot swallow the wrapper's end.
  return "(() => {\n" + Guard(script.matches, false, trustedOrigins) +
         "  const report = " + reportFunction + ";\n"
         "  const run = () => {\n"
         "    try {\n" + script.source + "\n"
         "    } catch (e) {\n"
         "      try { report(" + Json(script.name) + " + ': ' + String(e)); } catch (ignored) {}\n"
         "    }\n"
         "  };\n" +
         (script.atStart ? "  run();\n"
                         : "  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', run, {once: true});\n"
                           "  else run();\n") +
         "})();\n";
}

std::string PageScriptFor(const UserStyle& style, const std::vector<std::string>& trustedOrigins) {
  return "(() => {\n" + Guard(style.matches, style.everyPage, trustedOrigins) +
         "  try {\n"
         "    const sheet = new CSSStyleSheet();\n"
         "    sheet.replaceSync(" + Json(style.source) + ");\n"
         "    document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];\n"
         "  } catch (e) {}\n"
         "})();\n";
}

}  // namespace pagecore

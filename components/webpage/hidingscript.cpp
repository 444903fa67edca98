#include "components/webpage/hidingscript.h"

#include <nlohmann/json.hpp>

namespace webpage {

namespace {

// The engine world's own global for the generic sheet of its document (the page's world
// does not see it).
const char kGenericSheet[] = "__blockingGenericSheet";

std::string Quoted(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string GenericHidingScript(const std::string& genericSheet, const std::vector<std::string>& trustedOrigins) {
  return std::string("(() => {\n") +
         "  const trusted = " + nlohmann::json(trustedOrigins).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ";\n"
         "  if (trusted.includes(location.origin)) return;\n"
         "  try {\n"
         "    const sheet = new CSSStyleSheet();\n"
         "    sheet.replaceSync(" + Quoted(genericSheet) + ");\n"
         "    document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];\n"
         "    window." + kGenericSheet + " = sheet;\n"
         "  } catch (e) {}\n"
         "})();\n";
}

std::string DocumentHidingScript(bool withGeneric, const std::string& ownSheet) {
  std::string script = "(() => {\n  try {\n";
  if (!withGeneric) {
    script += std::string("    const generic = window.") + kGenericSheet + ";\n" +
              "    if (generic) document.adoptedStyleSheets = document.adoptedStyleSheets.filter((s) => s !== generic);\n";
  }
  if (!ownSheet.empty()) {
    script += "    const own = new CSSStyleSheet();\n"
              "    own.replaceSync(" + Quoted(ownSheet) + ");\n"
              "    document.adoptedStyleSheets = [...document.adoptedStyleSheets, own];\n";
  }
  script += "  } catch (e) {}\n})();\n";
  return script;
}

}  // namespace webpage

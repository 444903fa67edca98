#include <climits>

#include "components/webpage/pagecore.h"
#include "components/webpage/pagetext.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {

// Orders: "GETTEXT" (the source with PART=SOURCE). The script runs in an isolated world made for it in the top-level
// frame; the answer (or why there is none) is "PAGETEXT".
void CPageCore::ReadText(bool source) {
  auto fail = [this](const std::string& why) { pagecore::ReportPageTextError(*this, why); };
  Command("Page.createIsolatedWorld", Json{{"frameId", TargetId()}, {"worldName", "uicontrol-reader"}},
          [this, fail, source](const std::string& error, const Json& world) {
            if (CurrentState() != State::Open) return;
            long long context = 0;
            if (!error.empty() || !ReadWholeNumber(JsonField(world, "executionContextId"), 1, INT_MAX, &context))
              return fail(error.empty() ? "no world to read the page in" : error);
            Command("Runtime.evaluate",
                    Json{{"expression", source ? PageSourceScript() : PageTextScript()},
                         {"contextId", context},
                         {"returnByValue", true}},
                    [this, fail, source](const std::string& error, const Json& result) {
                      if (CurrentState() != State::Open) return;
                      if (!error.empty()) return fail(error);
                      if (JsonField(result, "exceptionDetails").is_object())
                        return fail("the page could not be read: " +
                                    JsonText(JsonField(result, "exceptionDetails"), "text"));
                      KeyValues values;
                      std::string why;
                      if (!PageTextValues(JsonField(JsonField(result, "result"), "value"), source, &values, &why))
                        return fail(why);
                      pagecore::ReportPageText(*this, values);
                    });
          });
}

}  // namespace webpage

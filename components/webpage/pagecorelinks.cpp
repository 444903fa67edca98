// Scripts of the engine's own world (link hints) and windows the engine opens for a link
// (a hint followed into a new tab).
#include "components/webpage/pagecore.h"
#include "components/webpage/engine.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {

void CPageCore::RunEngineScript(const std::string& script,
                                std::function<void(const std::string& error, const std::string& json)> done) {
  // The engine's world of the top-level document holds the hints between the scripts.
  if (m_engineContext == 0) return done("the page has no script world of the engine yet", "");
  Command("Runtime.evaluate", Json{{"expression", script}, {"contextId", m_engineContext}, {"returnByValue", true}},
          [this, done](const std::string& error, const Json& result) {
            if (CurrentState() != State::Open) return;
            if (!error.empty()) return done(error, "");
            const Json& details = JsonField(result, "exceptionDetails");
            if (details.is_object()) return done("the script failed: " + JsonText(details, "text"), "");
            done("", JsonField(JsonField(result, "result"), "value").dump());
          });
}

void CPageCore::OpenWindow(const std::wstring& url, bool background) {
  BrowserCommand("Target.createTarget", Json{{"url", platform::WideToUtf8(url)}, {"background", true}},
                 [this, url, background](const std::string& error, const Json& result) {
                   const std::string targetId = JsonText(result, "targetId");
                   if (!error.empty() || targetId.empty()) {
                     LogWarning(Describe() + ": no window for " + platform::WideToUtf8(url) + ": " + error);
                     return;
                   }
                   // Waits, like a window the page opened, for the host to adopt it.
                   m_engine->OwnPopup(targetId, shared_from_this());
                   OnPopupCreated(targetId, url, background);
                 });
}

}  // namespace webpage

// Whether the page's renderer still answers (the page core's watch, fed by a trivial
// Runtime.evaluate every second: DevTools has no responsiveness event), and the order that
// ends the renderer (STOPPAGE). Engine thread.
#include "components/pagecore/hangwatch.h"
#include "components/webpage/engine.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/weblog.h"

namespace webpage {

pagecore::CHangWatch::Hooks CPageCore::HangHooks() {
  pagecore::CHangWatch::Hooks hooks;
  // The watch goes on while the page is crashed (it comes back on the next order) and
  // ends with the page.
  hooks.runLater = [this](std::chrono::milliseconds delay, std::function<void()> task) {
    std::weak_ptr<CPageCore> weak = weak_from_this();
    m_engine->PostDelayed(delay, [weak, task = std::move(task)] {
      auto self = weak.lock();
      if (self && self->CurrentState() != State::Closed) task();
    });
  };
  hooks.now = [] { return std::chrono::steady_clock::now(); };
  hooks.open = [this] { return CurrentState() == State::Open && BrowserAlive(); };
  // Evaluated in the top-level document's main world, which every document has from its
  // start: a renderer busy in a script answers nothing until that script ends.
  // An error (the target crashed, its session went) is no answer of the renderer.
  hooks.ask = [this](std::function<void(bool)> answered) {
    Command("Runtime.evaluate", Json{{"expression", "1"}, {"returnByValue", true}},
            [answered = std::move(answered)](const std::string& error, const Json&) { answered(error.empty()); });
  };
  hooks.emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  hooks.name = Describe();
  return hooks;
}

void CPageCore::EndRenderer() {
  LogInfo(Describe() + ": its renderer is ended on the host's order");
  // Chromium crashes the renderer from its I/O thread, so a renderer stuck in a script
  // ends too; "Target.targetCrashed" then makes the page crashed (OnCrashed), and the next
  // order brings it back in a new renderer.
  // Its answer is the error of the crash itself.
  Command("Page.crash", Json::object(), [](const std::string&, const Json&) {});
}

}  // namespace webpage

// Whether the page's web process still answers (the page core's watch, fed by WebKit's
// own verdict and by a trivial script asked of the engine's world every second), and the
// order that ends a page's web process (STOPPAGE). GTK thread.
#include "components/pagecore/hangwatch.h"
#include "components/webkitpage/gtktimer.h"
#include "components/webkitpage/kitpage.h"
#include "components/webpage/weblog.h"

namespace webkitpage {

pagecore::CHangWatch::Hooks CKitPage::HangHooks() {
  pagecore::CHangWatch::Hooks hooks;
  // The watch goes on while the page is crashed (it comes back on the next order) and
  // ends with the page.
  hooks.runLater = [this](std::chrono::milliseconds delay, std::function<void()> task) {
    std::weak_ptr<CKitPage> weak = weak_from_this();
    RunAfter(delay, [weak, task = std::move(task)] {
      auto self = weak.lock();
      if (self && self->CurrentState() != State::Closed) task();
    });
  };
  hooks.now = [] { return std::chrono::steady_clock::now(); };
  hooks.open = [this] { return CurrentState() == State::Open && m_web != nullptr; };
  // An error (the web process ended, the call was cancelled) is no answer of the page:
  // WebKit may fail the script before it reports the web process's end.
  hooks.ask = [this](std::function<void(bool)> answered) {
    RunScript("1", [answered = std::move(answered)](const std::string& error, const std::string&) {
      answered(error.empty());
    });
  };
  hooks.emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  hooks.name = Describe();
  return hooks;
}

void CKitPage::WatchResponsiveness() {
  g_signal_connect(m_web, "notify::is-web-process-responsive", G_CALLBACK(OnResponsive), this);
  m_hang.Start();
}

void CKitPage::OnResponsive(GObject* object, GParamSpec*, gpointer data) {
  auto* self = static_cast<CKitPage*>(data);
  self->m_hang.Responsive(webkit_web_view_get_is_web_process_responsive(WEBKIT_WEB_VIEW(object)));
}

void CKitPage::EndRenderer() {
  if (!m_web) return;
  webpage::LogInfo(Describe() + ": its web process is ended on the host's order");
  // WebKit reports the end as "web-process-terminated" (TERMINATED_BY_API): the page is
  // crashed, and the next order brings it back in a new web process.
  webkit_web_view_terminate_web_process(m_web);
}

}  // namespace webkitpage

// The Chromium page: orders, carried out on the engine thread.
#include "components/webpage/pagecore.h"

#include "components/pagecore/savejob.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <random>

#include "components/pagecore/trust.h"
#include "components/webpage/browser.h"
#include "components/webpage/engine.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagetext.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "components/webpage/pageoutcomes.h"
#include "components/webpage/pagehelp.h"
#include "platform/text.h"
#include "platform/threadcheck.h"
#include "platform/window.h"

namespace webpage {

using namespace std::chrono_literals;
using namespace pagehelp;

void CPageCore::Execute(const Order& order) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  State state = CurrentState();
  if (state == State::Crashed && order.kind != OrderKind::CloseTab && BrowserAlive()) {
    // Only the renderer died: Chromium starts a new one for the page's next load.
    State crashed = State::Crashed;
    if (m_state.compare_exchange_strong(crashed, State::Open)) {
      auto reload = [this] { Command("Page.reload", Json::object()); };
      if (!pagecore::Revive(order, m_report.Url(), m_afterRevival, reload, Describe())) return;
      state = State::Open;
    }
  }
  if (state != State::Open && !(order.kind == OrderKind::CloseTab && state == State::Crashed))
    return pagecore::LogDroppedOrder(Describe(), order, state == State::Crashed);
  pagecore::CarryOut(order, m_engine->Options(), *this);
}

void CPageCore::StopLoading() {
  Command("Page.stopLoading", Json::object());
  FinishNavigation();
}

void CPageCore::Reload() {
  InstallUserContent();
  Command("Page.reload", Json::object());
}

void CPageCore::RefuseNavigation(const std::string& why) { ReportError(0, why, L"", ""); }

void CPageCore::Navigate(const std::wstring& url) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  m_requestedURL = url;
  InstallUserContent();
  Command("Page.navigate", Json{{"url", Utf8(url)}, {"transitionType", "typed"}},
          [this, url](const std::string& error, const Json& result) {
            if (CurrentState() != State::Open) return;
            if (!error.empty()) {
              ReportError(0, error, url, "");
              return;
            }
            std::string failure = Text(result, "errorText");
            if (!failure.empty() && failure != "net::ERR_ABORTED") ReportError(0, failure, url, Text(result, "loaderId"));
          });
}

void CPageCore::GoBy(int step, const std::wstring& order) {
  Command("Page.getNavigationHistory", Json::object(), [this, step, order](const std::string& error, const Json& result) {
    if (!error.empty() || CurrentState() != State::Open) return;
    StoreHistory(result);
    NavigationHistory history = ReadHistory(result);
    int target = history.current + step;
    if (history.current < 0 || target < 0 || target >= static_cast<int>(history.entries.size())) {
      LogInfo(Describe() + ": " + Utf8(order) + " has no page to go to");
      return;
    }
    Command("Page.navigateToHistoryEntry", Json{{"entryId", history.entries[static_cast<size_t>(target)].id}});
  });
}

void CPageCore::Save(const std::string& kind) {
  pagecore::CSaveJob::Hooks hooks;
  hooks.emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  hooks.runLater = m_report.RunLater();
  hooks.folder = m_browser->DownloadsFolder();
  hooks.name = Describe();
  // Named after the page as it is now: the page may have moved on when the data comes.
  std::shared_ptr<pagecore::CSaveJob> job = pagecore::CSaveJob::Start(
      std::move(hooks), kind, m_report.Title(), m_report.Url(), m_engine->Options().saveTimeout,
      "Chromium did not answer in time");
  auto onData = [kind, job](const std::string& error, const Json& result) {
    if (!error.empty()) return job->Fail(error);
    if (kind == "html") {
      const Json& value = Field(Field(result, "result"), "value");
      if (Field(result, "exceptionDetails").is_object() || !value.is_string())
        return job->Fail("the page's HTML could not be read");
      return job->Deliver(value.get<std::string>());
    }
    std::string bytes;
    if (!Base64Decode(Text(result, "data"), &bytes) || bytes.empty()) return job->Fail("Chromium sent unreadable data");
    job->Deliver(bytes);
  };
  if (kind == "html") {
    Command("Runtime.evaluate",
            Json{{"expression",
                  "(document.doctype ? new XMLSerializer().serializeToString(document.doctype) + '\\n' : '') + "
                  "(document.documentElement ? document.documentElement.outerHTML : '')"},
                 {"returnByValue", true}},
            onData);
  } else if (kind == "png") {
    // Headless pages are tabs of one window: a tab behind another whose metrics are
    // overridden (a zoom) makes no frame to capture until it is the window's front tab.
    // Nobody sees that window, so bringing the page forward costs nothing; commands of a
    // session are carried out in order.
    if (!m_browser->Headed()) Command("Page.bringToFront", Json::object());
    Command("Page.captureScreenshot", Json{{"format", "png"}}, onData);
  } else {
    Command("Page.printToPDF", Json{{"printBackground", true}}, onData);
  }
}

void CPageCore::ViewSource() {
  const std::wstring& shown = m_report.Url();
  if (!WorthKeeping(shown) || shown.compare(0, 12, L"view-source:") == 0)
    return pagecore::ReportNoSource(*this);
  std::wstring url = L"view-source:" + shown;
  BrowserCommand("Target.createTarget", Json{{"url", Utf8(url)}}, [this, url](const std::string& error, const Json& result) {
    std::string targetId = Text(result, "targetId");
    if (!error.empty() || targetId.empty()) {
      LogWarning(Describe() + ": VIEWSOURCE failed: " + error);
      return;
    }
    // The source window waits, like a window the page opened, for the host to adopt it.
    m_engine->OwnPopup(targetId, shared_from_this());
    OnPopupCreated(targetId, url);
  });
}

void CPageCore::Find(const std::wstring& text) {
  Command("Runtime.evaluate", Json{{"expression", FindScript(text)}, {"returnByValue", true}},
          [this, text](const std::string& error, const Json& result) {
            bool found = false;
            long long count = 0;
            if (error.empty()) ReadFindReply(Field(Field(result, "result"), "value"), &found, &count);
            pagecore::ReportFound(*this, static_cast<uint64_t>(count), found, text);
          });
}

void CPageCore::ApplyZoom(unsigned int percent) {
  if (CurrentState() != State::Open || percent == m_zoom) return;
  m_zoom = percent;
  if (m_browser->Headed()) {
    LogWarning(Describe() + ": zoom is not applied to a visible Chromium window");
    return;
  }
  ApplyViewMetrics();
}

void CPageCore::QueryViewSize(bool apply) {
  // The view is the page's window (a headless one has no frame).
  BrowserCommand("Browser.getWindowForTarget", Json{{"targetId", m_targetId}},
                 [this, apply](const std::string& error, const Json& result) {
                   if (CurrentState() != State::Open || m_viewWidth > 0) return;  // sized meanwhile
                   const Json& bounds = Field(result, "bounds");
                   const char* what = "Browser.getWindowForTarget";
                   long long width = Number(bounds, "width", 1, 100000, 0, what);
                   long long height = Number(bounds, "height", 1, 100000, 0, what);
                   if (!error.empty() || width == 0 || height == 0)
                     return LogWarning(Describe() + ": the size of the page's window is unknown " + error);
                   m_viewWidth = static_cast<int>(width);
                   m_viewHeight = static_cast<int>(height);
                   if (apply) ApplyViewMetrics();
                 });
}

void CPageCore::ApplyViewMetrics() {
  if (m_viewWidth <= 0 || m_viewHeight <= 0) return QueryViewSize(true);
  // A browser's zoom: the page is laid out for a view zoom/100 times smaller and drawn
  // zoom/100 times larger, so that it fills the view again.
  const double scale = m_zoom / 100.0;
  Command("Emulation.setDeviceMetricsOverride",
          Json{{"width", static_cast<int>(m_viewWidth / scale + 0.5)},
               {"height", static_cast<int>(m_viewHeight / scale + 0.5)},
               {"deviceScaleFactor", m_zoom == 100 ? 0.0 : scale},
               {"mobile", false}});
}

void CPageCore::MoveView(const RECT& rc) {
  int width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (!m_browser->Headed()) {
    m_viewWidth = width;
    m_viewHeight = height;
    ApplyViewMetrics();
    return;
  }
  BrowserCommand("Browser.getWindowForTarget", Json{{"targetId", m_targetId}},
                 [this, rc, width, height](const std::string& error, const Json& result) {
                   if (!error.empty()) return LogWarning(Describe() + ": MOVEWEBWINDOW failed: " + error);
                   long long windowId = Number(result, "windowId", INT_MIN, INT_MAX, LLONG_MIN, "Browser.getWindowForTarget");
                   if (windowId == LLONG_MIN)
                     return LogWarning(Describe() + ": MOVEWEBWINDOW failed: Chromium named no usable window");
                   BrowserCommand("Browser.setWindowBounds",
                                  Json{{"windowId", windowId},
                                       {"bounds", {{"left", rc.left}, {"top", rc.top}, {"width", width}, {"height", height}}}});
                 });
}

void CPageCore::SetAudio(bool enable) {
  m_muted = !enable;
  uint64_t serial = ++m_muteSerial;
  // New documents start muted or not through a script of their own; the newest one wins.
  Command("Page.addScriptToEvaluateOnNewDocument", Json{{"source", MuteScript(m_muted)}, {"worldName", std::string(kEngineWorld)}},
          [this, serial](const std::string& error, const Json& result) {
            std::string id = Text(result, "identifier");
            if (!error.empty() || id.empty()) return;
            if (serial != m_muteSerial) {
              Command("Page.removeScriptToEvaluateOnNewDocument", Json{{"identifier", id}});
              return;
            }
            if (!m_muteScriptId.empty())
              Command("Page.removeScriptToEvaluateOnNewDocument", Json{{"identifier", m_muteScriptId}});
            m_muteScriptId = id;
          });
  // The document shown now: its engine world, once it has one (a new document gets the
  // script above).
  if (m_engineContext != 0)
    Command("Runtime.evaluate", Json{{"expression", MuteScript(m_muted)}, {"contextId", m_engineContext}});
}

}  // namespace webpage

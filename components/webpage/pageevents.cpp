// The Chromium page: what the engine tells of its page, turned into page events.
#include "components/webpage/pagecore.h"

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

void CPageCore::OnSessionEvent(const std::string& method, const Json& params) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  // A paused request is answered whatever the page's state, so that none hangs.
  if (method == "Fetch.requestPaused") return OnRequestPaused(params, m_sessionId);
  if (method == "Target.attachedToTarget") return OnAttachedTarget(params);
  if (method == "Target.detachedFromTarget") return OnFrameSessionEvent(m_sessionId, method, params);
  if (CurrentState() != State::Open) return;
  if (method == "Page.frameNavigated" || method == "Page.frameDetached") NoteFrame(method, params);
  if (method == "Page.frameStartedNavigating") {
    std::string type = Text(params, "navigationType");
    if (IsMainFrame(params, "frameId") && type != "sameDocument" && type != "historySameDocument")
      BeginNavigation(Wide(Text(params, "url")));
  } else if (method == "Page.frameStartedLoading") {
    if (IsMainFrame(params, "frameId") && !m_report.Loading()) BeginNavigation(m_report.Url());
  } else if (method == "Network.requestWillBeSent") {
    if (Text(params, "type") == "Document" && IsMainFrame(params, "frameId")) {
      if (!m_report.Loading()) BeginNavigation(Wide(Text(Field(params, "request"), "url")));
      m_documentRequest = Text(params, "requestId");
    }
  } else if (method == "Network.responseReceived") {
    if (!m_report.Loading() || Text(params, "requestId") != m_documentRequest) return;
    m_report.Progress(30);
    const Json& response = Field(params, "response");
    long long status = Number(response, "status", 0, 999, 0, "Network.responseReceived");
    if (status >= 400) {
      ReportError(static_cast<uint32_t>(status), "HTTP " + std::to_string(status) + " " + Text(response, "statusText"),
                  Wide(Text(response, "url")), Text(params, "loaderId"));
    }
  } else if (method == "Network.loadingFailed") {
    if (!m_report.Loading() || Text(params, "requestId") != m_documentRequest) return;
    std::string error = Text(params, "errorText");
    bool canceled = Field(params, "canceled").is_boolean() && Field(params, "canceled").get<bool>();
    if (!canceled && error != "net::ERR_ABORTED") ReportError(0, error, m_report.LoadUrl(), Text(params, "requestId"));
  } else if (method == "Page.frameNavigated") {
    const Json& frame = Field(params, "frame");
    if (Text(frame, "id") != m_targetId || Field(frame, "parentId").is_string()) return;
    std::string unreachable = Text(frame, "unreachableUrl");
    Committed(Wide(unreachable.empty() ? Text(frame, "url") + Text(frame, "urlFragment") : unreachable));
  } else if (method == "Page.navigatedWithinDocument") {
    if (IsMainFrame(params, "frameId")) SameDocument(Wide(Text(params, "url")));
  } else if (method == "Page.domContentEventFired") {
    if (m_report.Loading()) m_report.Progress(80);
  } else if (method == "Page.loadEventFired") {
    Loaded();
  } else if (method == "Page.frameStoppedLoading") {
    if (IsMainFrame(params, "frameId")) FinishNavigation();
  } else if (method == "Page.javascriptDialogOpening") {
    OnDialog(params);
  } else if (method == "Page.windowOpen") {
    m_lastWindowOpenUrl = Wide(Text(params, "url"));
  } else if (method == "Runtime.executionContextCreated") {
    OnContextCreated(Field(params, "context"));
  } else if (method == "Runtime.executionContextDestroyed") {
    long long id = Number(params, "executionContextId", 1, INT_MAX, 0, method.c_str());
    m_contextOrigins.erase(id);
    m_engineWorlds.erase(id);
    for (auto it = m_frameMainWorlds.begin(); it != m_frameMainWorlds.end();)
      it = it->second == id ? m_frameMainWorlds.erase(it) : std::next(it);
    if (id != 0 && id == m_mainContext) {
      m_mainContext = 0;
      m_mainOrigin.clear();
    }
    if (id != 0 && id == m_engineContext) m_engineContext = 0;
  } else if (method == "Runtime.executionContextsCleared") {
    m_contextOrigins.clear();
    m_engineWorlds.clear();
    m_frameMainWorlds.clear();
    m_mainContext = 0;
    m_engineContext = 0;
    m_mainOrigin.clear();
  } else if (method == "Runtime.consoleAPICalled") {
    OnConsoleCall(params);
  } else if (method == "Runtime.bindingCalled") {
    if (Text(params, "name") == kBindingName) OnPageMessage(params);
  }
  // A renderer's crash is reported once, by "Target.targetCrashed" (the engine routes it
  // here with its status). The Inspector domain would report it a second time, and that
  // report could come after an order has brought the page back.
}

void CPageCore::BeginNavigation(const std::wstring& url) {
  m_documentRequest.clear();
  InstallGenericHiding();
  InstallUserContent();
  // A text size other than the default is sent again for every document: one sent while
  // the first document of a page was on its way to a new renderer has been seen lost.
  if (uint32_t size = m_data.FontSize(); size != kDefaultFontSize) ApplyFontSize(size);
  m_report.Begin(url);
}

void CPageCore::Committed(const std::wstring& committed) {
  const std::wstring url =
      m_showsSource && committed.rfind(L"view-source:", 0) != 0 ? L"view-source:" + committed : committed;
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  if (!m_report.Loading()) BeginNavigation(url);
  m_requestedURL.clear();
  m_report.Commit(url);
  RefreshHistory();
}

void CPageCore::SameDocument(const std::wstring& url) {
  m_report.SameDocument(url);
  RefreshHistory();
}

void CPageCore::Loaded() {
  if (!m_report.Complete()) return;
  // A new page starts on an empty document that a user never asked for. It stays in
  // Chromium's history and is only left out of what the host sees (ReadHistory): a tab
  // whose history holds a single document is one that its page may close (HTML's
  // "script-closable"), and Chromium would then obey a window.close() that the page
  // takes from another frame, past the engine's script.
  // Asked again now: while a document commits Chromium may not answer yet.
  RefreshHistory();
}

void CPageCore::FinishNavigation() {
  m_report.Finish();
  // The load a revival started has ended: the orders that waited for it run.
  for (const Order& order : m_afterRevival.End()) Execute(order);
}

void CPageCore::ReportError(uint32_t status, const std::string& text, const std::wstring& url,
                            const std::string& loaderId) {
  m_report.Error(status, text, url, loaderId);
}

void CPageCore::RefreshHistory() {
  Command("Page.getNavigationHistory", Json::object(), [this](const std::string& error, const Json& result) {
    if (!error.empty()) return;
    StoreHistory(result);
    const bool back = m_data.CanGoBack(), fore = m_data.CanGoForward();
    if (CurrentState() != State::Open) return;
    m_report.BackForward(back, fore);
  });
}

NavigationHistory CPageCore::ReadHistory(const Json& result) const {
  NavigationHistory history;
  const Json& entries = Field(result, "entries");
  if (entries.is_array()) {
    for (const Json& entry : entries)
      history.entries.push_back({Wide(Text(entry, "url")), Wide(Text(entry, "title")),
                                 Number(entry, "id", INT_MIN, INT_MAX, 0, "the navigation history")});
  }
  history.current = static_cast<int>(Number(result, "currentIndex", -1, INT_MAX, -1, "the navigation history"));
  if (m_hideFirstEntry && history.entries.size() >= 2 && history.current >= 1 &&
      history.entries.front().url == L"about:blank") {
    history.entries.erase(history.entries.begin());
    --history.current;
  }
  return history;
}

void CPageCore::StoreHistory(const Json& result) {
  m_data.SetHistory(ReadHistory(result));
}

void CPageCore::OnContextCreated(const Json& context) {
  long long id = Number(context, "id", 1, INT_MAX, 0, "Runtime.executionContextCreated");
  if (id == 0) return;
  std::string origin = Text(context, "origin");
  m_contextOrigins[id] = origin;
  const Json& aux = Field(context, "auxData");
  const std::string frame = Text(aux, "frameId");
  if (Field(aux, "isDefault").is_boolean() && Field(aux, "isDefault").get<bool>()) {
    m_frameMainWorlds[frame] = id;
    if (frame == m_targetId) {
      m_mainContext = id;
      m_mainOrigin = origin;
    }
  } else if (Text(context, "name") == kEngineWorld) {
    m_engineWorlds[id] = frame;
    if (frame == m_targetId) m_engineContext = id;
    HideInDocument(id, frame);
  }
}

std::string CPageCore::OriginOfContext(long long contextId) const {
  // The engine's world speaks for the document of its frame, whose origin is that of the
  // frame's main world (a world made through DevTools may report none of its own).
  auto world = m_engineWorlds.find(contextId);
  if (world != m_engineWorlds.end()) {
    auto main = m_frameMainWorlds.find(world->second);
    if (main == m_frameMainWorlds.end()) return "";
    contextId = main->second;
  }
  auto it = m_contextOrigins.find(contextId);
  return it == m_contextOrigins.end() ? "" : it->second;
}

bool CPageCore::IsTrusted(const std::string& origin) const {
  return IsTrustedOrigin(m_engine->TrustedOrigins(), origin);
}

void CPageCore::OnPageMessage(const Json& params) {
  long long contextId = Number(params, "executionContextId", 1, INT_MAX, 0, "Runtime.bindingCalled");
  pagecore::RequestSource source;
  source.origin = OriginOfContext(contextId);
  PageMessage message;
  std::string error;
  bool forged = false;
  if (!OpenPageMessage(Text(params, "payload"), m_token, &message, &error, &forged)) {
    CPageReport::Document& doc = m_report.Doc();
    if (!forged) {
      LogWarning(Describe() + ": " + error);
    } else if (doc.refusalsLogged < pagecore::kRefusalLogLimit) {
      // Only the engine's script holds the binding and the token: this is a page script
      // that found a way to the binding. Logged a few times per document, never obeyed.
      ++doc.refusalsLogged;
      LogWarning(Describe() + ": dropped " + error + " from " + Shown(source.origin) +
                 (doc.refusalsLogged == pagecore::kRefusalLogLimit ? " (further ones of this document are not logged)"
                                                                    : ""));
    }
    return;
  }
  // Only the engine's world of the top-level document speaks for the page.
  source.topDocument = contextId != 0 && contextId == m_engineContext;
  source.trustedOrigin = IsTrusted(source.origin);
  source.openedByPage = m_origin == Origin::Adopted;
  if (pagecore::ObeyRequest(message.type, source, m_report, Describe())) CarryOut(message);
}

void CPageCore::CarryOut(const PageMessage& message) {
  using Type = PageMessage::Type;
  switch (message.type) {
    case Type::PopupBlocked: {
      // Chromium's own blocker refused it; the core tells it (or leaves it out).
      pagecore::WindowRequest request;
      request.url = message.text;
      request.refusedByEngine = true;
      auto emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
      auto log = [this](const std::string& text) { m_report.LogLine("popup", LogLevel::Info, text); };
      pagecore::JudgeOpenedWindow(request, m_engine->Options().blockPopups, m_popupBudget, m_report.Doc(), Describe(),
                                  emit, log);
      return;
    }
    case Type::Title: return m_report.OfferTitle(message.text);
    case Type::Icon: return m_report.OfferIcon(message.text);
    case Type::Status: return m_report.OfferStatus(message.text);
    case Type::Close: {
      if (m_report.Doc().closeAsked) return;
      m_report.Doc().closeAsked = true;
      if (!m_report.Url().empty()) return pagecore::ReportCloseAsked(*this, m_report.Url());
      // A window the host has just adopted may ask before its address is known here:
      // the event names the page, so ask Chromium for it.
      BrowserCommand("Target.getTargetInfo", Json{{"targetId", m_targetId}}, [this](const std::string& failure, const Json& info) {
        if (CurrentState() != State::Open) return;
        std::wstring url = failure.empty() ? Wide(Text(Field(info, "targetInfo"), "url")) : std::wstring();
        pagecore::ReportCloseAsked(*this, url.empty() ? m_report.Url() : url);
      });
      return;
    }
    case Type::AddFavorite:
    case Type::EditFavorite: pagecore::ShowFavouriteDialog(message, *this); return;
  }
}

void CPageCore::OnDialog(const Json& params) {
  // Nobody can answer a dialog of a headless page: alerts are acknowledged, questions
  // declined, and leaving a page is allowed, so that no page can stall.
  std::string type = Text(params, "type");
  bool accept = type == "alert" || type == "beforeunload";
  m_report.LogLine("dialog", LogLevel::Info,
                   Describe() + ": " + type + " dialog \"" + Text(params, "message") + "\" " +
                       (accept ? "acknowledged" : "declined"));
  Command("Page.handleJavaScriptDialog", Json{{"accept", accept}});
}

}  // namespace webpage

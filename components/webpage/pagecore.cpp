#include "components/webpage/pagecore.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <random>

#include "components/webpage/browser.h"
#include "components/webpage/engine.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagetext.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "components/webpage/pageoutcomes.h"
#include "platform/text.h"
#include "platform/threadcheck.h"
#include "platform/window.h"

namespace webpage {

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kHistoryTimeout = 10s;
// "font.size" of a new page (medium).
constexpr uint32_t kDefaultFontSize = 2;
// Title, icon and status text of a page reach the host at most this often each.
constexpr std::chrono::milliseconds kPageValueGap = 250ms;
// Refused windows: a burst of 8, then one every 250 ms.
constexpr int kPopupBurst = 8;
constexpr std::chrono::milliseconds kPopupRefill = 250ms;
// Messages without the page's token that are logged per document.
constexpr int kForgedLogLimit = 3;

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }
std::wstring Wide(const std::string& text) { return platform::Utf8ToWide(text); }

const Json& Field(const Json& object, const char* name) { return JsonField(object, name); }
std::string Text(const Json& object, const char* name) { return JsonText(object, name); }

// A whole number that Chromium sent, from `min` to `max`; `fallback` when it is absent or
// out of range (the second with a log line naming `source`).
long long Number(const Json& object, const char* name, long long min, long long max, long long fallback,
                 const char* source) {
  long long value = fallback;
  std::string why;
  if (ReadNumberField(object, name, min, max, &value, &why) == NumberRead::Refused) {
    LogWarning(std::string("ignored a number in ") + source + ": " + why);
    return fallback;
  }
  return value;
}

std::string Shown(const std::string& origin) { return origin.empty() ? "(unknown origin)" : origin; }

// A new uuid for a tab kept for recovery (random, version 4).
std::wstring NewUuid() {
  std::random_device device;
  std::mt19937_64 random(((uint64_t)device() << 32) ^ device());
  uint64_t high = random(), low = random();
  high = (high & ~0xf000ull) | 0x4000ull;
  low = (low & 0x3fffffffffffffffull) | 0x8000000000000000ull;
  wchar_t text[40];
  swprintf(text, 40, L"%08x-%04x-%04x-%04x-%012llx", (unsigned)(high >> 32), (unsigned)((high >> 16) & 0xffff),
           (unsigned)(high & 0xffff), (unsigned)(low >> 48), (unsigned long long)(low & 0xffffffffffffull));
  return text;
}

// The address a site's default icon has: the origin of an http(s) page and /favicon.ico.
std::wstring DefaultIcon(const std::wstring& url) {
  std::wstring lower = platform::AsciiLower(url.substr(0, 8));
  size_t start;
  if (lower.compare(0, 7, L"http://") == 0) start = 7;
  else if (lower.compare(0, 8, L"https://") == 0) start = 8;
  else return L"";
  size_t end = url.find_first_of(L"/?#", start);
  return url.substr(0, end) + L"/favicon.ico";
}

bool WorthKeeping(const std::wstring& url) {
  return !url.empty() && url != L"about:blank" && url.compare(0, 13, L"chrome-error:") != 0;
}

CPageCore::ViewOwner NewView() {
  return CPageCore::ViewOwner(platform::CreateWindowHandle(), [](HWND view) {
    if (view) platform::DestroyWindowHandle(view);
  });
}

// What a host's user is told about orders of a page that could not be made.
std::wstring SetupFailureReason(const std::string& status) {
  return status == "start-failed" ? L"Chromium did not start" : L"Chromium could not make the page";
}

}  // namespace

CPageCore::CPageCore(std::shared_ptr<CPageEngine> engine, std::shared_ptr<CBrowser> browser, std::string targetId,
                     std::string sessionId, Origin origin, std::shared_ptr<CEventHub> hub, ViewOwner view)
    : m_engine(std::move(engine)),
      m_browser(std::move(browser)),
      m_targetId(std::move(targetId)),
      m_sessionId(std::move(sessionId)),
      m_origin(origin),
      m_token(NewPageToken()),
      m_script(PageScript(m_token, m_engine->TrustedOrigins())),
      m_viewOwner(view ? std::move(view) : NewView()),
      m_view(m_viewOwner.get()),
      m_hub(hub ? std::move(hub)
                : std::make_shared<CEventHub>(
                      [engine = m_engine](std::function<void()> task) { return engine->Post(std::move(task)); },
                      [engine = m_engine] { return engine->OnEngineThread(); })),
      m_hideFirstEntry(origin == Origin::Fresh),
      m_titleGate(kPageValueGap),
      m_iconGate(kPageValueGap),
      m_statusGate(kPageValueGap),
      m_popupBudget(kPopupBurst, kPopupRefill) {
  if (origin == Origin::Fresh) {  // the engine made its window this size
    m_viewWidth = kNewViewWidth;
    m_viewHeight = kNewViewHeight;
  }
}

CPageCore::~CPageCore() = default;

std::shared_ptr<CPageCore> CPageCore::Pending(std::shared_ptr<CPageEngine> engine) {
  auto page = std::make_shared<CPageCore>(std::move(engine), nullptr, "", "", Origin::Fresh);
  page->m_state = State::Starting;
  {
    platform::CMutexLock guard(page->m_mutex);
    page->m_replacing = true;
  }
  return page;
}

std::string CPageCore::Describe() const { return m_targetId.empty() ? "new page" : "page " + m_targetId.substr(0, 8); }

bool CPageCore::BrowserAlive() const { return m_browser && m_browser->Alive(); }

// ---------------------------------------------------------------- commands

void CPageCore::Command(const std::string& method, Json params, Reply reply) {
  if (!m_browser) {
    if (reply) reply("the page has no Chromium", Json());
    return;
  }
  std::weak_ptr<CPageCore> weak = shared_from_this();
  CCdpConnection::Callback callback = [weak, method, reply](const Json& message) {
    auto self = weak.lock();
    if (!self) return;
    std::string error;
    if (CCdpConnection::IsError(message, &error)) {
      if (reply) reply(error, Json());
      else if (self->CurrentState() == State::Open) LogWarning(self->Describe() + ": " + method + " failed: " + error);
      return;
    }
    if (reply) reply("", Field(message, "result"));
  };
  if (m_browser->Connection()->Send(method, std::move(params), m_sessionId, std::move(callback)) == 0 && reply)
    reply("Chromium is not running", Json());
}

void CPageCore::BrowserCommand(const std::string& method, Json params, Reply reply) {
  if (!m_browser) {
    if (reply) reply("the page has no Chromium", Json());
    return;
  }
  CCdpConnection::Callback callback;
  if (reply) {
    std::weak_ptr<CPageCore> weak = shared_from_this();
    callback = [weak, reply](const Json& message) {
      std::shared_ptr<CPageCore> self = weak.lock();  // alive until the reply is handled
      if (!self) return;
      std::string error;
      if (CCdpConnection::IsError(message, &error)) reply(error, Json());
      else reply("", Field(message, "result"));
    };
  }
  if (m_browser->Connection()->Send(method, std::move(params), "", std::move(callback)) == 0 && reply)
    reply("Chromium is not running", Json());
}

void CPageCore::Emit(const wchar_t* key, const KeyValues& values) { m_hub->Emit(key, WriteKeyValueText(values)); }

bool CPageCore::IsMainFrame(const Json& params, const char* field) const { return Text(params, field) == m_targetId; }

// ---------------------------------------------------------------- start and end

void CPageCore::Announce() {
  Emit(L"CHLIDHANDLE", {{L"HWND", Hex(HandleValue(m_view))}});
  Emit(L"SHOWIEWND", {{L"ISWNDSHOW", L"1"}});
}

void CPageCore::Start(bool announce, std::function<void(const std::string& error)> done) {
  // Sent one after the other without waiting for each answer: Chromium carries out a
  // session's commands in order. The page is ready once the last one is answered (so all
  // are): a document that commits in a new renderer before Chromium has taken note of an
  // enable would lose its events, so the first navigation waits for that one answer.
  const std::pair<const char*, Json> setup[] = {
      {"Runtime.addBinding", Json{{"name", std::string(kBindingName)}}},
      {"Page.addScriptToEvaluateOnNewDocument", Json{{"source", m_script}}},
      {"Page.enable", Json::object()},
      {"Network.enable", Json::object()},
      {"Runtime.enable", Json::object()},
  };
  auto failure = std::make_shared<std::string>();
  const size_t count = sizeof(setup) / sizeof(setup[0]);
  for (size_t i = 0; i < count; ++i) {
    const std::string method = setup[i].first;
    const bool last = i + 1 == count;
    Command(method, setup[i].second, [this, failure, method, last, done](const std::string& error, const Json&) {
      if (!error.empty() && failure->empty()) *failure = method + ": " + error;
      if (!last) return;
      // What an adopted window already shows is asked for once every domain reports.
      if (failure->empty() && m_origin == Origin::Adopted && CurrentState() == State::Open) ProbeAdoptedDocument();
      done(*failure);
    });
  }
  if (announce) Announce();
  if (unsigned int zoom = m_engine->Zoom(); zoom != 100) ApplyZoom(zoom);
  if (m_origin == Origin::Adopted) {
    // The window may have loaded before it was adopted: give it the page script now
    // (what it shows is reported once the setup is answered).
    Command("Runtime.evaluate", Json{{"expression", m_script}});
  }
}

void CPageCore::ProbeAdoptedDocument(int attemptsLeft) {
  // Learnt now, so that a zoom later applies without waiting for it.
  if (m_viewWidth <= 0 && !m_browser->Headed()) QueryViewSize(false);
  // The address as Chromium shows it (a source window's document reports the page's
  // own address), then the document's state and title.
  BrowserCommand("Target.getTargetInfo", Json{{"targetId", m_targetId}}, [this, attemptsLeft](const std::string& error, const Json& info) {
    if (!error.empty() || CurrentState() != State::Open) return;
    std::wstring url = Wide(Text(Field(info, "targetInfo"), "url"));
    // A source window's own events name the page it shows; its address is the source's.
    if (url.rfind(L"view-source:", 0) == 0) m_showsSource = true;
    if (!m_url.empty() && (!m_showsSource || m_url == url)) return;  // its own events came
    if (url.empty() || url == L"about:blank") {
      // Its own navigation may still come, or may have passed unheard: look again.
      RecheckAdopted(attemptsLeft, true);
      return;
    }
    const char* expression =
        "[document.readyState, document.title,"
        " (document.querySelector('link[rel~=\"icon\" i]') || {}).href || '']";
    Command("Runtime.evaluate", Json{{"expression", expression}, {"returnByValue", true}},
            [this, url, attemptsLeft](const std::string& failure, const Json& result) {
              if (!failure.empty() || CurrentState() != State::Open || m_url == url) return;
              if (!m_url.empty() && !m_showsSource) return;  // its own events came meanwhile
              const Json& value = Field(Field(result, "result"), "value");
              if (!value.is_array() || value.size() != 3) return;
              for (const Json& item : value) {
                if (!item.is_string()) return;
              }
              BeginNavigation(url);
              Committed(url);
              m_title = Wide(value[1].get<std::string>());
              EmitTitle();
              EmitIcon(Wide(value[2].get<std::string>()));
              if (value[0].get<std::string>() == "complete") {
                Loaded();
              } else {
                // Its load event may come before the page heard of the document, and
                // is then lost: the document's state is asked again.
                RecheckAdopted(attemptsLeft, false);
              }
            });
  });
}

void CPageCore::RecheckAdopted(int attemptsLeft, bool probe) {
  if (attemptsLeft <= 0) return;
  std::weak_ptr<CPageCore> weak = shared_from_this();
  m_engine->PostDelayed(kAdoptedRecheckInterval, [weak, attemptsLeft, probe] {
    std::shared_ptr<CPageCore> self = weak.lock();
    if (!self || self->CurrentState() != State::Open || self->m_doc.completeSent) return;
    if (probe) return self->ProbeAdoptedDocument(attemptsLeft - 1);
    self->Command("Runtime.evaluate", Json{{"expression", "document.readyState"}, {"returnByValue", true}},
                  [weak, attemptsLeft](const std::string& failure, const Json& result) {
                    std::shared_ptr<CPageCore> page = weak.lock();
                    if (!page || !failure.empty() || page->CurrentState() != State::Open || page->m_doc.completeSent)
                      return;
                    if (Text(Field(result, "result"), "value") == "complete") {
                      page->Loaded();
                    } else {
                      page->RecheckAdopted(attemptsLeft - 1, false);
                    }
                  });
  });
}

void CPageCore::Dispose() {
  if (std::shared_ptr<CPageCore> next = Successor()) next->Dispose();
  if (CurrentState() == State::Closed) return;
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self] { self->Close(false); })) m_hub->ReleaseSinks();
}

void CPageCore::OnShutdown() {
  m_state = State::Closed;
  m_hub->ReleaseSinks();
}

void CPageCore::OnTargetDestroyed() {
  if (CurrentState() == State::Closed) return;
  LogInfo(Describe() + " was closed by Chromium");
  m_state = State::Closed;
  m_nav.active = false;
  Emit(L"CLOSEWNDNOTIFTY", {{L"URL", m_url}});
  ClosePendingPopups();
  m_hub->ReleaseSinks();
  m_engine->Forget(this);
}

void CPageCore::OnCrashed(const std::string& status) {
  State expected = State::Open;
  if (!m_state.compare_exchange_strong(expected, State::Crashed)) return;
  m_nav.active = false;
  LogError(Describe() + " crashed (" + status + ") at " + Utf8(m_url));
  {
    platform::CMutexLock guard(m_mutex);
    m_crashes.push_back(std::chrono::steady_clock::now());
  }
  // The sinks stay: a page whose renderer crashed comes back on REFRESH or NAVIGATE, in
  // the same tab, with the same subscribers.
  Emit(L"PROCESSCRASH", {{L"STATUS", Wide(status)}});
}

bool CPageCore::Revives(const Order& order) const {
  // Only the renderer died: Chromium starts a new one for the page when it is loaded.
  return (order.kind == OrderKind::Refresh || order.kind == OrderKind::Navigate) && BrowserAlive();
}

void CPageCore::Close(bool keepForRecovery) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  State before = m_state.exchange(State::Closed);
  if (before == State::Closed) return;
  m_nav.active = false;
  const std::wstring& kept = WorthKeeping(m_url) ? m_url : m_requestedURL;
  if (keepForRecovery && WorthKeeping(kept) && m_engine->Options().onTabClosedForRecovery) {
    m_engine->Options().onTabClosedForRecovery(NewUuid(), m_title.empty() ? kept : m_title, kept);
  }
  BrowserCommand("Target.closeTarget", Json{{"targetId", m_targetId}});
  ClosePendingPopups();
  m_hub->ReleaseSinks();
  m_engine->Forget(this);
}

void CPageCore::ClosePendingPopups() {
  std::deque<PendingPopup> popups;
  {
    platform::CMutexLock guard(m_mutex);
    popups.swap(m_popups);
  }
  for (const PendingPopup& popup : popups) BrowserCommand("Target.closeTarget", Json{{"targetId", popup.targetId}});
}

// ---------------------------------------------------------------- windows opened by the page

void CPageCore::OnPopupCreated(const std::string& targetId, const std::wstring& url) {
  std::wstring shown = url.empty() ? m_lastWindowOpenUrl : url;
  {
    platform::CMutexLock guard(m_mutex);
    m_popups.push_back(PendingPopup{targetId, shown});
  }
  if (CurrentState() != State::Open) {
    ClosePendingPopups();
    return;
  }
  Emit(L"NEWINDOW", {{L"URL", shown}});
}

void CPageCore::OnPopupUrl(const std::string& targetId, const std::wstring& url) {
  platform::CMutexLock guard(m_mutex);
  for (PendingPopup& popup : m_popups) {
    if (popup.targetId == targetId && !url.empty()) popup.url = url;
  }
}

void CPageCore::OnPopupGone(const std::string& targetId) {
  platform::CMutexLock guard(m_mutex);
  for (auto it = m_popups.begin(); it != m_popups.end(); ++it) {
    if (it->targetId == targetId) {
      m_popups.erase(it);
      return;
    }
  }
}

bool CPageCore::TakePendingPopup(std::string* targetId) {
  platform::CMutexLock guard(m_mutex);
  if (m_popups.empty()) return false;
  *targetId = m_popups.front().targetId;
  m_popups.pop_front();
  return true;
}

// ---------------------------------------------------------------- engine events

void CPageCore::OnSessionEvent(const std::string& method, const Json& params) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  if (CurrentState() != State::Open) return;
  if (method == "Page.frameStartedNavigating") {
    std::string type = Text(params, "navigationType");
    if (IsMainFrame(params, "frameId") && type != "sameDocument" && type != "historySameDocument")
      BeginNavigation(Wide(Text(params, "url")));
  } else if (method == "Page.frameStartedLoading") {
    if (IsMainFrame(params, "frameId") && !m_nav.active) BeginNavigation(m_url);
  } else if (method == "Network.requestWillBeSent") {
    if (Text(params, "type") == "Document" && IsMainFrame(params, "frameId")) {
      if (!m_nav.active) BeginNavigation(Wide(Text(Field(params, "request"), "url")));
      m_nav.documentRequest = Text(params, "requestId");
    }
  } else if (method == "Network.responseReceived") {
    if (!m_nav.active || Text(params, "requestId") != m_nav.documentRequest) return;
    SetProgress(30);
    const Json& response = Field(params, "response");
    long long status = Number(response, "status", 0, 999, 0, "Network.responseReceived");
    if (status >= 400) {
      ReportError(static_cast<uint32_t>(status), "HTTP " + std::to_string(status) + " " + Text(response, "statusText"),
                  Wide(Text(response, "url")), Text(params, "loaderId"));
    }
  } else if (method == "Network.loadingFailed") {
    if (!m_nav.active || Text(params, "requestId") != m_nav.documentRequest) return;
    std::string error = Text(params, "errorText");
    bool canceled = Field(params, "canceled").is_boolean() && Field(params, "canceled").get<bool>();
    if (!canceled && error != "net::ERR_ABORTED") ReportError(0, error, m_nav.url, Text(params, "requestId"));
  } else if (method == "Page.frameNavigated") {
    const Json& frame = Field(params, "frame");
    if (Text(frame, "id") != m_targetId || Field(frame, "parentId").is_string()) return;
    std::string unreachable = Text(frame, "unreachableUrl");
    Committed(Wide(unreachable.empty() ? Text(frame, "url") + Text(frame, "urlFragment") : unreachable));
  } else if (method == "Page.navigatedWithinDocument") {
    if (IsMainFrame(params, "frameId")) SameDocument(Wide(Text(params, "url")));
  } else if (method == "Page.domContentEventFired") {
    if (m_nav.active) SetProgress(80);
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
    if (id != 0 && id == m_mainContext) {
      m_mainContext = 0;
      m_mainOrigin.clear();
    }
  } else if (method == "Runtime.executionContextsCleared") {
    m_contextOrigins.clear();
    m_mainContext = 0;
    m_mainOrigin.clear();
  } else if (method == "Runtime.bindingCalled") {
    if (Text(params, "name") == kBindingName) OnPageMessage(params);
  }
  // A renderer's crash is reported once, by "Target.targetCrashed" (the engine routes it
  // here with its status). The Inspector domain would report it a second time, and that
  // report could come after an order has brought the page back.
}

void CPageCore::BeginNavigation(const std::wstring& url) {
  m_nav = Navigation();
  m_nav.active = true;
  m_nav.generation = ++m_navigationCount;
  m_nav.url = url;
  for (const wchar_t* key : {L"NAVIGATECOMPLETE", L"DOCUMENTCOMPLETE", L"NAVIGATEERROR", L"ICONCHANGE"})
    m_hub->Forget(key);
  // A text size other than the default is sent again for every document: one sent while
  // the first document of a page was on its way to a new renderer has been seen lost.
  if (uint32_t size = m_fontSize; size != kDefaultFontSize) ApplyFontSize(size);
  Emit(L"BEFORENAVIGATE", {{L"URL", url}});
  // The host forgets title and icon on BEFORENAVIGATE: the next ones go out even when
  // they are what was last sent (a reload, a stopped load).
  m_lastTitleSent.clear();
  m_lastTitleUrl.clear();
  m_lastIconSent.clear();
  SetProgress(0);
  std::weak_ptr<CPageCore> weak = shared_from_this();
  uint64_t generation = m_nav.generation;
  m_engine->PostDelayed(m_engine->Options().navigationTimeout, [weak, generation] {
    auto self = weak.lock();
    if (!self || self->CurrentState() != State::Open || !self->m_nav.active || self->m_nav.generation != generation)
      return;
    LogWarning(self->Describe() + ": " + Utf8(self->m_nav.url) + " did not finish in time; stopped");
    self->ReportError(0, "net::ERR_TIMED_OUT", self->m_nav.url, "");
    self->Command("Page.stopLoading", Json::object());
    self->FinishNavigation();
  });
}

void CPageCore::Committed(const std::wstring& committed) {
  const std::wstring url =
      m_showsSource && committed.rfind(L"view-source:", 0) != 0 ? L"view-source:" + committed : committed;
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  if (!m_nav.active) BeginNavigation(url);
  m_nav.url = url;
  m_url = url;
  m_requestedURL.clear();
  m_title.clear();
  m_doc = Document();
  // Values waiting from the previous document are void; the new one's first pass at once.
  m_titleGate.Reset();
  m_iconGate.Reset();
  Emit(L"NAVIGATECOMPLETE", {{L"URL", url}});
  SetProgress(50);
  RefreshHistory();
}

void CPageCore::SameDocument(const std::wstring& url) {
  m_url = url;
  Emit(L"NAVIGATECOMPLETE", {{L"URL", url}});
  EmitTitle();
  RefreshHistory();
}

void CPageCore::Loaded() {
  if (m_url.empty()) return;
  ReportTitleAndIcon();
  if (!m_doc.completeSent) {
    m_nav.progress = std::min(m_nav.progress, 99);
    SetProgress(100);
    m_doc.completeSent = true;
    Emit(L"DOCUMENTCOMPLETE", {{L"URL", m_url}});
  }
  m_nav.active = false;
  // A new page starts on an empty document that a user never asked for. It stays in
  // Chromium's history and is only left out of what the host sees (ReadHistory): a tab
  // whose history holds a single document is one that its page may close (HTML's
  // "script-closable"), and Chromium would then obey a window.close() that the page
  // takes from another frame, past the engine's script.
  // Asked again now: while a document commits Chromium may not answer yet.
  RefreshHistory();
}

void CPageCore::FinishNavigation() {
  if (!m_nav.active) return;
  SetProgress(100);
  m_nav.active = false;
  // Stopped before a new document came: the page still shows the old one.
  ReportTitleAndIcon();
}

void CPageCore::ReportTitleAndIcon() {
  if (m_url.empty()) return;
  EmitTitle();
  if (!m_doc.icon.empty()) EmitIcon(m_doc.icon);
}

void CPageCore::SetProgress(int percent) {
  if (percent <= m_nav.progress) return;
  m_nav.progress = percent;
  Emit(L"PROGRESSCHANGE", {{L"PERCENT", Hex(static_cast<uint32_t>(percent))}});
}

void CPageCore::ReportError(uint32_t status, const std::string& text, const std::wstring& url,
                            const std::string& loaderId) {
  if (!loaderId.empty()) {
    for (const std::string& reported : m_reportedLoaders) {
      if (reported == loaderId) return;
    }
    m_reportedLoaders.push_back(loaderId);
    if (m_reportedLoaders.size() > 16) m_reportedLoaders.pop_front();
  }
  LogWarning(Describe() + ": navigation to " + Utf8(url) + " failed: " + text);
  Emit(L"NAVIGATEERROR", {{L"ERROR", Wide(text)}, {L"STATUS", Hex(status)}, {L"URL", url}});
}

void CPageCore::EmitTitle() {
  if (m_url.empty()) return;  // nothing committed yet: the title follows with the document
  std::wstring title = m_title.empty() ? m_url : m_title;
  if (title == m_lastTitleSent && m_url == m_lastTitleUrl) return;
  m_lastTitleSent = title;
  m_lastTitleUrl = m_url;
  Emit(L"TITLECHANGE", {{L"TITLE", title}, {L"URL", m_url}});
}

void CPageCore::EmitIcon(const std::wstring& declared) {
  std::wstring icon = declared.empty() ? DefaultIcon(m_url) : declared;
  if (icon.empty()) return;
  m_doc.icon = icon;
  if (icon == m_lastIconSent) return;
  m_lastIconSent = icon;
  Emit(L"ICONCHANGE", {{L"ICOURL", icon}});
}

void CPageCore::RefreshHistory() {
  Command("Page.getNavigationHistory", Json::object(), [this](const std::string& error, const Json& result) {
    if (!error.empty()) return;
    StoreHistory(result);
    int back, fore;
    {
      platform::CMutexLock guard(m_mutex);
      back = m_history.current > 0;
      fore = m_history.current >= 0 && m_history.current + 1 < static_cast<int>(m_history.entries.size());
    }
    if (CurrentState() != State::Open) return;
    if (back != m_backState) {
      m_backState = back;
      Emit(L"BACKFORWARDSTATECHANGE", {{L"STATE", back ? L"TRUE" : L"FALSE"}});
    }
    if (fore != m_foreState) {
      m_foreState = fore;
      Emit(L"GOFORWARDSTATECHANGE", {{L"STATE", fore ? L"TRUE" : L"FALSE"}});
    }
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
  NavigationHistory history = ReadHistory(result);
  platform::CMutexLock guard(m_mutex);
  m_history = std::move(history);
}

void CPageCore::OnContextCreated(const Json& context) {
  long long id = Number(context, "id", 1, INT_MAX, 0, "Runtime.executionContextCreated");
  if (id == 0) return;
  std::string origin = Text(context, "origin");
  m_contextOrigins[id] = origin;
  const Json& aux = Field(context, "auxData");
  if (Text(aux, "frameId") == m_targetId && Field(aux, "isDefault").is_boolean() && Field(aux, "isDefault").get<bool>()) {
    m_mainContext = id;
    m_mainOrigin = origin;
  }
}

std::string CPageCore::OriginOfContext(long long contextId) const {
  auto it = m_contextOrigins.find(contextId);
  return it == m_contextOrigins.end() ? "" : it->second;
}

bool CPageCore::IsTrusted(const std::string& origin) const {
  return IsTrustedOrigin(m_engine->TrustedOrigins(), origin);
}

bool CPageCore::MayClose(const std::string& origin, std::string* why) const {
  // As browsers do: a window that a page opened may be closed by its script; so may the
  // host's own pages. Any other tab belongs to the user.
  if (m_origin == Origin::Adopted || IsTrusted(origin)) return true;
  *why = "the tab was not opened by a script and " + Shown(origin) + " is not a trusted origin";
  return false;
}

void CPageCore::OnPageMessage(const Json& params) {
  long long contextId = Number(params, "executionContextId", 1, INT_MAX, 0, "Runtime.bindingCalled");
  const std::string origin = OriginOfContext(contextId);
  PageMessage message;
  std::string error;
  bool forged = false;
  if (!OpenPageMessage(Text(params, "payload"), m_token, &message, &error, &forged)) {
    if (!forged) {
      LogWarning(Describe() + ": " + error);
    } else if (m_doc.forgedLogged < kForgedLogLimit) {
      // Only the engine's script holds the binding and the token: this is a page script
      // that found a way to the binding. Logged a few times per document, never obeyed.
      ++m_doc.forgedLogged;
      LogWarning(Describe() + ": dropped " + error + " from " + Shown(origin) +
                 (m_doc.forgedLogged == kForgedLogLimit ? " (further ones of this document are not logged)" : ""));
    }
    return;
  }
  // Only the top-level document speaks for the page; frames may only report blocked popups.
  const bool fromTop = contextId != 0 && contextId == m_mainContext;
  if (message.type == PageMessage::Type::PopupBlocked) {
    if (!m_popupBudget.Allow(std::chrono::steady_clock::now())) {
      if (!m_doc.popupsDroppedLogged) {
        m_doc.popupsDroppedLogged = true;
        LogWarning(Describe() + ": " + Shown(origin) + " has windows refused faster than they are reported; some are left out");
      }
      return;
    }
    LogInfo(Describe() + ": blocked a window for " + Utf8(message.text));
    Emit(L"POPBLOCK", {{L"URL", message.text}});
    return;
  }
  if (!fromTop) {
    LogWarning(Describe() + ": dropped a message of a frame (" + Shown(origin) + "): only the top-level document is heard");
    return;
  }
  switch (message.type) {
    case PageMessage::Type::Title:
      m_title = message.text;
      OfferTitle();
      break;
    case PageMessage::Type::Icon:
      OfferIcon(message.text);
      break;
    case PageMessage::Type::Status:
      OfferStatus(message.text);
      break;
    case PageMessage::Type::PopupBlocked:
      break;
    case PageMessage::Type::Close: {
      std::string why;
      if (!MayClose(origin, &why)) {
        LogInfo(Describe() + ": window.close() ignored: " + why);
        break;
      }
      if (m_doc.closeAsked) break;
      m_doc.closeAsked = true;
      if (!m_url.empty()) {
        Emit(L"CLOSEWNDNOTIFTY", {{L"URL", m_url}});
        break;
      }
      // A window the host has just adopted may ask before its address is known here:
      // the event names the page, so ask Chromium for it.
      BrowserCommand("Target.getTargetInfo", Json{{"targetId", m_targetId}}, [this](const std::string& failure, const Json& info) {
        if (CurrentState() != State::Open) return;
        std::wstring url = failure.empty() ? Wide(Text(Field(info, "targetInfo"), "url")) : std::wstring();
        Emit(L"CLOSEWNDNOTIFTY", {{L"URL", url.empty() ? m_url : url}});
      });
      break;
    }
    case PageMessage::Type::AddFavorite:
    case PageMessage::Type::EditFavorite: {
      bool add = message.type == PageMessage::Type::AddFavorite;
      if (!IsTrusted(origin)) {
        LogWarning(Describe() + ": " + (add ? "showAddFavorite" : "showEditFavorite") + " dropped: " + Shown(origin) +
                   " is not a trusted origin");
        break;
      }
      if (add) {
        Emit(L"SHOWADDFAVWND", {{L"FAVPID", Hex(message.parentId)}});
      } else {
        Emit(L"SHOWEDITFAVWND", {{L"FAVID", Hex(message.id)},
                                 {L"FAVPID", Hex(message.parentId)},
                                 {L"TITLECHANGE", message.text},
                                 {L"URL", message.url}});
      }
      break;
    }
  }
}

void CPageCore::OfferTitle() {
  std::chrono::milliseconds delay{0};
  uint64_t ticket = 0;
  switch (m_titleGate.Offer(std::chrono::steady_clock::now(), &delay, &ticket)) {
    case CLatestValueGate::Decision::SendNow: EmitTitle(); break;
    case CLatestValueGate::Decision::ScheduleFlush: ScheduleFlush(delay, &CPageCore::FlushTitle, ticket); break;
    case CLatestValueGate::Decision::Waiting: break;
  }
}

void CPageCore::OfferIcon(const std::wstring& declared) {
  m_pendingIcon = declared;
  std::chrono::milliseconds delay{0};
  uint64_t ticket = 0;
  switch (m_iconGate.Offer(std::chrono::steady_clock::now(), &delay, &ticket)) {
    case CLatestValueGate::Decision::SendNow: EmitIcon(declared); break;
    case CLatestValueGate::Decision::ScheduleFlush: ScheduleFlush(delay, &CPageCore::FlushIcon, ticket); break;
    case CLatestValueGate::Decision::Waiting: break;
  }
}

void CPageCore::OfferStatus(const std::wstring& text) {
  m_pendingStatus = text;
  std::chrono::milliseconds delay{0};
  uint64_t ticket = 0;
  switch (m_statusGate.Offer(std::chrono::steady_clock::now(), &delay, &ticket)) {
    case CLatestValueGate::Decision::SendNow: Emit(L"STATEXTCHANGED", {{L"STATTEXT", text}}); break;
    case CLatestValueGate::Decision::ScheduleFlush: ScheduleFlush(delay, &CPageCore::FlushStatus, ticket); break;
    case CLatestValueGate::Decision::Waiting: break;
  }
}

void CPageCore::ScheduleFlush(std::chrono::milliseconds delay, void (CPageCore::*flush)(uint64_t), uint64_t ticket) {
  std::weak_ptr<CPageCore> weak = shared_from_this();
  m_engine->PostDelayed(delay, [weak, flush, ticket] {
    if (auto self = weak.lock()) ((*self).*flush)(ticket);
  });
}

void CPageCore::FlushTitle(uint64_t ticket) {
  if (m_titleGate.Flush(std::chrono::steady_clock::now(), ticket) && CurrentState() == State::Open) EmitTitle();
}

void CPageCore::FlushIcon(uint64_t ticket) {
  if (m_iconGate.Flush(std::chrono::steady_clock::now(), ticket) && CurrentState() == State::Open) EmitIcon(m_pendingIcon);
}

void CPageCore::FlushStatus(uint64_t ticket) {
  if (m_statusGate.Flush(std::chrono::steady_clock::now(), ticket) && CurrentState() == State::Open)
    Emit(L"STATEXTCHANGED", {{L"STATTEXT", m_pendingStatus}});
}

void CPageCore::OnDialog(const Json& params) {
  // Nobody can answer a dialog of a headless page: alerts are acknowledged, questions
  // declined, and leaving a page is allowed, so that no page can stall.
  std::string type = Text(params, "type");
  bool accept = type == "alert" || type == "beforeunload";
  LogInfo(Describe() + ": " + type + " dialog \"" + Text(params, "message") + "\" " +
          (accept ? "acknowledged" : "declined"));
  Command("Page.handleJavaScriptDialog", Json{{"accept", accept}});
}

// ---------------------------------------------------------------- host side

HRESULT CPageCore::SendOrder(const wchar_t* text) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->SendOrder(text);
  Order order;
  std::string error;
  if (!ParseOrder(text, &order, &error)) {
    LogWarning(Describe() + ": order refused: " + error);
    State state = CurrentState();
    if (text && (error.rfind("NAVIGATE", 0) == 0 || error.rfind("RECOVERWND", 0) == 0) &&
        (state == State::Open || state == State::Starting)) {
      Emit(L"NAVIGATEERROR", {{L"ERROR", Wide(error)}, {L"STATUS", L"0"}, {L"URL", L""}});
    }
    return text ? E_INVALIDARG : E_POINTER;
  }
  return Submit(order);
}

bool CPageCore::Defer(const Order& order) {
  platform::CMutexLock guard(m_mutex);
  if (m_successor || !m_replacing || CurrentState() == State::Closed) return false;
  m_deferred.push_back(order);
  return true;
}

HRESULT CPageCore::Submit(const Order& order) {
  if (Defer(order)) return S_OK;
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Submit(order);
  State state = CurrentState();
  if (state == State::Crashed && !BrowserAlive() && order.kind != OrderKind::CloseTab) return ReviveFor(order);
  bool allowed = state == State::Crashed && (order.kind == OrderKind::CloseTab || Revives(order));
  if (state != State::Open && !allowed) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page " +
               (state == State::Crashed ? "has crashed" : "is closed"));
    if (state == State::Crashed) {
      // Told as an event too: the host's interface shows what became of the order.
      Emit(L"ORDERUNSUPPORTED", {{L"CMD", order.name},
                                 {L"REASON", BrowserAlive() ? L"the page has crashed; REFRESH or NAVIGATE brings it back"
                                                            : L"the page has crashed with its browser"}});
    }
    return E_FAIL;
  }
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self, order] { self->Execute(order); })) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    return E_FAIL;
  }
  return S_OK;
}

HRESULT CPageCore::ReviveFor(const Order& order) {
  // Brought back when commanded, unless it keeps crashing: then only REFRESH or NAVIGATE,
  // the user's own request, tries again.
  const bool asked = order.kind == OrderKind::Refresh || order.kind == OrderKind::Navigate;
  const WebPageOptions& options = m_engine->Options();
  if (!asked && RecentCrashes() >= options.crashLimit) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: " +
               webpage::CrashLimitText(options.crashLimit, options.crashWindow));
    for (const auto& event : webpage::CrashLimitEvents(order.name, options.crashLimit, options.crashWindow))
      Emit(event.key, event.values);
    return E_FAIL;
  }
  {
    // One new page at a time: orders that come while it is made wait for it.
    platform::CMutexLock guard(m_mutex);
    if (m_replacing && !m_successor) {
      m_deferred.push_back(order);
      return S_OK;
    }
    m_replacing = true;
  }
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self, order] { self->m_engine->Revive(self, order); })) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    platform::CMutexLock guard(m_mutex);
    m_replacing = false;
    return E_FAIL;
  }
  return S_OK;
}

int CPageCore::RecentCrashes() {
  const auto now = std::chrono::steady_clock::now();
  platform::CMutexLock guard(m_mutex);
  while (!m_crashes.empty() && now - m_crashes.front() > m_engine->Options().crashWindow) m_crashes.pop_front();
  return static_cast<int>(m_crashes.size());
}

std::shared_ptr<CPageCore> CPageCore::Successor() const {
  platform::CMutexLock guard(m_mutex);
  return m_successor;
}

void CPageCore::TakeOver(CPageCore& dead, const Order* order) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  std::deque<Order> deferred;
  uint32_t fontSize;
  bool closed;
  {
    platform::CMutexPairLock guard(m_mutex, dead.m_mutex);
    closed = dead.CurrentState() == State::Closed;
    deferred.swap(dead.m_deferred);
    dead.m_replacing = false;
    fontSize = dead.m_fontSize;
    if (!closed) {
      m_crashes = dead.m_crashes;
      dead.m_successor = shared_from_this();
    }
  }
  if (closed) {
    // Released or closed while Chromium made this page: it goes too.
    LogInfo(dead.Describe() + " was closed before " + Describe() + " was ready" +
            (deferred.empty() ? "" : "; " + std::to_string(deferred.size()) + " order(s) dropped"));
    Close(false);
    return;
  }
  if (order) LogInfo(dead.Describe() + " is brought back by " + Utf8(order->name) + " as " + Describe());
  if (fontSize != m_fontSize) {
    m_fontSize = fontSize;
    ApplyFontSize(fontSize);
  }
  if (dead.m_muted) SetAudio(false);
  if (order && order->kind != OrderKind::Navigate && WorthKeeping(dead.m_url)) Navigate(dead.m_url);
  if (order && order->kind != OrderKind::Refresh) Execute(*order);
  for (const Order& next : deferred) Execute(next);
}

void CPageCore::NotRevived(const Order& order, const std::string& error) {
  std::deque<Order> orders;
  {
    platform::CMutexLock guard(m_mutex);
    orders.swap(m_deferred);
    m_replacing = false;
  }
  orders.push_front(order);
  LogError(Describe() + ": could not be brought back for " + Utf8(order.name) + ": " + error);
  RefuseDeferred(std::move(orders), L"the page could not be brought back: " + Wide(error), false);
}

void CPageCore::SetupFailed(const std::string& status, const std::string& error) {
  std::deque<Order> orders;
  bool closed;
  {
    platform::CMutexLock guard(m_mutex);
    orders.swap(m_deferred);
    m_replacing = false;
    State starting = State::Starting;
    closed = !m_state.compare_exchange_strong(starting, State::Crashed);
    if (!closed) m_crashes.push_back(std::chrono::steady_clock::now());
  }
  if (closed) return;
  LogError(Describe() + " could not be set up (" + status + "): " + error +
           (orders.empty() ? "" : "; " + std::to_string(orders.size()) + " order(s) not carried out"));
  // Like a page whose Chromium died: the next order tries again.
  Emit(L"PROCESSCRASH", {{L"STATUS", Wide(status)}});
  RefuseDeferred(std::move(orders), SetupFailureReason(status), true);
}

void CPageCore::RefuseDeferred(std::deque<Order> orders, const std::wstring& reason, bool navigationErrors) {
  for (const Order& order : orders) {
    if (order.kind == OrderKind::CloseTab) {
      Execute(order);  // a page that does not work can still be closed
      continue;
    }
    if (navigationErrors && (order.kind == OrderKind::Navigate || order.kind == OrderKind::GoHome)) {
      std::wstring url = order.kind == OrderKind::Navigate ? order.text : m_engine->Options().homePage;
      Emit(L"NAVIGATEERROR", {{L"ERROR", reason}, {L"STATUS", L"0"}, {L"URL", url}});
    }
    Emit(L"ORDERUNSUPPORTED", {{L"CMD", order.name}, {L"REASON", reason}});
  }
}

HRESULT CPageCore::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Subscribe(key, std::move(sink), cookie);
  if (cookie) *cookie = 0;
  if (!key || !*key || !sink) {
    LogWarning(Describe() + ": Subscribe needs a key and a sink");
    return E_INVALIDARG;
  }
  if (!CEventHub::IsKnown(key)) LogWarning(Describe() + ": nothing is ever sent for \"" + Utf8(key) + "\"");
  uintptr_t given = m_hub->Subscribe(key, std::move(sink));
  if (cookie) *cookie = given;
  return S_OK;
}

HRESULT CPageCore::SetData(const wchar_t* name, const wchar_t* value) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->SetData(name, value);
  if (!name || std::wstring(name) != L"font.size") {
    LogWarning(Describe() + ": SetData of unknown name \"" + (name ? Utf8(name) : std::string("(null)")) + "\"");
    return E_INVALIDARG;
  }
  uint32_t size = 0;
  if (!ParseFontSize(value, &size)) {
    LogWarning(Describe() + ": font.size must be 0 to 4, not \"" + (value ? Utf8(value) : std::string("(null)")) + "\"");
    return E_INVALIDARG;
  }
  std::shared_ptr<CPageCore> next;
  {
    // Under the lock: a page that takes over from this one reads the size under it.
    platform::CMutexLock guard(m_mutex);
    next = m_successor;
    if (!next) m_fontSize = size;
  }
  if (next) return next->SetData(name, value);
  if (CurrentState() != State::Open) return S_OK;
  std::shared_ptr<CPageCore> self = shared_from_this();
  m_engine->Post([self, size] { self->ApplyFontSize(size); });
  return S_OK;
}

void CPageCore::ApplyFontSize(uint32_t size) {
  int standard = FontSizePixels(size);
  Command("Page.setFontSizes", Json{{"fontSizes", {{"standard", standard}, {"fixed", standard * 13 / 16}}}});
}

HRESULT CPageCore::GetData(const wchar_t* name, wchar_t** value) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->GetData(name, value);
  if (!value) return E_POINTER;
  *value = nullptr;
  std::wstring key = name ? name : L"";
  std::wstring text;
  if (key == L"font.size") {
    text = std::to_wstring(m_fontSize.load());
  } else if (key == L"TRAVELLOG_BACK" || key == L"TRAVELLOG_FORE") {
    // Asked fresh from Chromium where waiting is safe; the last known history otherwise.
    if (CurrentState() == State::Open && !m_engine->OnEngineThread()) {
      Json reply;
      if (m_browser->Connection()->Call("Page.getNavigationHistory", Json::object(), m_sessionId, kHistoryTimeout,
                                        &reply)) {
        StoreHistory(Field(reply, "result"));
      }
    }
    platform::CMutexLock guard(m_mutex);
    text = key == L"TRAVELLOG_BACK" ? BuildBackTravelLog(m_history) : BuildForeTravelLog(m_history);
  } else {
    LogWarning(Describe() + ": GetData of unknown name \"" + Utf8(key) + "\"");
    return E_INVALIDARG;
  }
  *value = m_given.Give(text);
  return S_OK;
}

HRESULT CPageCore::FreeData(wchar_t* value) {
  if (!value) return S_OK;
  if (m_given.Take(value)) return S_OK;
  // Given out by the page that came back in a new Chromium, maybe.
  if (std::shared_ptr<CPageCore> next = Successor()) return next->FreeData(value);
  LogError(Describe() + ": FreeData of a text this page did not give out");
  return E_INVALIDARG;
}

// ---------------------------------------------------------------- orders

void CPageCore::Execute(const Order& order) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  State state = CurrentState();
  if (state == State::Crashed && Revives(order)) {
    State crashed = State::Crashed;
    if (m_state.compare_exchange_strong(crashed, State::Open)) {
      LogInfo(Describe() + ": brought back by " + Utf8(order.name));
      state = State::Open;
    }
  }
  if (state != State::Open && !(order.kind == OrderKind::CloseTab && state == State::Crashed)) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page " +
               (state == State::Crashed ? "has crashed" : "is closed"));
    return;
  }
  switch (order.kind) {
    case OrderKind::Navigate: Navigate(order.text); break;
    case OrderKind::GoBack: GoBy(-1, order.name); break;
    case OrderKind::GoForward: GoBy(1, order.name); break;
    case OrderKind::Stop:
      Command("Page.stopLoading", Json::object());
      FinishNavigation();
      break;
    case OrderKind::Refresh: Command("Page.reload", Json::object()); break;
    case OrderKind::GoHome:
      if (m_engine->Options().homePage.empty()) ReportError(0, "no home page is set", L"", "");
      else Navigate(NormalizeAddress(m_engine->Options().homePage));
      break;
    case OrderKind::SaveHtml: SaveDocument("html"); break;
    case OrderKind::SaveImage: SaveDocument("png"); break;
    case OrderKind::Print:
    case OrderKind::PrintPreview: SaveDocument("pdf"); break;
    case OrderKind::ViewSource: ViewSource(); break;
    case OrderKind::Find: Find(order.text); break;
    case OrderKind::MoveWindow: MoveView(order.rect); break;
    case OrderKind::Audio: SetAudio(order.enable); break;
    case OrderKind::Recover: Recover(order.text); break;
    case OrderKind::CloseTab: Close(true); break;
    case OrderKind::ParentWindow: ParentView(order.handle); break;
    case OrderKind::GetText: ReadText(order.text == L"SOURCE"); break;
    case OrderKind::Unsupported: Unsupported(order.name, order.reason); break;
  }
}

void CPageCore::Navigate(const std::wstring& url) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  m_requestedURL = url;
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

void CPageCore::SaveDocument(const std::string& kind) {
  // Named after the page as it is now: the page may have moved on when the data comes.
  const std::string stem = FileStem(m_title, m_url);
  // Whichever comes first, the data or the time limit, ends the save.
  auto finished = std::make_shared<bool>(false);
  std::weak_ptr<CPageCore> weak = shared_from_this();
  m_engine->PostDelayed(m_engine->Options().saveTimeout, [weak, finished, kind] {
    auto self = weak.lock();
    if (!self || *finished || self->CurrentState() != State::Open) return;
    *finished = true;
    self->SaveFailed(kind, "Chromium did not answer in time");
  });
  auto onData = [this, kind, stem, finished](const std::string& error, const Json& result) {
    if (*finished) return;
    *finished = true;
    if (!error.empty()) return SaveFailed(kind, error);
    if (kind == "html") {
      const Json& value = Field(Field(result, "result"), "value");
      if (Field(result, "exceptionDetails").is_object() || !value.is_string())
        return SaveFailed(kind, "the page's HTML could not be read");
      return SaveBytes(kind, stem, value.get<std::string>());
    }
    std::string bytes;
    if (!Base64Decode(Text(result, "data"), &bytes) || bytes.empty())
      return SaveFailed(kind, "Chromium sent unreadable data");
    SaveBytes(kind, stem, bytes);
  };
  if (kind == "html") {
    Command("Runtime.evaluate",
            Json{{"expression",
                  "(document.doctype ? new XMLSerializer().serializeToString(document.doctype) + '\\n' : '') + "
                  "(document.documentElement ? document.documentElement.outerHTML : '')"},
                 {"returnByValue", true}},
            onData);
  } else if (kind == "png") {
    Command("Page.captureScreenshot", Json{{"format", "png"}}, onData);
  } else {
    Command("Page.printToPDF", Json{{"printBackground", true}}, onData);
  }
}

void CPageCore::SaveBytes(const std::string& kind, const std::string& stem, const std::string& bytes) {
  std::string error;
  std::string path = SaveNewFile(m_browser->DownloadsFolder(), stem, kind, bytes, &error);
  if (path.empty()) return SaveFailed(kind, error);
  LogInfo(Describe() + ": saved " + path);
  for (const auto& event : webpage::SavedEvents(path, kind)) Emit(event.key, event.values);
}

void CPageCore::SaveFailed(const std::string& kind, const std::string& error) {
  LogWarning(Describe() + ": saving as " + kind + " failed: " + error);
  for (const auto& event : webpage::SaveFailedEvents(kind, error)) Emit(event.key, event.values);
}

void CPageCore::ViewSource() {
  if (!WorthKeeping(m_url) || m_url.compare(0, 12, L"view-source:") == 0)
    return Unsupported(L"VIEWSOURCE", "the page shows no document with a source");
  std::wstring url = L"view-source:" + m_url;
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
  if (text.empty()) return Unsupported(L"FIND", "the engine has no find bar; send FIND with TEXT=<words>");
  Command("Runtime.evaluate", Json{{"expression", FindScript(text)}, {"returnByValue", true}},
          [this, text](const std::string& error, const Json& result) {
            bool found = false;
            long long count = 0;
            if (error.empty()) ReadFindReply(Field(Field(result, "result"), "value"), &found, &count);
            Emit(L"FINDRESULT", {{L"COUNT", Hex(static_cast<uint64_t>(count))}, {L"FOUND", found ? L"TRUE" : L"FALSE"}, {L"TEXT", text}});
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
  Command("Page.addScriptToEvaluateOnNewDocument", Json{{"source", MuteScript(m_muted)}},
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
  Command("Runtime.evaluate", Json{{"expression", MuteScript(m_muted)}});
}

void CPageCore::Recover(const std::wstring& uuid) {
  const auto& lookup = m_engine->Options().lookupRecoveredTab;
  std::wstring url;
  if (!lookup) return ReportError(0, "no store of closed tabs is connected", L"", "");
  if (!lookup(uuid, &url) || url.empty()) return ReportError(0, "no closed tab " + Utf8(uuid) + " is kept", L"", "");
  Navigate(NormalizeAddress(url));
}

void CPageCore::ParentView(uint32_t handle) {
  HWND parent = HandleFromValue(handle);
  if (!IsWindow(parent)) {
    LogWarning(Describe() + ": PARENTHWND names no window (" + Utf8(Hex(handle)) + ")");
    return;
  }
  SetParent(m_view, parent);
}

void CPageCore::Unsupported(const std::wstring& name, const std::string& reason) {
  LogWarning(Describe() + ": " + Utf8(name) + " is not available: " + reason);
  Emit(L"ORDERUNSUPPORTED", {{L"CMD", name}, {L"REASON", Wide(reason)}});
  Emit(L"STATEXTCHANGED", {{L"STATTEXT", name + L" is not available: " + Wide(reason)}});
}

}  // namespace webpage

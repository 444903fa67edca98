#include "components/webpage/pagecore.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <random>
#include <vector>

#include "components/pagecore/recovery.h"
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

CPageCore::CPageCore(std::shared_ptr<CPageEngine> engine, std::shared_ptr<CBrowser> browser, std::string targetId,
                     std::string sessionId, Origin origin, std::shared_ptr<CEventHub> hub, ViewOwner view)
    : m_engine(std::move(engine)),
      m_browser(std::move(browser)),
      m_targetId(std::move(targetId)),
      m_sessionId(std::move(sessionId)),
      m_origin(origin),
      m_token(NewPageToken()),
      m_script(PageScript(m_token)),
      m_viewOwner(view ? std::move(view) : NewView()),
      m_view(m_viewOwner.get()),
      m_hub(hub ? std::move(hub)
                : std::make_shared<CEventHub>(
                      [engine = m_engine](std::function<void()> task) { return engine->Post(std::move(task)); },
                      [engine = m_engine] { return engine->OnEngineThread(); })),
      m_crashes(m_engine->Options().crashWindow),
      m_hideFirstEntry(origin == Origin::Fresh),
      m_report(ReportHooks()),
      m_popupBudget(pagecore::kPopupBurst, pagecore::kPopupRefill) {
  if (origin == Origin::Fresh) {  // the engine made its window this size
    m_viewWidth = pagecore::kNewViewWidth;
    m_viewHeight = pagecore::kNewViewHeight;
  }
}

CPageReport::Hooks CPageCore::ReportHooks() {
  CPageReport::Hooks hooks;
  hooks.hub = m_hub;
  hooks.runLater = [this](std::chrono::milliseconds delay, std::function<void()> task) {
    std::weak_ptr<CPageCore> weak = weak_from_this();
    m_engine->PostDelayed(delay, [weak, task = std::move(task)] {
      auto self = weak.lock();
      if (self && self->CurrentState() == State::Open) task();
    });
  };
  hooks.onThread = [engine = m_engine] { return engine->OnEngineThread(); };
  hooks.loadTimeout = m_engine->Options().navigationTimeout;
  hooks.stopLoading = [this] { Command("Page.stopLoading", Json::object()); };
  hooks.name = Describe();
  hooks.blockedCountChanged = [this](uint32_t count) { m_data.SetBlockedCount(count); };
  return hooks;
}

CPageCore::~CPageCore() = default;

std::shared_ptr<CPageCore> CPageCore::Pending(std::shared_ptr<CPageEngine> engine) {
  auto page = std::make_shared<CPageCore>(std::move(engine), nullptr, "", "", Origin::Fresh);
  page->m_state = State::Starting;
  {
    platform::CMutexLock guard(page->m_mutex);
    page->m_waiting.Begin();
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
  pagecore::AnnounceView(*this, m_view);
}

void CPageCore::Start(bool announce, std::function<void(const std::string& error)> done) {
  // Sent one after the other without waiting for each answer: Chromium carries out a
  // session's commands in order. The page is ready once the last one is answered (so all
  // are): a document that commits in a new renderer before Chromium has taken note of an
  // enable would lose its events, so the first navigation waits for that one answer.
  std::vector<std::pair<const char*, Json>> setup = {
      // The binding and the engine's script exist only in the engine's world of each
      // frame; the page's world gets the small part that hands its calls over.
      {"Runtime.addBinding", Json{{"name", std::string(kBindingName)}, {"executionContextName", std::string(kEngineWorld)}}},
      {"Page.addScriptToEvaluateOnNewDocument", Json{{"source", m_script}, {"worldName", std::string(kEngineWorld)}}},
      {"Page.addScriptToEvaluateOnNewDocument", Json{{"source", PageWorldScript(m_engine->TrustedOrigins())}}},
      {"Page.enable", Json::object()},
      {"Network.enable", Json::object()},
      {"Runtime.enable", Json::object()},
  };
  // Every request of the page waits for the content blocker's decision (pageblocking.cpp).
  // Frames that Chromium puts in processes of their own are targets of their own: they
  // wait for the page to watch their requests too (OnAttachedTarget).
  if (Blocker()) {
    setup.insert(setup.begin(), {"Target.setAutoAttach", AutoAttachParams()});
    setup.insert(setup.begin(), {"Fetch.enable", FetchParams()});
  }
  InstallGenericHiding();
  InstallUserContent();
  m_hang.Start();
  auto failure = std::make_shared<std::string>();
  const size_t count = setup.size();
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
    InstallInShownDocument();
  }
}

void CPageCore::InstallInShownDocument() {
  Command("Page.createIsolatedWorld", Json{{"frameId", m_targetId}, {"worldName", std::string(kEngineWorld)}},
          [this](const std::string& error, const Json& world) {
            long long context = 0;
            if (!error.empty() || !ReadWholeNumber(Field(world, "executionContextId"), 1, INT_MAX, &context)) {
              if (CurrentState() == State::Open) LogWarning(Describe() + ": no script world for the engine: " + error);
              return;
            }
            Command("Runtime.evaluate", Json{{"expression", m_script}, {"contextId", context}, {"returnByValue", true}},
                    [this](const std::string& failure, const Json& result) {
                      // The page's world gets its part once, with the engine's: a document
                      // that already had both from its start is left as it is.
                      const Json& installed = Field(Field(result, "result"), "value");
                      if (!failure.empty() || !installed.is_boolean() || !installed.get<bool>()) return;
                      Command("Runtime.evaluate", Json{{"expression", PageWorldScript(m_engine->TrustedOrigins())}});
                    });
          });
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
    const std::wstring& shown = m_report.Url();
    if (!shown.empty() && (!m_showsSource || shown == url)) return;  // its own events came
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
              if (!failure.empty() || CurrentState() != State::Open || m_report.Url() == url) return;
              if (!m_report.Url().empty() && !m_showsSource) return;  // its own events came meanwhile
              const Json& value = Field(Field(result, "result"), "value");
              if (!value.is_array() || value.size() != 3) return;
              for (const Json& item : value) {
                if (!item.is_string()) return;
              }
              BeginNavigation(url);
              Committed(url);
              m_report.SetTitle(Wide(value[1].get<std::string>()));
              m_report.EmitTitle();
              m_report.EmitIcon(Wide(value[2].get<std::string>()));
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
  m_engine->PostDelayed(pagecore::kAdoptedRecheckInterval, [weak, attemptsLeft, probe] {
    std::shared_ptr<CPageCore> self = weak.lock();
    if (!self || self->CurrentState() != State::Open || self->m_report.Doc().completeSent) return;
    if (probe) return self->ProbeAdoptedDocument(attemptsLeft - 1);
    self->Command("Runtime.evaluate", Json{{"expression", "document.readyState"}, {"returnByValue", true}},
                  [weak, attemptsLeft](const std::string& failure, const Json& result) {
                    std::shared_ptr<CPageCore> page = weak.lock();
                    if (!page || !failure.empty() || page->CurrentState() != State::Open || page->m_report.Doc().completeSent)
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
  m_report.StopLoading();
  pagecore::ReportCloseAsked(*this, m_report.Url());
  ClosePendingPopups();
  m_hub->ReleaseSinks();
  m_engine->Forget(this);
}

void CPageCore::OnCrashed(const std::string& status) {
  State expected = State::Open;
  if (!m_state.compare_exchange_strong(expected, State::Crashed)) return;
  m_report.StopLoading();
  LogError(Describe() + " crashed (" + status + ") at " + Utf8(m_report.Url()));
  m_crashes.Add();
  m_hang.Ended();
  // The sinks stay: a page whose renderer crashed comes back on the next order (only on
  // REFRESH or NAVIGATE once it keeps crashing), in the same tab, with the same subscribers.
  pagecore::ReportCrash(*this, status);
}

void CPageCore::Close(bool keepForRecovery) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  State before = m_state.exchange(State::Closed);
  if (before == State::Closed) return;
  m_report.StopLoading();
  if (keepForRecovery) {
    pagecore::KeepForRecovery(m_engine->Options().onTabClosedForRecovery, m_report.Url(), m_requestedURL,
                              m_report.Title());
  }
  BrowserCommand("Target.closeTarget", Json{{"targetId", m_targetId}});
  ClosePendingPopups();
  m_hub->ReleaseSinks();
  m_engine->Forget(this);
}

void CPageCore::ClosePendingPopups() {
  for (const std::string& targetId : m_popups.TakeAll()) BrowserCommand("Target.closeTarget", Json{{"targetId", targetId}});
}

// ---------------------------------------------------------------- windows opened by the page

void CPageCore::OnPopupCreated(const std::string& targetId, const std::wstring& url, bool background) {
  std::wstring shown = url.empty() ? m_lastWindowOpenUrl : url;
  m_popups.Add(targetId, shown);
  if (CurrentState() != State::Open) {
    ClosePendingPopups();
    return;
  }
  pagecore::ReportNewWindow(*this, shown, background);
}

void CPageCore::OnPopupUrl(const std::string& targetId, const std::wstring& url) { m_popups.SetUrl(targetId, url); }

void CPageCore::OnPopupGone(const std::string& targetId) { m_popups.Remove(targetId); }

bool CPageCore::TakePendingPopup(std::string* targetId) { return m_popups.TakeOldest(targetId); }

}  // namespace webpage

#include "components/webpage/engine.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "components/webpage/browser.h"
#include "components/webpage/newestevents.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/pageobject.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {

using namespace std::chrono_literals;

namespace {

// Commands that a page's creation waits for.
using pagecore::kCreateTimeout;

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

std::string StringField(const Json& object, const char* name) {
  if (!object.is_object()) return "";
  auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : "";
}

std::vector<std::string> TrustedOriginsOf(const WebPageOptions& options) {
  std::vector<std::string> refused;
  std::vector<std::string> origins = NormalizeOrigins(options.trustedOrigins, &refused);
  for (const std::string& text : refused)
    LogWarning("trusted origin \"" + text + "\" ignored: only http and https origins (scheme://host[:port]) can be trusted");
  return origins;
}

}  // namespace

std::shared_ptr<CPageEngine> CPageEngine::Create(const WebPageOptions& options) {
  std::shared_ptr<CPageEngine> engine(new CPageEngine(options));
  if (!engine->m_loop->Running()) return nullptr;
  return engine;
}

CPageEngine::CPageEngine(const WebPageOptions& options)
    : m_options(options), m_trustedOrigins(TrustedOriginsOf(options)), m_loop(std::make_shared<CEngineLoop>()) {}

CPageEngine::~CPageEngine() { m_loop->Stop(); }

bool CPageEngine::Post(std::function<void()> task) { return m_loop->Post(std::move(task)); }

bool CPageEngine::PostDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
  return m_loop->PostDelayed(delay, std::move(task));
}

pid_t CPageEngine::ChromiumPid() const {
  platform::CMutexLock guard(m_mutex);
  return m_browser && m_browser->Alive() ? m_browser->Pid() : 0;
}

void CPageEngine::Ask(const std::shared_ptr<CCdpConnection>& cdp, const std::string& method, Json params,
                      const std::string& sessionId, std::chrono::milliseconds timeout, Answer answer) {
  // Both the reply and the time limit end up on the engine thread; the first one wins,
  // and letting go of `answer` then frees what it holds.
  auto pending = std::make_shared<Answer>(std::move(answer));
  auto finish = [pending](const std::string& error, const Json& result) {
    if (!*pending) return;
    Answer answer = std::move(*pending);
    *pending = nullptr;
    answer(error, result);
  };
  int id = cdp->Send(method, std::move(params), sessionId, [finish](const Json& reply) {
    std::string error;
    if (CCdpConnection::IsError(reply, &error)) return finish(error.empty() ? "error" : error, Json());
    auto result = reply.find("result");
    finish("", result != reply.end() && result->is_object() ? *result : Json::object());
  });
  if (id == 0) return finish("Chromium is not running", Json());
  PostDelayed(timeout, [finish, method] { finish(method + " timed out", Json()); });
}

void CPageEngine::WithBrowser(BrowserReady ready) {
  std::shared_ptr<CBrowser> browser;
  {
    platform::CMutexLock guard(m_mutex);
    if (m_shutdown) return ready(nullptr, "the page manager has been released");
    if (m_browser && m_browser->Alive()) browser = m_browser;
  }
  if (browser) return ready(browser, "");
  m_browserWaiters.push_back(std::move(ready));
  if (m_browserWaiters.size() == 1) StartBrowser();  // else one is being started
}

void CPageEngine::StartBrowser() {
  bool headed = !m_options.headless && DisplayAvailable();
  if (!m_options.headless && !headed) LogWarning("no display: Chromium runs headless");

  std::weak_ptr<CPageEngine> weak = shared_from_this();
  std::shared_ptr<CEngineLoop> loop = m_loop;
  CBrowser::Handlers handlers;
  handlers.post = [loop](std::function<void()> task) { loop->Post(std::move(task)); };
  // One per Chromium: its targets' info changes wait here, the newest per target.
  auto newest = std::make_shared<CNewestEvents>();
  handlers.onEvent = [weak, loop, newest](const std::shared_ptr<CBrowser>& browser, Json&& event) {
    std::weak_ptr<CBrowser> from = browser;
    if (std::string key = CNewestEvents::KeyOf(event); !key.empty()) {
      if (!newest->Offer(key, std::move(event))) return;  // a take is on its way
      loop->Post([weak, from, newest, key] {
        Json message;
        if (!newest->Take(key, &message)) return;
        auto engine = weak.lock();
        auto source = from.lock();
        if (engine && source) engine->OnEvent(source, message);
      });
      return;
    }
    auto message = std::make_shared<Json>(std::move(event));
    loop->Post([weak, from, message] {
      auto engine = weak.lock();
      auto source = from.lock();
      if (engine && source) engine->OnEvent(source, *message);
    });
  };
  handlers.onClosed = [weak, loop](const std::shared_ptr<CBrowser>& browser) {
    std::shared_ptr<CBrowser> closed = browser;
    loop->Post([weak, closed] {
      if (auto engine = weak.lock()) engine->OnBrowserClosed(closed);
    });
  };
  std::string error;
  std::shared_ptr<CBrowser> browser = CBrowser::Spawn(m_options, headed, std::move(handlers), &error);
  if (!browser) return BrowserStarted(nullptr, error);
  {
    platform::CMutexLock guard(m_mutex);
    if (!m_shutdown) m_startingBrowser = browser;
  }
  Ask(browser->Connection(), "Browser.getVersion", Json::object(), "", m_options.startTimeout,
      [weak, browser](const std::string& failure, const Json& version) {
        auto self = weak.lock();
        if (!self) return browser->Shutdown();
        bool released;
        {
          platform::CMutexLock guard(self->m_mutex);
          released = self->m_shutdown;
          if (self->m_startingBrowser == browser) self->m_startingBrowser.reset();
        }
        if (released) {
          browser->Shutdown();
          return self->BrowserStarted(nullptr, "the page manager has been released");
        }
        if (!failure.empty()) return self->BrowserStarted(nullptr, browser->FailStart(failure));
        browser->Prepare(version);
        {
          platform::CMutexLock guard(self->m_mutex);
          released = self->m_shutdown;
          if (!released) self->m_browser = browser;
        }
        if (released) {
          browser->Shutdown();
          return self->BrowserStarted(nullptr, "the page manager has been released");
        }
        self->BrowserStarted(browser, "");
      });
}

void CPageEngine::BrowserStarted(const std::shared_ptr<CBrowser>& browser, const std::string& error) {
  std::vector<BrowserReady> waiters;
  waiters.swap(m_browserWaiters);
  for (const BrowserReady& ready : waiters) ready(browser, error);
}

HRESULT CPageEngine::HandOut(const std::shared_ptr<CPageCore>& pending, std::function<void(const PageReady&)> make,
                             IWebPage** page) {
  {
    platform::CMutexLock guard(m_mutex);
    if (m_shutdown) {
      LogError("NewPage failed: the page manager has been released");
      return E_FAIL;
    }
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), [](const auto& p) { return p.expired(); }),
                    m_pending.end());
    m_pending.push_back(pending);
  }
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  bool posted = Post([weak, pending, make] {
    auto self = weak.lock();
    if (!self) return;
    // The host learns of its window at once; the page behind it follows.
    pending->Announce();
    make([weak, pending](const std::shared_ptr<CPageCore>& core, const std::string& status, const std::string& error) {
      if (core) core->TakeOver(*pending, nullptr);
      else pending->SetupFailed(status, error);
      if (auto engine = weak.lock()) {
        platform::CMutexLock guard(engine->m_mutex);
        auto& list = engine->m_pending;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.lock() == pending; }),
                   list.end());
      }
    });
  });
  if (!posted) {
    LogError("NewPage failed: the page manager has been released");
    return E_FAIL;
  }
  auto* object = new CWebPage(pending);
  object->AddRef();
  *page = object;
  return S_OK;
}

HRESULT CPageEngine::NewPage(IWebPage** page) {
  std::shared_ptr<CPageCore> pending = CPageCore::Pending(shared_from_this());
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  std::shared_ptr<CEventHub> hub = pending->Hub();
  CPageCore::ViewOwner view = pending->ReusableView();
  return HandOut(
      pending,
      [weak, hub, view](const PageReady& ready) {
        if (auto self = weak.lock()) self->MakePage(hub, view, ready);
      },
      page);
}

void CPageEngine::MakePage(std::shared_ptr<CEventHub> hub, CPageCore::ViewOwner view, PageReady ready) {
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  WithBrowser([weak, hub, view, ready](const std::shared_ptr<CBrowser>& browser, const std::string& error) {
    auto self = weak.lock();
    if (!self) return;
    if (!browser) {
      LogError("NewPage failed: " + error);
      return ready(nullptr, "start-failed", error);
    }
    const Json target = CBrowser::NewTargetParams(browser->Headed());
    self->Ask(browser->Connection(), "Target.createTarget", target, "", kCreateTimeout,
              [weak, browser, hub, view, ready](const std::string& failure, const Json& result) {
                auto engine = weak.lock();
                if (!engine) return;
                std::string targetId = StringField(result, "targetId");
                if (!failure.empty() || targetId.empty()) {
                  std::string why = failure.empty() ? "Chromium gave no target" : "Target.createTarget: " + failure;
                  LogError("NewPage failed: " + why);
                  return ready(nullptr, "setup-failed", why);
                }
                engine->AttachPage(browser, targetId, CPageCore::Origin::Fresh, hub, view, ready);
              });
  });
}

void CPageEngine::Revive(const std::shared_ptr<CPageCore>& dead, const Order& order) {
  // A second order may have asked while the first brought the page back.
  if (std::shared_ptr<CPageCore> next = dead->Successor()) return next->Execute(order);
  MakePage(dead->Hub(), dead->ReusableView(),
           [dead, order](const std::shared_ptr<CPageCore>& core, const std::string&, const std::string& error) {
             if (!core) return dead->NotRevived(order, error);
             core->TakeOver(*dead, &order);
           });
}

HRESULT CPageEngine::NewLinkPage(IWebPage* parent, IWebPage** page) {
  auto* parentPage = dynamic_cast<CWebPage*>(parent);
  if (!parentPage) {
    LogError(parent ? "NewLinkPage: the parent is not a page of this component" : "NewLinkPage without a parent page");
    return E_INVALIDARG;
  }
  // A parent that was brought back in a new Chromium speaks through its newest page.
  std::shared_ptr<CPageCore> opener = parentPage->Page();
  while (std::shared_ptr<CPageCore> next = opener->Successor()) opener = next;
  std::string targetId;
  if (!opener->TakePendingPopup(&targetId)) {
    LogError("NewLinkPage: the parent page has no window waiting (no \"NEWINDOW\" came before)");
    return E_FAIL;
  }
  {
    platform::CMutexLock guard(m_mutex);
    m_popupOwners.erase(targetId);
  }
  std::shared_ptr<CBrowser> browser = opener->Browser();
  if (!browser || !browser->Alive()) {
    LogError("NewLinkPage: the parent's Chromium is gone");
    return E_FAIL;
  }
  std::shared_ptr<CPageCore> pending = CPageCore::Pending(shared_from_this());
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  std::shared_ptr<CEventHub> hub = pending->Hub();
  CPageCore::ViewOwner view = pending->ReusableView();
  return HandOut(
      pending,
      [weak, browser, targetId, hub, view](const PageReady& ready) {
        if (auto self = weak.lock()) self->AttachPage(browser, targetId, CPageCore::Origin::Adopted, hub, view, ready);
      },
      page);
}

void CPageEngine::AttachPage(const std::shared_ptr<CBrowser>& browser, const std::string& targetId,
                             CPageCore::Origin origin, std::shared_ptr<CEventHub> hub, CPageCore::ViewOwner view,
                             PageReady ready) {
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  const std::shared_ptr<CCdpConnection>& cdp = browser->Connection();
  Ask(cdp, "Target.attachToTarget", Json{{"targetId", targetId}, {"flatten", true}}, "", kCreateTimeout,
      [weak, browser, targetId, origin, hub, view, ready](const std::string& failure, const Json& result) {
        auto self = weak.lock();
        if (!self) return;
        const std::shared_ptr<CCdpConnection>& cdp = browser->Connection();
        std::string sessionId = StringField(result, "sessionId");
        if (!failure.empty() || sessionId.empty()) {
          std::string why = "cannot attach to the new page: " + (failure.empty() ? std::string("no session") : failure);
          LogError(why);
          cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
          return ready(nullptr, "setup-failed", why);
        }
        const bool announce = !view;
        auto core = std::make_shared<CPageCore>(self, browser, targetId, sessionId, origin, hub, view);
        {
          platform::CMutexLock guard(self->m_mutex);
          if (!self->m_shutdown) {
            // Registered before anything is sent, so that no event of the session is missed.
            self->m_sessions[sessionId] = core;
            self->m_targets[targetId] = core;
          } else {
            core = nullptr;
          }
        }
        if (!core) {
          cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
          LogError("cannot create a page: the page manager has been released");
          return ready(nullptr, "setup-failed", "the page manager has been released");
        }
        // Headless pages are tabs of one window: only the tab in front would be visible and
        // draw. Focus emulation keeps every one of them visible, so that a page behind
        // another renders, runs its animation frames and can be captured. Sent before the
        // setup, so that it is in force before the first navigation.
        if (!browser->Headed())
          cdp->Send("Emulation.setFocusEmulationEnabled", Json{{"enabled", true}}, sessionId, nullptr);
        // The host's first orders go to the page once its setup is answered.
        core->Start(announce, [weak, core, targetId, ready](const std::string& error) {
          auto engine = weak.lock();
          if (!engine) return;
          if (error.empty()) return ready(core, "", "");
          LogError("cannot set up the new page: " + error);
          engine->Forget(core.get());
          core->Browser()->Connection()->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
          core->Discard();
          ready(nullptr, "setup-failed", error);
        });
      });
}

void CPageEngine::StartAhead() {
  std::weak_ptr<CPageEngine> weak = shared_from_this();
  Post([weak] {
    if (auto self = weak.lock()) {
      self->WithBrowser([](const std::shared_ptr<CBrowser>& browser, const std::string& error) {
        if (!browser) LogWarning("Chromium did not start ahead of the first page: " + error);
      });
    }
  });
}

void CPageEngine::SetZoom(unsigned int percent) {
  std::vector<std::shared_ptr<CPageCore>> pages;
  {
    platform::CMutexLock guard(m_mutex);
    m_zoom = percent;
    for (const auto& entry : m_sessions) pages.push_back(entry.second);
  }
  for (const auto& page : pages) {
    Post([page, percent] { page->ApplyZoom(percent); });
  }
}

unsigned int CPageEngine::Zoom() const {
  platform::CMutexLock guard(m_mutex);
  return m_zoom;
}

void CPageEngine::Forget(const CPageCore* page) {
  std::shared_ptr<CPageCore> sessionEntry, targetEntry;  // let go outside the lock
  platform::CMutexLock guard(m_mutex);
  auto session = m_sessions.find(page->SessionId());
  if (session != m_sessions.end() && session->second.get() == page) {
    sessionEntry = std::move(session->second);
    m_sessions.erase(session);
  }
  auto target = m_targets.find(page->TargetId());
  if (target != m_targets.end() && target->second.get() == page) {
    targetEntry = std::move(target->second);
    m_targets.erase(target);
  }
}

void CPageEngine::OwnPopup(const std::string& targetId, const std::shared_ptr<CPageCore>& opener) {
  platform::CMutexLock guard(m_mutex);
  m_popupOwners[targetId] = opener;
}

void CPageEngine::AddFrameSession(const std::string& sessionId, const std::shared_ptr<CPageCore>& page) {
  platform::CMutexLock guard(m_mutex);
  // Sessions of pages that are gone are left out as the map is added to.
  for (auto it = m_frameSessions.begin(); it != m_frameSessions.end();)
    it = it->second.expired() ? m_frameSessions.erase(it) : std::next(it);
  m_frameSessions[sessionId] = page;
}

void CPageEngine::RemoveFrameSession(const std::string& sessionId) {
  platform::CMutexLock guard(m_mutex);
  m_frameSessions.erase(sessionId);
}

std::shared_ptr<CPageCore> CPageEngine::PageOfTarget(const std::string& targetId) const {
  platform::CMutexLock guard(m_mutex);
  auto it = m_targets.find(targetId);
  return it == m_targets.end() ? nullptr : it->second;
}

void CPageEngine::OnEvent(const std::shared_ptr<CBrowser>& browser, const Json& message) {
  std::string method = StringField(message, "method");
  auto paramsIt = message.find("params");
  static const Json kEmpty = Json::object();
  const Json& params = paramsIt != message.end() && paramsIt->is_object() ? *paramsIt : kEmpty;
  std::string sessionId = StringField(message, "sessionId");
  if (sessionId.empty() && method.rfind("Browser.download", 0) == 0) {
    browser->OnDownloadEvent(method, params);
    return;
  }
  if (sessionId.empty()) {
    OnTargetEvent(browser, method, params);
    return;
  }
  std::shared_ptr<CPageCore> page, framePage;
  {
    platform::CMutexLock guard(m_mutex);
    auto it = m_sessions.find(sessionId);
    if (it != m_sessions.end()) page = it->second;
    auto frame = m_frameSessions.find(sessionId);
    if (!page && frame != m_frameSessions.end()) framePage = frame->second.lock();
  }
  if (page && page->Browser() == browser) page->OnSessionEvent(method, params);
  if (framePage && framePage->Browser() == browser) framePage->OnFrameSessionEvent(sessionId, method, params);
}

void CPageEngine::OnTargetEvent(const std::shared_ptr<CBrowser>& browser, const std::string& method,
                                const Json& params) {
  auto infoIt = params.find("targetInfo");
  const Json info = infoIt != params.end() && infoIt->is_object() ? *infoIt : Json::object();
  std::string targetId = StringField(info.empty() ? params : info, "targetId");
  if (targetId.empty()) return;

  if (method == "Target.targetCreated") {
    if (StringField(info, "type") != "page") return;
    std::shared_ptr<CPageCore> opener = PageOfTarget(StringField(info, "openerId"));
    if (!opener || opener->Browser() != browser) return;
    OwnPopup(targetId, opener);
    opener->OnPopupCreated(targetId, platform::Utf8ToWide(StringField(info, "url")));
    return;
  }
  std::shared_ptr<CPageCore> owner;
  {
    platform::CMutexLock guard(m_mutex);
    auto it = m_popupOwners.find(targetId);
    if (it != m_popupOwners.end()) {
      owner = it->second.lock();
      if (method == "Target.targetDestroyed") m_popupOwners.erase(it);
    }
  }
  if (owner) {
    if (method == "Target.targetInfoChanged") owner->OnPopupUrl(targetId, platform::Utf8ToWide(StringField(info, "url")));
    if (method == "Target.targetDestroyed") owner->OnPopupGone(targetId);
    return;
  }
  std::shared_ptr<CPageCore> page = PageOfTarget(targetId);
  if (!page || page->Browser() != browser) return;
  if (method == "Target.targetDestroyed") {
    page->OnTargetDestroyed();
  } else if (method == "Target.targetCrashed") {
    std::string status = StringField(params, "status");
    page->OnCrashed(status.empty() ? "crashed" : status);
  }
}

void CPageEngine::OnBrowserClosed(const std::shared_ptr<CBrowser>& browser) {
  std::vector<std::shared_ptr<CPageCore>> pages;
  bool current;
  {
    platform::CMutexLock guard(m_mutex);
    current = m_browser == browser && !m_shutdown;
    for (auto it = m_targets.begin(); it != m_targets.end();) {
      if (it->second->Browser() == browser) {
        pages.push_back(it->second);
        it = m_targets.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
      it = it->second->Browser() == browser ? m_sessions.erase(it) : std::next(it);
    }
    if (current) m_browser.reset();
  }
  if (current) {
    LogError("Chromium (pid " + std::to_string(browser->Pid()) + ") went away; " + std::to_string(pages.size()) +
             " page(s) lost");
  }
  for (const auto& page : pages) page->OnCrashed("browser");
  browser->Reap();
}

void CPageEngine::Shutdown() {
  std::shared_ptr<CBrowser> browser, starting;
  std::map<std::string, std::shared_ptr<CPageCore>> pages;
  std::vector<std::weak_ptr<CPageCore>> pending;
  {
    platform::CMutexLock guard(m_mutex);
    if (m_shutdown) return;
    m_shutdown = true;
    browser = std::move(m_browser);
    starting = std::move(m_startingBrowser);
    pending.swap(m_pending);
    pages.swap(m_targets);
    m_sessions.clear();
    m_popupOwners.clear();
    m_frameSessions.clear();
  }
  for (auto& entry : pages) entry.second->OnShutdown();
  for (auto& weak : pending) {
    if (auto page = weak.lock()) page->OnShutdown();
  }
  if (starting) starting->Abort();  // it has not answered: nothing to close politely
  if (browser) browser->Shutdown();
  m_loop->Stop();
  // The engine thread has ended (or this is it): pages that waited for a Chromium that
  // never came hold the engine; let them go.
  std::vector<BrowserReady> waiters;
  waiters.swap(m_browserWaiters);
}

}  // namespace webpage

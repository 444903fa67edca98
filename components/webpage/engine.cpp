#include "components/webpage/engine.h"

#include <cstdlib>
#include <vector>

#include "components/webpage/browser.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/pageobject.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {

using namespace std::chrono_literals;

namespace {

// Commands that a page's creation waits for.
constexpr std::chrono::milliseconds kCreateTimeout = 30s;

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

std::string ErrorOf(const Json& reply) {
  std::string message;
  CCdpConnection::IsError(reply, &message);
  return message;
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
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_browser && m_browser->Alive() ? m_browser->Pid() : 0;
}

std::shared_ptr<CBrowser> CPageEngine::EnsureBrowser(std::string* error) {
  std::lock_guard<std::mutex> start(m_startMutex);
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_shutdown) {
      *error = "the page manager has been released";
      return nullptr;
    }
    if (m_browser && m_browser->Alive()) return m_browser;
  }
  bool headed = !m_options.headless && DisplayAvailable();
  if (!m_options.headless && !headed) LogWarning("no display: Chromium runs headless");

  std::weak_ptr<CPageEngine> weak = shared_from_this();
  std::shared_ptr<CEngineLoop> loop = m_loop;
  CBrowser::Handlers handlers;
  handlers.post = [loop](std::function<void()> task) { loop->Post(std::move(task)); };
  handlers.onEvent = [weak, loop](const std::shared_ptr<CBrowser>& browser, Json&& event) {
    auto message = std::make_shared<Json>(std::move(event));
    std::weak_ptr<CBrowser> from = browser;
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
  std::shared_ptr<CBrowser> browser = CBrowser::Launch(m_options, headed, std::move(handlers), error);
  if (!browser) return nullptr;
  std::shared_ptr<CBrowser> previous;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_shutdown) {
      *error = "the page manager has been released";
    } else {
      previous = std::move(m_browser);
      m_browser = browser;
      return browser;
    }
  }
  browser->Shutdown();
  return nullptr;
}

HRESULT CPageEngine::NewPage(IWebPage** page) {
  std::shared_ptr<CPageCore> core = CreatePage(nullptr);
  if (!core) return E_FAIL;
  auto* object = new CWebPage(core);
  object->AddRef();
  *page = object;
  return S_OK;
}

std::shared_ptr<CPageCore> CPageEngine::CreatePage(std::shared_ptr<CEventHub> hub, std::string* failure) {
  std::string error;
  std::shared_ptr<CBrowser> browser = EnsureBrowser(&error);
  if (!browser) {
    LogError("NewPage failed: " + error);
    if (failure) *failure = error;
    return nullptr;
  }
  // A window per page: a tab behind another in one window would not render, and its
  // image could never be taken.
  const Json target{{"url", "about:blank"},
                    {"newWindow", true},
                    {"width", CPageCore::kNewViewWidth},
                    {"height", CPageCore::kNewViewHeight}};
  Json reply;
  if (!browser->Connection()->Call("Target.createTarget", target, "", kCreateTimeout, &reply)) {
    LogError("NewPage failed: Target.createTarget: " + ErrorOf(reply));
    if (failure) *failure = "Target.createTarget: " + ErrorOf(reply);
    return nullptr;
  }
  std::string targetId = StringField(reply.value("result", Json::object()), "targetId");
  if (targetId.empty()) {
    LogError("NewPage failed: Chromium gave no target");
    if (failure) *failure = "Chromium gave no target";
    return nullptr;
  }
  std::shared_ptr<CPageCore> core = AdoptCore(browser, targetId, CPageCore::Origin::Fresh, std::move(hub));
  if (!core && failure) *failure = "the new page could not be set up";
  return core;
}

void CPageEngine::Revive(const std::shared_ptr<CPageCore>& dead, const Order& order) {
  // A second order may have asked while the first brought the page back.
  if (std::shared_ptr<CPageCore> next = dead->Successor()) return next->Execute(order);
  std::string error;
  std::shared_ptr<CPageCore> core = CreatePage(dead->Hub(), &error);
  if (!core) return dead->NotRevived(order, error);
  core->TakeOver(*dead, order);
}

HRESULT CPageEngine::NewLinkPage(IWebPage* parent, IWebPage** page) {
  auto* parentPage = dynamic_cast<CWebPage*>(parent);
  if (!parentPage) {
    LogError(parent ? "NewLinkPage: the parent is not a page of this component" : "NewLinkPage without a parent page");
    return E_INVALIDARG;
  }
  // A parent that was brought back in a new Chromium speaks through its newest page.
  std::shared_ptr<CPageCore> opener = parentPage->Core();
  while (std::shared_ptr<CPageCore> next = opener->Successor()) opener = next;
  std::string targetId;
  if (!opener->TakePendingPopup(&targetId)) {
    LogError("NewLinkPage: the parent page has no window waiting (no \"NEWINDOW\" came before)");
    return E_FAIL;
  }
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_popupOwners.erase(targetId);
  }
  if (!opener->Browser()->Alive()) {
    LogError("NewLinkPage: the parent's Chromium is gone");
    return E_FAIL;
  }
  return Adopt(opener->Browser(), targetId, static_cast<int>(CPageCore::Origin::Adopted), page);
}

HRESULT CPageEngine::Adopt(const std::shared_ptr<CBrowser>& browser, const std::string& targetId, int origin,
                           IWebPage** page) {
  std::shared_ptr<CPageCore> core = AdoptCore(browser, targetId, static_cast<CPageCore::Origin>(origin), nullptr);
  if (!core) return E_FAIL;
  auto* object = new CWebPage(core);
  object->AddRef();
  *page = object;
  return S_OK;
}

std::shared_ptr<CPageCore> CPageEngine::AdoptCore(const std::shared_ptr<CBrowser>& browser, const std::string& targetId,
                                                  CPageCore::Origin origin, std::shared_ptr<CEventHub> hub) {
  const std::shared_ptr<CCdpConnection>& cdp = browser->Connection();
  Json reply;
  if (!cdp->Call("Target.attachToTarget", Json{{"targetId", targetId}, {"flatten", true}}, "", kCreateTimeout,
                 &reply)) {
    LogError("cannot attach to the new page: " + ErrorOf(reply));
    cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
    return nullptr;
  }
  std::string sessionId = StringField(reply.value("result", Json::object()), "sessionId");
  if (sessionId.empty()) {
    LogError("cannot attach to the new page: no session");
    cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
    return nullptr;
  }
  auto core = std::make_shared<CPageCore>(shared_from_this(), browser, targetId, sessionId, origin, std::move(hub));
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_shutdown) {
      cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
      LogError("cannot create a page: the page manager has been released");
      return nullptr;
    }
    m_sessions[sessionId] = core;
    m_targets[targetId] = core;
  }
  // Registered first, so that no event of the session is missed.
  std::string error;
  if (!core->Start(&error)) {
    LogError("cannot set up the new page: " + error);
    Forget(core.get());
    cdp->Send("Target.closeTarget", Json{{"targetId", targetId}}, "", nullptr);
    core->OnShutdown();
    return nullptr;
  }
  return core;
}

void CPageEngine::SetZoom(unsigned int percent) {
  std::vector<std::shared_ptr<CPageCore>> pages;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_zoom = percent;
    for (const auto& entry : m_sessions) pages.push_back(entry.second);
  }
  for (const auto& page : pages) {
    Post([page, percent] { page->ApplyZoom(percent); });
  }
}

unsigned int CPageEngine::Zoom() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_zoom;
}

void CPageEngine::Forget(const CPageCore* page) {
  std::shared_ptr<CPageCore> sessionEntry, targetEntry;  // let go outside the lock
  std::lock_guard<std::mutex> guard(m_mutex);
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
  std::lock_guard<std::mutex> guard(m_mutex);
  m_popupOwners[targetId] = opener;
}

std::shared_ptr<CPageCore> CPageEngine::PageOfTarget(const std::string& targetId) const {
  std::lock_guard<std::mutex> guard(m_mutex);
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
  std::shared_ptr<CPageCore> page;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_sessions.find(sessionId);
    if (it != m_sessions.end()) page = it->second;
  }
  if (page && page->Browser() == browser) page->OnSessionEvent(method, params);
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
    std::lock_guard<std::mutex> guard(m_mutex);
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
    std::lock_guard<std::mutex> guard(m_mutex);
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
  std::shared_ptr<CBrowser> browser;
  std::map<std::string, std::shared_ptr<CPageCore>> pages;
  {
    std::lock_guard<std::mutex> start(m_startMutex);
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_shutdown) return;
    m_shutdown = true;
    browser = std::move(m_browser);
    pages.swap(m_targets);
    m_sessions.clear();
    m_popupOwners.clear();
  }
  for (auto& entry : pages) entry.second->OnShutdown();
  if (browser) browser->Shutdown();
  m_loop->Stop();
}

}  // namespace webpage

#pragma once
// The state behind one page manager: its options, the engine thread, the running
// Chromium (started on demand, started again after it died) and the routing of
// Chromium's messages to pages.
#include <sys/types.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "components/webpage/cdpconnection.h"
#include "components/webpage/engineloop.h"
#include "components/webpage/eventhub.h"
#include "components/webpage/orders.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/webpagemanager.h"

namespace webpage {

class CBrowser;

class CPageEngine : public std::enable_shared_from_this<CPageEngine> {
 public:
  static std::shared_ptr<CPageEngine> Create(const WebPageOptions& options);
  ~CPageEngine();

  const WebPageOptions& Options() const { return m_options; }
  // options.trustedOrigins, normalised (origin.h); entries that are no origin are left out.
  const std::vector<std::string>& TrustedOrigins() const { return m_trustedOrigins; }
  // Runs a task on the engine thread; false once the engine has shut down.
  bool Post(std::function<void()> task);
  bool PostDelayed(std::chrono::milliseconds delay, std::function<void()> task);
  bool OnEngineThread() const { return m_loop->IsLoopThread(); }

  HRESULT NewPage(IWebPage** page);
  HRESULT NewLinkPage(IWebPage* parent, IWebPage** page);
  // Engine thread: brings back a page whose Chromium died, in a new one, and carries out
  // the order that asked for it.
  void Revive(const std::shared_ptr<CPageCore>& dead, const Order& order);
  // Ends Chromium and lets every page go; the manager has been released.
  void Shutdown();

  // Pages report here.
  void Forget(const CPageCore* page);
  void OwnPopup(const std::string& targetId, const std::shared_ptr<CPageCore>& opener);

  // The running Chromium's process id, 0 when none runs.
  pid_t ChromiumPid() const;

  // The zoom of every page in percent (SetWebPageZoom); pages read it when they start.
  void SetZoom(unsigned int percent);
  unsigned int Zoom() const;

 private:
  explicit CPageEngine(const WebPageOptions& options);
  std::shared_ptr<CBrowser> EnsureBrowser(std::string* error);
  HRESULT Adopt(const std::shared_ptr<CBrowser>& browser, const std::string& targetId, int origin, IWebPage** page);
  // A new page in a window of its own (with `hub`'s sinks when given); null, logged and
  // with *failure set, when it cannot be made.
  std::shared_ptr<CPageCore> CreatePage(std::shared_ptr<CEventHub> hub, std::string* failure = nullptr);
  std::shared_ptr<CPageCore> AdoptCore(const std::shared_ptr<CBrowser>& browser, const std::string& targetId,
                                       CPageCore::Origin origin, std::shared_ptr<CEventHub> hub);
  void OnEvent(const std::shared_ptr<CBrowser>& browser, const Json& message);
  void OnTargetEvent(const std::shared_ptr<CBrowser>& browser, const std::string& method, const Json& params);
  void OnBrowserClosed(const std::shared_ptr<CBrowser>& browser);
  std::shared_ptr<CPageCore> PageOfTarget(const std::string& targetId) const;

  const WebPageOptions m_options;
  const std::vector<std::string> m_trustedOrigins;
  const std::shared_ptr<CEngineLoop> m_loop;
  std::mutex m_startMutex;  // one start of Chromium at a time
  mutable std::mutex m_mutex;  // guards what follows
  std::shared_ptr<CBrowser> m_browser;
  std::map<std::string, std::shared_ptr<CPageCore>> m_sessions;
  std::map<std::string, std::shared_ptr<CPageCore>> m_targets;
  std::map<std::string, std::weak_ptr<CPageCore>> m_popupOwners;
  bool m_shutdown = false;
  unsigned int m_zoom = 100;
};

}  // namespace webpage

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
#include "platform/mutex.h"

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

  // Both hand out a page at once; Chromium's start and the page's setup go on on the
  // engine thread (see CPageCore::Pending). NewLinkPage fails at once when the parent has
  // no window waiting.
  HRESULT NewPage(IWebPage** page);
  HRESULT NewLinkPage(IWebPage* parent, IWebPage** page);
  // Engine thread: brings back a page whose Chromium died (or that never got one), in a
  // new one, and carries out the order that asked for it.
  void Revive(const std::shared_ptr<CPageCore>& dead, const Order& order);
  // Ends Chromium and lets every page go; the manager has been released.
  void Shutdown();

  // Pages report here.
  void Forget(const CPageCore* page);
  void OwnPopup(const std::string& targetId, const std::shared_ptr<CPageCore>& opener);
  // A session of a page's frame in a process of its own (content blocking watches its
  // requests): its events go to the page; forgotten when it detaches or the page goes.
  void AddFrameSession(const std::string& sessionId, const std::shared_ptr<CPageCore>& page);
  void RemoveFrameSession(const std::string& sessionId);

  // The running Chromium's process id, 0 when none runs.
  pid_t ChromiumPid() const;

  // The zoom of every page in percent (SetWebPageZoom); pages read it when they start.
  // Starts Chromium now, ahead of the first page, on the engine thread; a failed start
  // is logged and the first page tries again.
  void StartAhead();
  void SetZoom(unsigned int percent);
  unsigned int Zoom() const;

 private:
  using BrowserReady = std::function<void(const std::shared_ptr<CBrowser>& browser, const std::string& error)>;
  // The page made, or null with the failure's status ("start-failed", "setup-failed")
  // and its text.
  using PageReady =
      std::function<void(const std::shared_ptr<CPageCore>& page, const std::string& status, const std::string& error)>;
  using Answer = std::function<void(const std::string& error, const Json& result)>;

  explicit CPageEngine(const WebPageOptions& options);
  // Hands out `pending` as the host's page and makes its real page with `make`
  // (engine thread), which the pending page hands the host's orders to.
  HRESULT HandOut(const std::shared_ptr<CPageCore>& pending, std::function<void(const PageReady&)> make,
                  IWebPage** page);
  // Engine thread: `ready` gets the running Chromium, started first when there is none.
  void WithBrowser(BrowserReady ready);
  void StartBrowser();
  void BrowserStarted(const std::shared_ptr<CBrowser>& browser, const std::string& error);
  // Engine thread: a new page in a window of its own, with `hub`'s sinks and `view`
  // (a new window, announced, when null).
  void MakePage(std::shared_ptr<CEventHub> hub, CPageCore::ViewOwner view, PageReady ready);
  // Engine thread: attaches to `targetId` and sets the page up.
  void AttachPage(const std::shared_ptr<CBrowser>& browser, const std::string& targetId, CPageCore::Origin origin,
                  std::shared_ptr<CEventHub> hub, CPageCore::ViewOwner view, PageReady ready);
  // Engine thread: sends a command; `answer` gets its result or an error, at most once,
  // also when Chromium has not answered within `timeout`.
  void Ask(const std::shared_ptr<CCdpConnection>& cdp, const std::string& method, Json params,
           const std::string& sessionId, std::chrono::milliseconds timeout, Answer answer);
  void OnEvent(const std::shared_ptr<CBrowser>& browser, const Json& message);
  void OnTargetEvent(const std::shared_ptr<CBrowser>& browser, const std::string& method, const Json& params);
  void OnBrowserClosed(const std::shared_ptr<CBrowser>& browser);
  std::shared_ptr<CPageCore> PageOfTarget(const std::string& targetId) const;

  const WebPageOptions m_options;
  const std::vector<std::string> m_trustedOrigins;
  const std::shared_ptr<CEngineLoop> m_loop;
  mutable platform::CMutex m_mutex;
  std::shared_ptr<CBrowser> m_browser GUARDED_BY(m_mutex);
  std::shared_ptr<CBrowser> m_startingBrowser GUARDED_BY(m_mutex);  // started, not yet answering
  std::vector<std::weak_ptr<CPageCore>> m_pending GUARDED_BY(m_mutex);  // pages handed out, not yet made
  std::map<std::string, std::shared_ptr<CPageCore>> m_sessions GUARDED_BY(m_mutex);
  std::map<std::string, std::shared_ptr<CPageCore>> m_targets GUARDED_BY(m_mutex);
  std::map<std::string, std::weak_ptr<CPageCore>> m_popupOwners GUARDED_BY(m_mutex);
  std::map<std::string, std::weak_ptr<CPageCore>> m_frameSessions GUARDED_BY(m_mutex);
  bool m_shutdown GUARDED_BY(m_mutex) = false;
  unsigned int m_zoom GUARDED_BY(m_mutex) = 100;

  // Engine thread only: who waits for the Chromium being started.
  std::vector<BrowserReady> m_browserWaiters;
};

}  // namespace webpage

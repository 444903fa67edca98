#pragma once
// What the pages of one manager share: the options, the trusted origins, the zoom, the
// WebKit web context (made on the GTK thread when the first view needs it), and the list of open pages (to apply the zoom and to close them all when
// the manager goes).
#include <webkit2/webkit2.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/webkitpage/webkitpagemanager.h"
#include "platform/mutex.h"

namespace webkitpage {

class CKitPage;

class CKitContext {
 public:
  explicit CKitContext(const WebKitPageOptions& options);
  ~CKitContext();
  CKitContext(const CKitContext&) = delete;
  CKitContext& operator=(const CKitContext&) = delete;

  const WebKitPageOptions& Options() const { return m_options; }
  const std::vector<std::string>& TrustedOrigins() const { return m_trusted; }
  const std::string& DownloadsFolder() const { return m_downloads; }

  unsigned int Zoom() const { return m_zoom.load(); }
  // Any thread: stores the zoom and applies it to every open page on the GTK thread.
  void SetZoom(unsigned int percent);

  // GTK thread. The web context of the manager's views: its website data (ephemeral
  // without a data folder) and the "view-source:" scheme.
  WebKitWebContext* WebContext();

  // GTK thread. The generic element hiding sheet as a user style sheet, made once per
  // text (the content blocker's, shared by every page); null for none. Not for the
  // host's own origins.
  WebKitUserStyleSheet* GenericSheet(const std::shared_ptr<const std::string>& text);

  // GTK thread. The source text shown by a "view-source:" address of this manager.
  void KeepSource(const std::string& url, const std::string& source);

  // Any thread.
  void Add(const std::shared_ptr<CKitPage>& page);
  void Remove(const CKitPage* page);
  std::vector<std::shared_ptr<CKitPage>> Pages() const;
  // The manager is gone: every page is closed and no new one is made.
  void Shutdown();
  bool IsShutDown() const { return m_shutDown.load(); }

 private:
  const WebKitPageOptions m_options;
  std::vector<std::string> m_trusted;
  std::string m_downloads;
  std::atomic<unsigned int> m_zoom{100};
  std::atomic<bool> m_shutDown{false};
  // GTK thread (kitblocking.cpp): loads the blocking extension into the web processes.
  void SetUpBlocking();
  // GTK thread only.
  WebKitWebContext* m_webContext = nullptr;
  WebKitUserStyleSheet* m_genericSheet = nullptr;
  std::shared_ptr<const std::string> m_genericText;
  // The content blocker's listener that tells the web processes of its changes.
  std::atomic<int> m_blockingListener{0};
  // Shared with the scheme handler, which WebKit may keep longer than the manager.
  std::shared_ptr<std::map<std::string, std::string>> m_sources = std::make_shared<std::map<std::string, std::string>>();

  mutable platform::CMutex m_mutex;
  std::vector<std::pair<const CKitPage*, std::weak_ptr<CKitPage>>> m_pages GUARDED_BY(m_mutex);
};

}  // namespace webkitpage

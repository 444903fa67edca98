#include "components/webkitpage/kitcontext.h"

#include <algorithm>

#include "components/pagecore/contentblocking.h"
#include "components/webkitpage/kitpage.h"
#include "components/webpage/origin.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "platform/gtk/gtkthread.h"

namespace webkitpage {
namespace {

using Sources = std::map<std::string, std::string>;

// "view-source:<url>" shows the source kept by "VIEWSOURCE" as plain text.
void AnswerViewSource(WebKitURISchemeRequest* request, gpointer data) {
  const auto& sources = **static_cast<std::shared_ptr<Sources>*>(data);
  std::string uri = webkit_uri_scheme_request_get_uri(request);
  auto it = sources.find(uri);
  if (it == sources.end()) {
    GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no source is kept for this address");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
    return;
  }
  GBytes* bytes = g_bytes_new(it->second.data(), it->second.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(it->second.size()), "text/plain; charset=utf-8");
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

}  // namespace

CKitContext::CKitContext(const WebKitPageOptions& options) : m_options(options) {
  std::vector<std::string> refused;
  m_trusted = webpage::NormalizeOrigins(options.trustedOrigins, &refused);
  for (const std::string& origin : refused) webpage::LogWarning("ignored trusted origin \"" + origin + "\": not an http(s) origin");
  m_downloads = options.downloadsFolder.empty() ? webpage::DefaultDownloadsFolder() : options.downloadsFolder;
}

CKitContext::~CKitContext() {
  if (const int listener = m_blockingListener.load(); listener != 0) m_options.contentBlocker->RemoveListener(listener);
  WebKitWebContext* context = m_webContext;
  WebKitUserStyleSheet* sheet = m_genericSheet;
  if (!context && !sheet) return;
  // WebKit objects are let go on the GTK thread.
  platform::gtk::PostToGtkThread([context, sheet] {
    if (sheet) webkit_user_style_sheet_unref(sheet);
    if (context) g_object_unref(context);
  });
}

void CKitContext::SetZoom(unsigned int percent) {
  m_zoom = percent;
  for (const auto& page : Pages()) {
    platform::gtk::PostToGtkThread([page] { page->ApplyZoom(); });
  }
}

WebKitWebContext* CKitContext::WebContext() {
  if (!m_webContext) {
    if (m_options.dataFolder.empty()) {
      m_webContext = webkit_web_context_new_ephemeral();
    } else {
      const std::string data = m_options.dataFolder + "/data", cache = m_options.dataFolder + "/cache";
      WebKitWebsiteDataManager* manager = WEBKIT_WEBSITE_DATA_MANAGER(g_object_new(
          WEBKIT_TYPE_WEBSITE_DATA_MANAGER, "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(),
          nullptr));
      m_webContext = webkit_web_context_new_with_website_data_manager(manager);
      g_object_unref(manager);
    }
    webkit_web_context_register_uri_scheme(m_webContext, "view-source", AnswerViewSource,
                                           new std::shared_ptr<Sources>(m_sources),
                                           [](gpointer data) { delete static_cast<std::shared_ptr<Sources>*>(data); });
    SetUpBlocking();
  }
  return m_webContext;
}

void CKitContext::KeepSource(const std::string& url, const std::string& source) {
  // Only the newest few are kept: each is wanted once, when its window loads.
  if (m_sources->size() >= 16) m_sources->erase(m_sources->begin());
  (*m_sources)[url] = source;
}

void CKitContext::Add(const std::shared_ptr<CKitPage>& page) {
  platform::CMutexLock guard(m_mutex);
  m_pages.erase(std::remove_if(m_pages.begin(), m_pages.end(), [](const auto& entry) { return entry.second.expired(); }),
                m_pages.end());
  m_pages.emplace_back(page.get(), page);
}

void CKitContext::Remove(const CKitPage* page) {
  platform::CMutexLock guard(m_mutex);
  // Compared by address, never locked here: the last reference must not go under the lock.
  m_pages.erase(std::remove_if(m_pages.begin(), m_pages.end(), [page](const auto& entry) { return entry.first == page; }),
                m_pages.end());
}

std::vector<std::shared_ptr<CKitPage>> CKitContext::Pages() const {
  std::vector<std::shared_ptr<CKitPage>> pages;
  platform::CMutexLock guard(m_mutex);
  for (const auto& entry : m_pages) {
    if (auto page = entry.second.lock()) pages.push_back(std::move(page));
  }
  return pages;
}

void CKitContext::Shutdown() {
  m_shutDown = true;
  for (const auto& page : Pages()) {
    platform::gtk::PostToGtkThread([page] { page->Close(false); });
  }
}

}  // namespace webkitpage

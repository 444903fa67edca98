// The web process side of content blocking on WebKitGTK: a web extension that the page
// component's web context loads into every web process. It builds the same filter set as
// the host from the same list files (the host hands their paths over, with its trusted
// origins and the sites blocking is off for) and cancels the requests it blocks in
// "send-request", before they leave; each page's view hears of every blocked request
// (a "blocking.blocked" message) to count it.
//
// The set is built on a thread of its own, started as the web process starts, so that
// the build overlaps the process's own start; a request that comes before it is ready
// waits for it (bounded). Everything else runs on the web process's main thread.
#include <webkit2/webkit-web-extension.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/pagecore/contentblocking.h"
#include "components/webkitpage/blockingprotocol.h"
#include "platform/mutex.h"

namespace {

using webkitpage::blocking::Settings;
using namespace std::chrono_literals;

// How long a request waits for a set being built before it goes unfiltered.
constexpr auto kBuildWait = 10s;

pagecore::CContentBlocker& Blocker() {
  static pagecore::CContentBlocker blocker;
  return blocker;
}

// The builds under way; the newest one's set is the one kept. Shared with the build
// threads, which are detached (the process may end while one runs).
struct Builds {
  platform::CMutex mutex;
  platform::CCondition done;
  int running GUARDED_BY(mutex) = 0;
  unsigned newest GUARDED_BY(mutex) = 0;
};

std::shared_ptr<Builds> TheBuilds() {
  static const std::shared_ptr<Builds> builds = std::make_shared<Builds>();
  return builds;
}

// Main thread: the list files the current set was (or is being) built from: a message
// naming the same ones (only the sites switched off changed) keeps it.
std::vector<std::string>& BuiltFrom() {
  static std::vector<std::string> files;
  return files;
}

void StartBuild(const Settings& settings) {
  std::shared_ptr<Builds> builds = TheBuilds();
  unsigned generation;
  {
    platform::CMutexLock lock(builds->mutex);
    generation = ++builds->newest;
    ++builds->running;
  }
  std::thread([builds, generation, files = settings.files, trusted = settings.trustedOrigins] {
    const auto start = std::chrono::steady_clock::now();
    contentfilter::FilterSetBuilder builder;
    for (const std::string& file : files) builder.AddListFile(file);
    for (const std::string& origin : trusted) builder.AddTrustedOrigin(origin);
    std::shared_ptr<const contentfilter::FilterSet> filters = builder.Build();
    bool newest;
    {
      platform::CMutexLock lock(builds->mutex);
      newest = generation == builds->newest;
    }
    if (newest) Blocker().SetFilters(filters);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    g_message("content blocking: %zu list(s), %zu network rules, built in %lld ms", files.size(),
              filters->NetworkRuleCount(), static_cast<long long>(ms.count()));
    platform::CMutexLock lock(builds->mutex);
    --builds->running;
    builds->done.NotifyAll();
  }).detach();
}

// Main thread: waits while a set is being built, at most kBuildWait.
void WaitForBuilds() {
  std::shared_ptr<Builds> builds = TheBuilds();
  const auto deadline = std::chrono::steady_clock::now() + kBuildWait;
  platform::CMutexLock lock(builds->mutex);
  while (builds->running > 0) {
    if (!builds->done.WaitUntil(lock, deadline)) {
      g_warning("content blocking: the filter set is not ready; a request goes unfiltered");
      return;
    }
  }
}

void Apply(const Settings& settings) {
  pagecore::CContentBlocker& blocker = Blocker();
  if (!settings.ready) {
    {
      std::shared_ptr<Builds> builds = TheBuilds();
      platform::CMutexLock lock(builds->mutex);
      ++builds->newest;  // a build under way is void
    }
    blocker.SetFilters(nullptr);
    BuiltFrom().clear();
  } else if (settings.files != BuiltFrom()) {
    StartBuild(settings);
    BuiltFrom() = settings.files;
  }
  for (const std::string& host : blocker.SitesOff()) blocker.SetSiteOff(host, false);
  for (const std::string& host : settings.sitesOff) blocker.SetSiteOff(host, true);
}

gboolean OnSendRequest(WebKitWebPage* page, WebKitURIRequest* request, WebKitURIResponse* redirected, gpointer) {
  const char* uri = webkit_uri_request_get_uri(request);
  if (!uri) return FALSE;
  WaitForBuilds();
  const char* pageUri = webkit_web_page_get_uri(page);
  const std::string url = uri, pageUrl = pageUri ? pageUri : "";
  SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
  const char* dest = headers ? soup_message_headers_get_one(headers, "Sec-Fetch-Dest") : nullptr;
  const char* accept = headers ? soup_message_headers_get_one(headers, "Accept") : nullptr;
  const bool mainResource = !redirected && (pageUrl.empty() || url == pageUrl);
  const contentfilter::ResourceType type =
      webkitpage::blocking::ResourceTypeOf(dest ? dest : "", accept ? accept : "", mainResource);
  // A page's own document is judged as a top-level navigation, its resources against it.
  const bool top = type == contentfilter::ResourceType::Document;
  if (!Blocker().Blocks(url, top ? "" : pageUrl, top ? url : pageUrl, type)) return FALSE;
  WebKitUserMessage* message = webkit_user_message_new(webkitpage::blocking::kBlockedMessage, g_variant_new_string(uri));
  webkit_web_page_send_message_to_view(page, message, nullptr, nullptr, nullptr);
  return TRUE;  // cancelled: the request never leaves
}

void OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
  g_signal_connect(page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
}

gboolean OnMessage(WebKitWebExtension*, WebKitUserMessage* message, gpointer) {
  if (g_strcmp0(webkit_user_message_get_name(message), webkitpage::blocking::kSettingsMessage) != 0) return FALSE;
  Settings settings;
  if (webkitpage::blocking::ReadSettings(webkit_user_message_get_parameters(message), &settings)) Apply(settings);
  else g_warning("content blocking: a settings message of the wrong form was ignored");
  return TRUE;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension* extension, const GVariant* data) {
  Settings settings;
  if (webkitpage::blocking::ReadSettings(const_cast<GVariant*>(data), &settings)) Apply(settings);
  g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
  g_signal_connect(extension, "user-message-received", G_CALLBACK(OnMessage), nullptr);
}

#include "components/webpage/browser.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "components/pagecore/tunables.h"
#include "components/webpage/chromiumprocess.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {

using namespace std::chrono_literals;

namespace {

// The end of Chromium's own output, for the log entry of a failed start.
std::string LogTail(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "";
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (text.size() > 400) text = text.substr(text.size() - 400);
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text.empty() ? "" : ": " + text;
}

}  // namespace

std::vector<std::string> CBrowser::Arguments(const WebPageOptions& options, bool headed, const std::string& profile) {
  std::vector<std::string> args;
  if (!headed) args.push_back("--headless=new");
  if (::geteuid() == 0) args.push_back("--no-sandbox");  // Chromium refuses to run as root otherwise
  for (const char* flag : {"--disable-gpu", "--no-first-run", "--no-default-browser-check",
                           "--disable-background-networking", "--disable-component-update", "--disable-sync",
                           "--disable-quic", "--disable-default-apps", "--disable-breakpad",
                           "--disable-client-side-phishing-detection", "--disable-domain-reliability",
                           "--disable-dev-shm-usage", "--no-pings", "--password-store=basic",
                           "--use-mock-keychain", "--remote-debugging-pipe"}) {
    args.push_back(flag);
  }
  // Going back or forward loads the page again, with its events, as a browser without a
  // back-forward cache does: the host learns of every document it shows.
  args.push_back("--disable-features=BackForwardCache");
  // A failed load stays failed until the host asks again: Chromium would otherwise reload
  // it on its own (after 1 s, 5 s, 30 s...), each try a new navigation and error.
  args.push_back("--disable-auto-reload");
  if (!options.blockPopups) args.push_back("--disable-popup-blocking");
  // Headless pages are tabs of the one window: its size is the size every view starts at.
  if (!headed)
    args.push_back("--window-size=" + std::to_string(pagecore::kNewViewWidth) + "," +
                   std::to_string(pagecore::kNewViewHeight));
  args.push_back("--user-data-dir=" + profile);
  for (const std::string& extra : options.extraArguments) args.push_back(extra);
  // The first tab stays open for Chromium's lifetime, so that closing every page of the
  // host never makes Chromium quit on its own.
  args.push_back("about:blank");
  return args;
}

Json CBrowser::NewTargetParams(bool headed) {
  // A window per page costs about half a page load more, and each window Chromium makes
  // leaves memory behind in its browser-interface renderer after it is closed; so only a
  // browser with a real window pays for one.
  if (!headed) return Json{{"url", "about:blank"}, {"background", true}};
  return Json{{"url", "about:blank"},
              {"newWindow", true},
              {"width", pagecore::kNewViewWidth},
              {"height", pagecore::kNewViewHeight}};
}

std::shared_ptr<CBrowser> CBrowser::Launch(const WebPageOptions& options, bool headed, Handlers handlers,
                                           std::string* error) {
  std::shared_ptr<CBrowser> browser = Spawn(options, headed, std::move(handlers), error);
  if (!browser) return nullptr;
  Json reply;
  if (!browser->m_connection->Call("Browser.getVersion", Json::object(), "", options.startTimeout, &reply)) {
    std::string message;
    CCdpConnection::IsError(reply, &message);
    *error = browser->FailStart(message);
    return nullptr;
  }
  auto result = reply.find("result");
  browser->Prepare(result != reply.end() ? *result : Json::object());
  return browser;
}

std::shared_ptr<CBrowser> CBrowser::Spawn(const WebPageOptions& options, bool headed, Handlers handlers,
                                          std::string* error) {
  std::shared_ptr<CBrowser> browser(new CBrowser());
  browser->m_headed = headed;
  browser->m_downloads = options.downloadsFolder.empty() ? DefaultDownloadsFolder() : options.downloadsFolder;
  if (options.profileFolder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/uicontrol-webpage-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      *error = "cannot create a profile folder under " + pattern;
      return nullptr;
    }
    browser->m_profile = pattern;
    platform::CMutexLock guard(browser->m_lifeMutex);
    browser->m_temporaryProfile = true;
  } else {
    browser->m_profile = options.profileFolder;
    std::error_code ec;
    std::filesystem::create_directories(browser->m_profile, ec);
  }

  ChromiumLaunch launch;
  launch.program = options.chromiumPath;
  launch.arguments = Arguments(options, headed, browser->m_profile);
  launch.logFile = browser->m_profile + "/chromium.log";
  browser->m_logFile = launch.logFile;
  browser->m_process = CChromiumProcess::Start(launch, error);
  if (!browser->m_process) {
    platform::CMutexLock guard(browser->m_lifeMutex);
    browser->RemoveProfile();
    return nullptr;
  }

  std::weak_ptr<CBrowser> weak = browser;
  CCdpConnection::Handlers connectionHandlers;
  auto onEvent = handlers.onEvent;
  auto onClosed = handlers.onClosed;
  connectionHandlers.onEvent = [weak, onEvent](Json&& event) {
    if (auto self = weak.lock()) onEvent(self, std::move(event));
  };
  connectionHandlers.onClosed = [weak, onClosed] {
    if (auto self = weak.lock()) onClosed(self);
  };
  connectionHandlers.post = handlers.post;
  std::shared_ptr<CCdpConnection> connection =
      CCdpConnection::Open(browser->m_process->TakeSocket(), std::move(connectionHandlers));
  {
    // A Chromium that dies at once is reaped on the engine thread, which reads this.
    platform::CMutexLock guard(browser->m_lifeMutex);
    browser->m_connection = connection;
  }
  if (!connection) {
    *error = "cannot read from Chromium";
    browser->Abandon();
    return nullptr;
  }
  return browser;
}

std::string CBrowser::FailStart(const std::string& why) {
  m_connection->Close();
  // Read the log only once the process has ended, so that its last words are in it.
  EndFailedStart();
  std::string error = "Chromium did not answer (" + why + ")" + LogTail(m_logFile);
  Abandon();
  return error;
}

void CBrowser::Prepare(const Json& version) {
  std::string product = "Chromium";
  if (version.is_object()) {
    auto it = version.find("product");
    if (it != version.end() && it->is_string()) product = it->get<std::string>();
  }
  m_connection->Send("Target.setDiscoverTargets", Json{{"discover", true}}, "", nullptr);
  // With "allow" Chromium would write a page's download under the name the page chose,
  // replacing any file of that name (an earlier download, a saved page). Instead it
  // writes under a private name into a staging folder, and OnDownloadEvent moves the
  // finished file to a name that is free.
  std::error_code ec;
  std::filesystem::create_directories(m_downloads, ec);
  std::string staging = m_downloads + "/.uicontrol-download-XXXXXX";
  if (!ec && ::mkdtemp(staging.data())) {
    {
      platform::CMutexLock guard(m_downloadMutex);
      m_staging = staging;
    }
    m_connection->Send("Browser.setDownloadBehavior",
                       Json{{"behavior", "allowAndName"}, {"downloadPath", staging}, {"eventsEnabled", true}}, "",
                       nullptr);
  } else {
    LogWarning("cannot make a staging folder in " + m_downloads +
               "; page downloads are saved under the names the pages give");
    m_connection->Send("Browser.setDownloadBehavior", Json{{"behavior", "allow"}, {"downloadPath", m_downloads}}, "",
                       nullptr);
  }
  LogInfo("started " + product + " (pid " + std::to_string(Pid()) + (m_headed ? ", with a window" : ", headless") +
          ") with profile " + m_profile);
}

CBrowser::~CBrowser() { Shutdown(); }

pid_t CBrowser::Pid() const { return m_process ? m_process->Pid() : 0; }

void CBrowser::EndFailedStart() {
  platform::CMutexLock guard(m_lifeMutex);
  if (!m_process) return;
  // A browser that gave up is on its way out: let it finish writing why before it is
  // made to end.
  if (!m_process->WaitExit(2s)) m_process->Terminate(2s);
}

void CBrowser::Abandon() {
  EndFailedStart();
  platform::CMutexLock guard(m_lifeMutex);
  RemoveProfile();
}

void CBrowser::Shutdown() {
  platform::CMutexLock guard(m_lifeMutex);
  if (!m_process || m_process->Exited()) {
    RemoveProfile();
    RemoveStaging();
    return;
  }
  if (m_connection && m_connection->IsOpen()) m_connection->Send("Browser.close", Json::object(), "", nullptr);
  if (!m_process->WaitExit(10s)) {
    LogWarning("Chromium did not close in time; ending it");
    m_process->Terminate(3s);
  }
  if (m_connection) m_connection->Close();
  LogInfo("Chromium (pid " + std::to_string(m_process->Pid()) + ") ended");
  RemoveProfile();
  RemoveStaging();
}

void CBrowser::Abort() {
  if (m_connection) m_connection->Close();
  platform::CMutexLock guard(m_lifeMutex);
  if (m_process && !m_process->Exited()) m_process->Terminate(2s);
  RemoveProfile();
  RemoveStaging();
}

void CBrowser::Reap() {
  platform::CMutexLock guard(m_lifeMutex);
  if (!m_process) return;
  if (!m_process->WaitExit(3s)) m_process->Terminate(2s);
  if (m_connection) m_connection->Close();
  RemoveProfile();
  RemoveStaging();
}

void CBrowser::OnDownloadEvent(const std::string& method, const Json& params) {
  std::string guid = JsonText(params, "guid");
  bool plain = !guid.empty() && guid.size() <= 64;
  for (char c : guid) plain = plain && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-');
  platform::CMutexLock guard(m_downloadMutex);
  if (!plain || m_staging.empty()) return;
  if (method == "Browser.downloadWillBegin") {
    m_pendingDownloads[guid] = Download{platform::Utf8ToWide(JsonText(params, "suggestedFilename")),
                                        platform::Utf8ToWide(JsonText(params, "url"))};
    return;
  }
  if (method != "Browser.downloadProgress") return;
  std::string state = JsonText(params, "state");
  if (state != "completed" && state != "canceled") return;
  Download download;
  auto it = m_pendingDownloads.find(guid);
  if (it != m_pendingDownloads.end()) {
    download = it->second;
    m_pendingDownloads.erase(it);
  }
  std::string source = m_staging + "/" + guid;
  if (state == "canceled") {
    ::unlink(source.c_str());
    LogInfo("download of " + platform::WideToUtf8(download.url) + " canceled");
    return;
  }
  std::string stem, extension, error;
  DownloadName(download.name, download.url, &stem, &extension);
  std::string path = MoveToNewFile(m_downloads, stem, extension, source, &error);
  if (path.empty()) {
    LogWarning("download of " + platform::WideToUtf8(download.url) + " not saved: " + error);
    ::unlink(source.c_str());
    return;
  }
  LogInfo("downloaded " + platform::WideToUtf8(download.url) + " as " + path);
}

void CBrowser::RemoveStaging() {
  platform::CMutexLock guard(m_downloadMutex);
  if (m_staging.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(m_staging, ec);  // unfinished downloads only
  m_staging.clear();
}

void CBrowser::RemoveProfile() {
  if (!m_temporaryProfile || m_profile.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(m_profile, ec);
  m_temporaryProfile = false;
}

}  // namespace webpage

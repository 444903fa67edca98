#pragma once
// One running Chromium: its process, its profile folder and its DevTools connection.
#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "components/webpage/cdpconnection.h"
#include "components/webpage/webpagemanager.h"
#include "platform/mutex.h"

namespace webpage {

class CChromiumProcess;

class CBrowser : public std::enable_shared_from_this<CBrowser> {
 public:
  struct Handlers {
    // Both are called on the connection's reader thread.
    std::function<void(const std::shared_ptr<CBrowser>&, Json&&)> onEvent;
    std::function<void(const std::shared_ptr<CBrowser>&)> onClosed;
    std::function<void(std::function<void()>)> post;  // where command replies are handled
  };

  // Starts Chromium and waits until it answers. Null with *error set on failure; nothing
  // is left running then.
  static std::shared_ptr<CBrowser> Launch(const WebPageOptions& options, bool headed, Handlers handlers,
                                          std::string* error);
  // The first half of a start that does not wait: the process and its connection. Null
  // with *error set on failure. The caller asks Chromium for "Browser.getVersion" and
  // then calls Prepare with the answer, or FailStart.
  static std::shared_ptr<CBrowser> Spawn(const WebPageOptions& options, bool headed, Handlers handlers,
                                         std::string* error);
  // Chromium answered `version` (the result of "Browser.getVersion"): target discovery and
  // downloads are set up (sent without waiting; Chromium handles them before any later
  // command).
  void Prepare(const Json& version);
  // Chromium did not answer (`why`): ends it and waits for it, so that the returned
  // text ends with the last words it wrote; removes its profile.
  std::string FailStart(const std::string& why);
  ~CBrowser();

  const std::shared_ptr<CCdpConnection>& Connection() const { return m_connection; }
  bool Alive() const { return m_connection && m_connection->IsOpen(); }
  pid_t Pid() const;
  bool Headed() const { return m_headed; }
  const std::string& DownloadsFolder() const { return m_downloads; }

  // Page downloads (Browser.downloadWillBegin / downloadProgress; engine thread): Chromium
  // writes them under a private name into a staging folder, and a finished one is moved
  // into the downloads folder under a safe name that no file has yet.
  void OnDownloadEvent(const std::string& method, const Json& params);

  // Closes Chromium the polite way, then by force; removes a temporary profile.
  void Shutdown();
  // Ends a Chromium that has not answered yet (SIGTERM, then SIGKILL); removes its profile.
  void Abort();
  // After Chromium went away by itself: reaps the process and cleans up.
  void Reap();

  // The command line switches for a launch (without the program).
  static std::vector<std::string> Arguments(const WebPageOptions& options, bool headed, const std::string& profile);
  // The parameters of Target.createTarget for a new page. Headless: a tab of Chromium's
  // one window, opened behind the others (the window is the size a page's view starts
  // at; every page is kept visible by focus emulation). With a window: a window per page,
  // since a tab behind another in a real window would not draw.
  static Json NewTargetParams(bool headed);

 private:
  CBrowser() = default;
  // Ends a Chromium whose start failed and waits for its process group: after this,
  // everything it wrote is in its log file.
  void EndFailedStart();
  // Ends a Chromium whose start failed and removes its profile.
  void Abandon();
  void RemoveProfile() REQUIRES(m_lifeMutex);
  void RemoveStaging();

  // Shutdown and Reap may meet: the manager is released while Chromium dies. The process
  // is made in Spawn before the browser is shared; its ending runs under m_lifeMutex.
  platform::CMutex m_lifeMutex;
  std::unique_ptr<CChromiumProcess> m_process;
  std::shared_ptr<CCdpConnection> m_connection;
  std::string m_profile;
  std::string m_logFile;
  bool m_temporaryProfile GUARDED_BY(m_lifeMutex) = false;
  bool m_headed = false;
  std::string m_downloads;
  // "<downloads>/.uicontrol-download-XXXXXX": where Chromium writes; empty when it could not
  // be made (then downloads go straight to the downloads folder under Chromium's names).
  platform::CMutex m_downloadMutex;
  std::string m_staging GUARDED_BY(m_downloadMutex);
  struct Download {
    std::wstring name;
    std::wstring url;
  };
  std::map<std::string, Download> m_pendingDownloads GUARDED_BY(m_downloadMutex);  // by guid
};

}  // namespace webpage

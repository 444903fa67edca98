// uicontrol-shell: the browser's host. It wires the real components (the SQLite data
// store and the Chromium page engine) into the library in the documented start-up order,
// runs the Lua user interface, and hands it every notification on its own thread.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "components/datastore/datastore.h"
#include "components/webpage/weblog.h"
#include "components/webpage/webpagemanager.h"
#include "host/hostdialogs.h"
#include "host/localserver.h"
#include "host/luashell.h"
#include "host/notificationqueue.h"
#include "host/pagezoom.h"
#include "host/recovery.h"
#include "host/servedport.h"
#include "host/shelllog.h"
#include "host/shelloptions.h"
#include "logging/logging.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

bool MakeFolder(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) partial += path[i];
  }
  return true;
}

// Reads what is available on standard input and hands complete lines to the script.
// Returns false at the end of input.
bool ReadInput(CLuaShell& shell, std::string* pending) {
  char buffer[4096];
  ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    if (!pending->empty()) shell.CallInput(pending);
    pending->clear();
    shell.CallInput(nullptr);
    return false;
  }
  pending->append(buffer, static_cast<size_t>(n));
  size_t eol;
  while ((eol = pending->find('\n')) != std::string::npos) {
    std::string line = pending->substr(0, eol);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pending->erase(0, eol + 1);
    shell.CallInput(&line);
    if (shell.QuitRequested()) break;
  }
  return true;
}

void Dispatch(CLuaShell& shell, CNotificationQueue& queue) {
  queue.Dispatch([&shell](const HostNotification& n) {
    if (shell.QuitRequested()) return;  // the script wants no more once it asked to quit
    if (n.kind == HostNotification::Tab) {
      shell.CallTab(n.uID, n.key, n.value);
    } else {
      shell.CallData(n.key, n.value);
    }
  });
}

// The terminal interface installed with the program: UICONTROL_UI_FROM_PROGRAM is the UI
// folder relative to the program's own folder, the same in the build tree and installed.
std::string DefaultUIScript(const char* argv0) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
  return ScriptBesideProgram(program, UICONTROL_UI_FROM_PROGRAM, "main.lua");
}

}  // namespace

int main(int argc, char** argv) {
  ShellOptions options;
  std::string error;
  if (!ParseShellOptions(argc, argv, DefaultUIScript(argv[0]), &options, &error)) {
    std::fprintf(stderr, "uicontrol-shell: %s\n%s", error.c_str(), ShellUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::printf("%s", ShellUsage().c_str());
    return 0;
  }
  if (options.version) {
    std::printf("%s", ShellVersion().c_str());
    return 0;
  }
  if (!MakeFolder(options.profile) || !MakeFolder(options.profile + "/downloads")) {
    std::fprintf(stderr, "uicontrol-shell: cannot create the profile folder %s\n", options.profile.c_str());
    return 1;
  }

  // Component and library log lines go to a file: the terminal belongs to the interface.
  CShellLog log(options.profile + "/shell.log");
  log.InstallPageEngineSink();

  CLocalServer server;
  std::string baseURL;
  if (!options.serve.empty()) {
    const int kept = ReadServedPort(options.profile);
    if (!server.Start(options.serve, &error, kept)) {
      std::fprintf(stderr, "uicontrol-shell: %s\n", error.c_str());
      return 1;
    }
    baseURL = server.BaseURL();
    if (server.PortMoved()) {
      // The profile's port stays what it was: once it is free, its addresses work again.
      std::fprintf(stderr,
                   "uicontrol-shell: port %d of this profile is taken; the pages are served at %s for now, "
                   "and saved addresses of served pages open again once the port is free\n",
                   kept, baseURL.c_str());
    } else if (kept == 0 && !WriteServedPort(options.profile, server.Port())) {
      std::fprintf(stderr, "uicontrol-shell: cannot keep the port in %s; it changes at the next start\n",
                   options.profile.c_str());
    }
  }
  const std::string home = !options.home.empty() ? options.home : !baseURL.empty() ? baseURL : "about:blank";

  // The favourite URL log goes beside the database.
  platform::RegistrySetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", L"datapath",
                             platform::Utf8ToWide(options.profile));

  datastore::DataStoreOptions storeOptions;
  storeOptions.strDatabasePath = options.profile + "/datastore.db";
  if (log.IsOpen()) {
    storeOptions.fnLogSink = [&log](datastore::LogLevel level, const std::string& text) {
      log.Write(std::string("datastore ") + datastore::LogLevelName(level), text);
    };
  }
  IDataAccessor* rawStore = nullptr;
  if (FAILED(datastore::CreateDataStore(storeOptions, &rawStore))) {
    std::fprintf(stderr, "uicontrol-shell: the data store could not be opened in %s\n", options.profile.c_str());
    return 1;
  }
  com_ptr<IDataAccessor> store;
  store.Attach(rawStore);
  store->SetData(L"defaulturl", platform::Utf8ToWide(home).c_str());

  WebPageOptions pageOptions;
  pageOptions.chromiumPath = options.chromium;
  pageOptions.headless = !options.visible;
  pageOptions.profileFolder = options.profile + "/chromium";
  pageOptions.downloadsFolder = options.profile + "/downloads";
  pageOptions.homePage = platform::Utf8ToWide(home);
  // The served pages are the browser's own: only they may use the page script API
  // (the favourite dialogs) and close their tab. Nothing else is trusted.
  if (!baseURL.empty()) pageOptions.trustedOrigins.push_back(baseURL);
  IDataAccessor* storeForHooks = store.get();
  pageOptions.onTabClosedForRecovery = [storeForHooks](const std::wstring& uuid, const std::wstring& title,
                                                       const std::wstring& url) {
    SaveClosedTab(storeForHooks, uuid, title, url);
  };
  pageOptions.lookupRecoveredTab = [storeForHooks](const std::wstring& uuid, std::wstring* url) {
    return LookupClosedTab(storeForHooks, uuid, url);
  };
  IWebPageManager* rawPages = nullptr;
  if (FAILED(CreateWebPageManager(pageOptions, &rawPages))) {
    std::fprintf(stderr, "uicontrol-shell: the page engine could not be created\n");
    return 1;
  }
  com_ptr<IWebPageManager> pages;
  pages.Attach(rawPages);
  ApplyStoredZoom(store.get(), pages.get());

  CNotificationQueue queue;
  com_ptr<IAddFavoriteDlg> addDialog;
  addDialog.Attach(CreateAddFavoriteDialog(queue));
  com_ptr<IEditFavoriteDlg> editDialog;
  editDialog.Attach(CreateEditFavoriteDialog(queue));

  // Start-up in the library's order.
  CTabManager& tm = CTabManager::Instance();
  log.InstallLibraryHook();
  HWND mainWindow = platform::CreateWindowHandle();
  CTabManager::SetMainWndHwnd(mainWindow);
  CTabManager::SetWebPageManager(pages);
  CTabManager::SetDataAccessor(store);
  CTabManager::SetAddFavoriteDlg(addDialog);
  CTabManager::SetEditFavoriteDlg(editDialog);
  IWebPageManager* pagesForZoom = pages.get();
  CTabManager::RegisterNotify([&queue, pagesForZoom](unsigned int uID, const wchar_t* key, const wchar_t* value) {
    // The stored zoom changed: every page follows at once.
    if (uID == 0 && key && std::wcscmp(key, L"page.size") == 0) ApplyZoomText(pagesForZoom, value ? value : L"");
    queue.Push({HostNotification::Tab, uID, key ? key : L"", value ? value : L""});
  });
  CTabManager::RegisterDataNotify([&queue](const wchar_t* key, const std::wstring& data) {
    queue.Push({HostNotification::Data, 0, key ? key : L"", data});
  });

  int status = 0;
  {
    CLuaShell shell;
    if (!shell.InstallAPIs(&error)) {
      std::fprintf(stderr, "uicontrol-shell: %s\n", error.c_str());
      return 1;
    }
    shell.SetHostString("base_url", baseURL);
    shell.SetHostString("profile", options.profile);
    shell.SetHostString("home", home);
    shell.SetHostArgs(options.scriptArgs);
    tm.BindMainWnd(mainWindow);
    if (!tm.Start()) {
      std::fprintf(stderr, "uicontrol-shell: the worker threads could not be started\n");
      return 1;
    }
    if (!shell.RunScript(options.ui, &error)) {
      std::fprintf(stderr, "uicontrol-shell: %s\n", error.c_str());
      status = 1;
    } else {
      shell.CallStart();
      // Wait for input, notifications and timers together; nothing is polled.
      bool inputOpen = true;
      std::string pending;
      const int queueFd = queue.ReadableFd();
      while (!shell.QuitRequested()) {
        Dispatch(shell, queue);
        if (shell.QuitRequested()) break;
        const int timeout = shell.RunDueTimers();
        if (shell.QuitRequested()) break;
        pollfd fds[2] = {{queueFd, POLLIN, 0}, {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) break;
        if (fds[0].revents) queue.ClearReadable();
        if (inputOpen && fds[1].revents) inputOpen = ReadInput(shell, &pending);
      }
      shell.CallQuit();
      status = shell.ExitStatus();
    }
    // Closing saves every tab for recovery (the engine's hook), then the workers end.
    tm.CloseAllTab();
    tm.Quit();
  }
  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  logging::SetMessageHook(nullptr);
  CTabManager::SetAddFavoriteDlg(nullptr);
  CTabManager::SetEditFavoriteDlg(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  pages.reset();  // ends Chromium after the pages' last orders
  CTabManager::SetDataAccessor(nullptr);
  store.reset();
  server.Stop();
  webpage::SetLogSink(nullptr);
  return status;
}

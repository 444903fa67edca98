// uicontrol-shell: the browser's host. It wires the real components (the SQLite data
// store and the Chromium page engine) into the library in the documented start-up order,
// runs the Lua user interface, and hands it every notification on its own thread.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "components/datastore/datastore.h"
#include "components/webpage/weblog.h"
#include "components/webpage/webpagemanager.h"
#include "host/hostdialogs.h"
#include "host/lineeditor.h"
#include "host/localserver.h"
#include "host/luashell.h"
#include "host/notificationqueue.h"
#include "host/pageevents.h"
#include "host/pagezoom.h"
#include "host/profilefolder.h"
#include "host/recovery.h"
#include "host/servedport.h"
#include "host/closingtabs.h"
#include "host/shelllog.h"
#include "host/shelloptions.h"
#include "logging/logging.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

void Dispatch(CLuaShell& shell, CNotificationQueue& queue, CPageEvents& pageEvents, CLineEditor& editor) {
  bool output = false;
  queue.Dispatch([&](const HostNotification& n) {
    if (shell.QuitRequested()) return;  // the script wants no more once it asked to quit
    if (!output) editor.BeginOutput();
    output = true;
    if (n.kind == HostNotification::Tab) {
      pageEvents.Watch(n.uID);
      shell.CallTab(n.uID, n.key, n.value);
    } else {
      shell.CallData(n.key, n.value);
    }
  });
  if (output) editor.EndOutput();
}

// SIGINT, SIGTERM and SIGHUP end the shell as "quit" does: the handler only writes the
// signal's number to a pipe that the main loop waits on.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  ssize_t written = write(g_signalPipe[1], &number, 1);
  (void)written;
  errno = saved;
}

bool CatchQuitSignals() {
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return true;
}

// The terminal interface installed with the program: UICONTROL_UI_FROM_PROGRAM is the UI
// folder relative to the program's own folder, the same in the build tree and installed.
std::string DefaultUIFolder(const char* argv0) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
  const std::string script = ScriptBesideProgram(program, UICONTROL_UI_FROM_PROGRAM, "main.lua");
  return script.substr(0, script.size() - std::strlen("/main.lua"));
}

}  // namespace

int main(int argc, char** argv) {
  ShellOptions options;
  std::string error;
  if (!ParseShellOptions(argc, argv, DefaultUIFolder(argv[0]) + "/main.lua", &options, &error)) {
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
  if (access(options.chromium.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "uicontrol-shell: Chromium was not found at %s (name the program with --chromium PATH)\n",
                 options.chromium.c_str());
    return 1;
  }
  if (!MakeFolder(options.profile) || !MakeFolder(options.profile + "/downloads")) {
    std::fprintf(stderr, "uicontrol-shell: cannot create the profile folder %s\n", options.profile.c_str());
    return 1;
  }
  if (!LockProfile(options.profile)) {
    std::fprintf(stderr, "uicontrol-shell: the profile %s is in use by another uicontrol-shell\n",
                 options.profile.c_str());
    return 1;
  }
  // A script's print reaches a pipe line by line, as it does a terminal.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!CatchQuitSignals()) {
    std::fprintf(stderr, "uicontrol-shell: cannot watch for signals\n");
    return 1;
  }
  const std::string sessionPath = options.profile + "/session";
  const std::vector<SessionTab> lastSession = ReadSessionFile(sessionPath);
  CClosingTabs closing;

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
  storeOptions.databasePath = options.profile + "/datastore.db";
  if (log.IsOpen()) {
    storeOptions.logSink = [&log](datastore::LogLevel level, const std::string& text) {
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
  CClosingTabs* sessionForHooks = &closing;
  pageOptions.onTabClosedForRecovery = [storeForHooks, sessionForHooks](
                                           const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
    SaveClosedTab(storeForHooks, uuid, title, url);
    sessionForHooks->Add(uuid, title, url);
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
  bool sessionSaved = false;
  {
    CLuaShell shell;
    if (!shell.InstallAPIs(&error)) {
      std::fprintf(stderr, "uicontrol-shell: %s\n", error.c_str());
      return 1;
    }
    const std::string uiDir = DefaultUIFolder(argv[0]);
    CLineEditor editor(
        STDIN_FILENO, options.profile + "/command-history", [&shell](const std::string* line) { shell.CallInput(line); },
        [&shell](const std::string& word, const std::string& before) { return shell.CallComplete(word, before); });
    shell.SetEditor(&editor);
    shell.SetHostString("base_url", baseURL);
    shell.SetHostString("profile", options.profile);
    shell.SetHostString("home", home);
    shell.SetHostString("ui_dir", uiDir);
    shell.AddModuleFolder(uiDir);
    shell.SetHostFlag("interactive", editor.Interactive());
    shell.SetHostFlag("restore", options.restore);
    shell.SetHostSession(lastSession);
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
      CPageEvents pageEvents;
      shell.CallStart();
      // Wait for input, notifications, signals and timers together; nothing is polled.
      bool inputOpen = true;
      const int queueFd = queue.ReadableFd();
      while (!shell.QuitRequested()) {
        Dispatch(shell, queue, pageEvents, editor);
        if (shell.QuitRequested()) break;
        const bool timerDue = shell.TimerDue();
        if (timerDue) editor.BeginOutput();
        const int timeout = shell.RunDueTimers();
        if (timerDue) editor.EndOutput();
        if (shell.QuitRequested()) break;
        pollfd fds[3] = {{queueFd, POLLIN, 0}, {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        if (poll(fds, 3, timeout) < 0 && errno != EINTR) break;
        if (fds[2].revents) {
          unsigned char number = 0;
          while (read(g_signalPipe[0], &number, 1) == 1) {
          }
          shell.RequestQuit(0);
          break;
        }
        if (fds[0].revents) queue.ClearReadable();
        if (inputOpen && fds[1].revents) inputOpen = editor.OnReadable();
      }
      editor.BeginOutput();
      shell.CallQuit();
      status = shell.ExitStatus();
      if (shell.ScriptErrors() > 0 && status == 0) {
        std::fprintf(stderr, "uicontrol-shell: the interface stopped on %d error%s (see above)\n", shell.ScriptErrors(),
                     shell.ScriptErrors() == 1 ? "" : "s");
        status = 1;
      }
    }
    shell.SetEditor(nullptr);
    // Closing saves every tab for recovery (the engine's hook), then the workers end.
    closing.Begin();
    tm.CloseAllTab();
    tm.Quit();
    sessionSaved = true;
  }
  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  logging::SetMessageHook(nullptr);
  CTabManager::SetAddFavoriteDlg(nullptr);
  CTabManager::SetEditFavoriteDlg(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  pages.reset();  // ends Chromium after the pages' last orders (the tabs are saved by then)
  if (sessionSaved && !WriteSessionFile(sessionPath, closing.Tabs()))
    std::fprintf(stderr, "uicontrol-shell: cannot keep the open tabs in %s\n", sessionPath.c_str());
  CTabManager::SetDataAccessor(nullptr);
  store.reset();
  server.Stop();
  webpage::SetLogSink(nullptr);
  return status;
}

// uicontrol-browser: the desktop host. One GTK main window holds the chrome that the Lua
// interface (ui/desktop) builds from the widget classes, and the page area where the
// selected tab's page is shown. The library, the SQLite store and the page engine are
// wired as in the terminal shell; the interface runs on the GTK main thread, and the
// library's notifications reach it through the GLib main loop (a watch on the queue's
// descriptor), as do its timers (one timeout for the next due one) and quit signals.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "browser/basicwidgets.h"
#include "browser/browseroptions.h"
#include "browser/favoritedialog.h"
#include "browser/pageengine.h"
#include "browser/widgetbindings.h"
#include "components/datastore/datastore.h"
#include "components/webpage/weblog.h"
#include "host/hostdialogs.h"
#include "host/localserver.h"
#include "host/luashell.h"
#include "host/notificationqueue.h"
#include "host/pageevents.h"
#include "host/profilefolder.h"
#include "host/recovery.h"
#include "host/servedport.h"
#include "host/closingtabs.h"
#include "host/shelllog.h"
#include "logging/logging.h"
#include "platform/gtk/gtkthread.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// The interface's folder (ui/) beside the program, the same in the build tree and installed.
std::string UIFolder(const char* argv0) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
  const std::string script = ScriptBesideProgram(program, UICONTROL_UI_FROM_PROGRAM, "main.lua");
  return script.substr(0, script.size() - std::strlen("/main.lua"));
}

// Runs the Lua interface from the main loop: notifications, timers, widget signals.
class CInterfaceLoop {
 public:
  CInterfaceLoop(CLuaShell& shell, CNotificationQueue& queue, GMainLoop* loop)
      : m_shell(shell), m_queue(queue), m_loop(loop), m_pageEvents({L"AUDIOSTATECHANGE"}) {}
  ~CInterfaceLoop() {
    if (m_timer) g_source_remove(m_timer);
    if (m_watch) g_source_remove(m_watch);
  }

  void Begin() {
    const int fd = m_queue.ReadableFd();
    if (fd >= 0) m_watch = g_unix_fd_add(fd, G_IO_IN, &CInterfaceLoop::OnQueue, this);
    AfterScript();
  }

  // After every run of script code: the next timer, and the end when the script asked.
  void AfterScript() {
    if (m_shell.QuitRequested()) {
      g_main_loop_quit(m_loop);
      return;
    }
    if (m_timer) {
      g_source_remove(m_timer);
      m_timer = 0;
    }
    const int due = m_shell.RunDueTimers();
    if (m_shell.QuitRequested()) {
      g_main_loop_quit(m_loop);
      return;
    }
    if (due >= 0) m_timer = g_timeout_add(static_cast<guint>(due), &CInterfaceLoop::OnTimer, this);
  }

 private:
  static gboolean OnQueue(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<CInterfaceLoop*>(data);
    self->m_queue.Dispatch([self](const HostNotification& n) {
      if (self->m_shell.QuitRequested()) return;
      if (n.kind == HostNotification::Tab) {
        self->m_pageEvents.Watch(n.uID);
        self->m_shell.CallTab(n.uID, n.key, n.value);
      } else {
        self->m_shell.CallData(n.key, n.value);
      }
    });
    self->AfterScript();
    return G_SOURCE_CONTINUE;
  }
  static gboolean OnTimer(gpointer data) {
    auto* self = static_cast<CInterfaceLoop*>(data);
    self->m_timer = 0;
    self->AfterScript();
    return G_SOURCE_REMOVE;
  }

  CLuaShell& m_shell;
  CNotificationQueue& m_queue;
  GMainLoop* m_loop;
  CPageEvents m_pageEvents;
  guint m_watch = 0;
  guint m_timer = 0;
};

// SIGINT, SIGTERM and SIGHUP end the browser as Ctrl+Q does.
struct QuitTarget {
  CLuaShell* shell;
  GMainLoop* loop;
};
gboolean OnQuitSignal(gpointer data) {
  auto* target = static_cast<QuitTarget*>(data);
  target->shell->RequestQuit(0);
  g_main_loop_quit(target->loop);
  return G_SOURCE_CONTINUE;
}

// The page engine may do its part of closing on this thread (the GTK thread): runs the
// GTK thread's queued tasks until none is left, for at most `seconds`.
void RunQueuedGtkWork(int seconds) {
  gint64 deadline = g_get_monotonic_time() + gint64{seconds} * G_USEC_PER_SEC;
  bool late = false;
  const guint timer = g_timeout_add_seconds(static_cast<guint>(seconds), +[](gpointer late) -> gboolean {
    *static_cast<bool*>(late) = true;
    return G_SOURCE_REMOVE;
  }, &late);
  while (platform::gtk::PendingGtkTasks() > 0 && !late && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, TRUE);
  if (!late) g_source_remove(timer);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string uiRoot = UIFolder(argv[0]);
  BrowserOptions options;
  std::string error;
  if (!ParseBrowserOptions(argc, argv, uiRoot + "/desktop/main.lua", &options, &error)) {
    std::fprintf(stderr, "uicontrol-browser: %s\n%s", error.c_str(), BrowserUsage().c_str());
    return 2;
  }
  const ShellOptions& shellOptions = options.shell;
  if (shellOptions.help) {
    std::printf("%s", BrowserUsage().c_str());
    return 0;
  }
  if (shellOptions.version) {
    std::printf("uicontrol-browser %s", ShellVersion().substr(std::strlen("uicontrol-shell ")).c_str());
    return 0;
  }
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "uicontrol-browser: cannot open the display (use uicontrol-shell in a terminal)\n");
    return 1;
  }
  if (std::strcmp(PageEngineName(), "chromium") == 0 && access(shellOptions.chromium.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "uicontrol-browser: Chromium was not found at %s (name the program with --chromium PATH)\n",
                 shellOptions.chromium.c_str());
    return 1;
  }
  const std::string& profile = shellOptions.profile;
  if (!MakeFolder(profile) || !MakeFolder(profile + "/downloads")) {
    std::fprintf(stderr, "uicontrol-browser: cannot create the profile folder %s\n", profile.c_str());
    return 1;
  }
  if (!LockProfile(profile)) {
    std::fprintf(stderr, "uicontrol-browser: the profile %s is in use by another program\n", profile.c_str());
    return 1;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string lastTabsPath = profile + "/session";
  const std::vector<SessionTab> lastTabs = ReadSessionFile(lastTabsPath);
  CClosingTabs closing;

  CShellLog log(profile + "/shell.log");
  log.InstallPageEngineSink();

  CLocalServer server;
  std::string baseURL;
  if (!shellOptions.serve.empty()) {
    const int kept = ReadServedPort(profile);
    if (!server.Start(shellOptions.serve, &error, kept)) {
      std::fprintf(stderr, "uicontrol-browser: %s\n", error.c_str());
      return 1;
    }
    baseURL = server.BaseURL();
    if (server.PortMoved()) {
      std::fprintf(stderr, "uicontrol-browser: port %d of this profile is taken; the pages are served at %s for now\n",
                   kept, baseURL.c_str());
    } else if (kept == 0 && !WriteServedPort(profile, server.Port())) {
      std::fprintf(stderr, "uicontrol-browser: cannot keep the port in %s\n", profile.c_str());
    }
  }
  const std::string home = !shellOptions.home.empty() ? shellOptions.home : !baseURL.empty() ? baseURL : "about:blank";
  platform::RegistrySetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", L"datapath", platform::Utf8ToWide(profile));

  datastore::DataStoreOptions storeOptions;
  storeOptions.databasePath = profile + "/datastore.db";
  if (log.IsOpen()) {
    storeOptions.logSink = [&log](datastore::LogLevel level, const std::string& text) {
      log.Write(std::string("datastore ") + datastore::LogLevelName(level), text);
    };
  }
  IDataAccessor* rawStore = nullptr;
  if (FAILED(datastore::CreateDataStore(storeOptions, &rawStore))) {
    std::fprintf(stderr, "uicontrol-browser: the data store could not be opened in %s\n", profile.c_str());
    return 1;
  }
  com_ptr<IDataAccessor> store;
  store.Attach(rawStore);
  store->SetData(L"defaulturl", platform::Utf8ToWide(home).c_str());

  // The window table's calls now reach GTK: views go into the main window's page area.
  platform::gtk::InstallWindowBackend();
  HWND mainWnd = platform::CreateWindowHandle();
  auto* window = browser::CWidget::Keep(std::make_unique<browser::CWindow>("uicontrol"));
  auto* pageArea = browser::CWidget::Keep(
      std::make_unique<browser::CHostWidget>(platform::gtk::CreatePageArea(mainWnd)));

  PageEngineConfig engine;
  engine.chromiumPath = shellOptions.chromium;
  engine.profileFolder = profile + "/" + PageEngineName();
  engine.downloadsFolder = profile + "/downloads";
  engine.homePage = platform::Utf8ToWide(home);
  if (!baseURL.empty()) engine.trustedOrigins.push_back(baseURL);
  IDataAccessor* storeForHooks = store.get();
  CClosingTabs* closingForHooks = &closing;
  engine.onTabClosed = [storeForHooks, closingForHooks](const std::wstring& uuid, const std::wstring& title,
                                                        const std::wstring& url) {
    SaveClosedTab(storeForHooks, uuid, title, url);
    closingForHooks->Add(uuid, title, url);
    // The chrome's list of closed tabs (Ctrl+Shift+T) follows.
    CTabManager::NotifyData(L"TabKeptForRecovery", uuid);
  };
  engine.lookupClosedTab = [storeForHooks](const std::wstring& uuid, std::wstring* url) {
    return LookupClosedTab(storeForHooks, uuid, url);
  };
  IWebPageManager* rawPages = nullptr;
  if (FAILED(CreatePageEngine(engine, &rawPages))) {
    std::fprintf(stderr, "uicontrol-browser: the page engine (%s) could not be created\n", PageEngineName());
    return 1;
  }
  com_ptr<IWebPageManager> pages;
  pages.Attach(rawPages);
  {
    wchar_t* zoom = nullptr;
    if (SUCCEEDED(store->GetData(L"page.size", &zoom)) && zoom) {
      if (*zoom) ApplyPageZoomText(pages.get(), zoom);
      store->FreeData(zoom);
    }
  }

  CNotificationQueue queue;
  com_ptr<IAddFavoriteDlg> addDialog;
  addDialog.Attach(CreateGtkAddFavoriteDialog(GTK_WINDOW(window->Gtk())));
  com_ptr<IEditFavoriteDlg> editDialog;
  editDialog.Attach(CreateEditFavoriteDialog(queue));

  CTabManager& tm = CTabManager::Instance();
  log.InstallLibraryHook();
  CTabManager::SetMainWndHwnd(mainWnd);
  CTabManager::SetWebPageManager(pages);
  CTabManager::SetDataAccessor(store);
  CTabManager::SetAddFavoriteDlg(addDialog);
  CTabManager::SetEditFavoriteDlg(editDialog);
  IWebPageManager* pagesForZoom = pages.get();
  CTabManager::RegisterNotify([&queue, pagesForZoom](unsigned int uID, const wchar_t* key, const wchar_t* value) {
    if (uID == 0 && key && std::wcscmp(key, L"page.size") == 0) ApplyPageZoomText(pagesForZoom, value ? value : L"");
    queue.Push({HostNotification::Tab, uID, key ? key : L"", value ? value : L""});
  });
  CTabManager::RegisterDataNotify([&queue](const wchar_t* key, const std::wstring& data) {
    queue.Push({HostNotification::Data, 0, key ? key : L"", data});
  });

  int status = 0;
  bool tabsKept = false;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  {
    CLuaShell shell;
    if (!shell.InstallAPIs(&error) ||
        !browser::InstallWidgetBindings(shell.Host(), window, pageArea)) {
      std::fprintf(stderr, "uicontrol-browser: %s\n", error.empty() ? "the widget classes could not be installed" : error.c_str());
      return 1;
    }
    CInterfaceLoop interfaceLoop(shell, queue, loop);
    const unsigned int mainId = window->Id();
    browser::CWidget::SetSignalSink([&shell, &interfaceLoop, mainId](unsigned int id, const std::string& signal,
                                                                      const std::string& arg) {
      if (shell.QuitRequested()) return false;
      bool handled = shell.CallSignal(id, signal, arg);
      // A main window the script does not answer for closes as "quit" does.
      if (!handled && id == mainId && signal == "close") shell.RequestQuit(0);
      interfaceLoop.AfterScript();
      return handled;
    });
    const std::string uiDir = uiRoot + "/desktop";
    shell.SetHostString("base_url", baseURL);
    // The served folder: the chrome shows the icons of served pages from their files.
    shell.SetHostString("serve_dir", shellOptions.serve);
    shell.SetHostString("profile", profile);
    shell.SetHostString("home", home);
    shell.SetHostString("ui_dir", uiDir);
    shell.SetHostString("state_file", options.stateFile);
    shell.SetHostString("start_url", options.startURL);
    shell.SetHostString("engine", PageEngineName());
    shell.AddModuleFolder(uiRoot);
    shell.AddModuleFolder(uiDir);
    shell.SetHostFlag("interactive", false);
    shell.SetHostFlag("restore", shellOptions.restore);
    shell.SetHostSession(lastTabs);
    shell.SetHostArgs(shellOptions.scriptArgs);
    tm.BindMainWnd(mainWnd);
    if (!tm.Start()) {
      std::fprintf(stderr, "uicontrol-browser: the worker threads could not be started\n");
      return 1;
    }
    QuitTarget quitTarget{&shell, loop};
    guint signalSources[] = {g_unix_signal_add(SIGINT, &OnQuitSignal, &quitTarget),
                             g_unix_signal_add(SIGTERM, &OnQuitSignal, &quitTarget),
                             g_unix_signal_add(SIGHUP, &OnQuitSignal, &quitTarget)};
    if (!shell.RunScript(shellOptions.ui, &error)) {
      std::fprintf(stderr, "uicontrol-browser: %s\n", error.c_str());
      status = 1;
    } else {
      shell.CallStart();
      interfaceLoop.Begin();
      if (!shell.QuitRequested()) g_main_loop_run(loop);
      shell.CallQuit();
      status = shell.ExitStatus();
      if (shell.ScriptErrors() > 0 && status == 0) {
        std::fprintf(stderr, "uicontrol-browser: the interface stopped on %d error%s\n", shell.ScriptErrors(),
                     shell.ScriptErrors() == 1 ? "" : "s");
        status = 1;
      }
    }
    for (guint source : signalSources) g_source_remove(source);
    browser::CWidget::SetSignalSink(nullptr);
    closing.Begin();
    tm.CloseAllTab();
    tm.Quit();
    RunQueuedGtkWork(20);
    tabsKept = true;
  }
  g_main_loop_unref(loop);
  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  logging::SetMessageHook(nullptr);
  CTabManager::SetAddFavoriteDlg(nullptr);
  CTabManager::SetEditFavoriteDlg(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  pages.reset();
  RunQueuedGtkWork(20);
  // The pages' views are gone; now the window and the other widgets go.
  browser::CWidget::ReleaseAll();
  if (tabsKept && !WriteSessionFile(lastTabsPath, closing.Tabs()))
    std::fprintf(stderr, "uicontrol-browser: cannot keep the open tabs in %s\n", lastTabsPath.c_str());
  CTabManager::SetDataAccessor(nullptr);
  store.reset();
  server.Stop();
  webpage::SetLogSink(nullptr);
  return status;
}

#include "browser/desktopface.h"

#include <glib-unix.h>

#include "browser/basicwidgets.h"
#include "browser/desktopapplication.h"
#include "browser/favoritedialog.h"
#include "browser/widgetbindings.h"
#include "host/remoteprotocol.h"
#include "logging/logging.h"
#include "platform/gtk/gtkthread.h"
#include "platform/gtk/gtkwindows.h"

// Runs the Lua interface from the main loop: notifications, timers, widget signals.
class CDesktopFace::CInterfaceLoop {
 public:
  CInterfaceLoop(CBrowserSession& session, GMainLoop* loop) : m_session(session), m_loop(loop) {}
  ~CInterfaceLoop() {
    if (m_timer) g_source_remove(m_timer);
    if (m_watch) g_source_remove(m_watch);
  }

  void Begin() {
    const int fd = m_session.NotificationFd();
    if (fd >= 0) m_watch = g_unix_fd_add(fd, G_IO_IN, &CInterfaceLoop::OnQueue, this);
    AfterScript();
  }

  // After every run of script code: the next timer, and the end when the script asked.
  void AfterScript() {
    CLuaShell& shell = m_session.Shell();
    if (shell.QuitRequested()) {
      g_main_loop_quit(m_loop);
      return;
    }
    if (m_timer) {
      g_source_remove(m_timer);
      m_timer = 0;
    }
    const int due = shell.RunDueTimers();
    if (shell.QuitRequested()) {
      g_main_loop_quit(m_loop);
      return;
    }
    if (due >= 0) m_timer = g_timeout_add(static_cast<guint>(due), &CInterfaceLoop::OnTimer, this);
  }

 private:
  static gboolean OnQueue(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<CInterfaceLoop*>(data);
    self->m_session.DispatchNotifications();
    self->AfterScript();
    return G_SOURCE_CONTINUE;
  }
  static gboolean OnTimer(gpointer data) {
    auto* self = static_cast<CInterfaceLoop*>(data);
    self->m_timer = 0;
    self->AfterScript();
    return G_SOURCE_REMOVE;
  }

  CBrowserSession& m_session;
  GMainLoop* m_loop;
  guint m_watch = 0;
  guint m_timer = 0;
};

namespace {

// SIGINT, SIGTERM and SIGHUP end the browser as Ctrl+Q does.
struct QuitTarget {
  CLuaShell* shell;
  GMainLoop* loop;
};
QuitTarget g_quitTarget{nullptr, nullptr};

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

CDesktopFace::CDesktopFace(std::string uiRoot, BrowserOptions options)
    : m_uiRoot(std::move(uiRoot)), m_options(std::move(options)), m_loop(g_main_loop_new(nullptr, FALSE)) {}

CDesktopFace::~CDesktopFace() {
  m_interfaceLoop.reset();
  g_main_loop_unref(m_loop);
}

SessionTexts CDesktopFace::Texts() {
  SessionTexts texts;
  texts.program = "uicontrol-browser";
  texts.profileOwner = "program";
  texts.portMovedNote = "";
  texts.portNotKeptNote = "";
  texts.engineNamed = true;
  texts.errorsNote = "";
  return texts;
}

HWND CDesktopFace::CreateMainWindow() {
  // The window table's calls now reach GTK: views go into the main window's page area.
  platform::gtk::InstallWindowBackend();
  HWND mainWnd = platform::CreateWindowHandle();
  m_window = browser::CWidget::Keep(std::make_unique<browser::CWindow>("uicontrol"));
  m_pageArea =
      browser::CWidget::Keep(std::make_unique<browser::CHostWidget>(platform::gtk::CreatePageArea(mainWnd)));
  return mainWnd;
}

IAddFavoriteDlg* CDesktopFace::CreateAddFavoriteDialog(CNotificationQueue&) {
  return CreateGtkAddFavoriteDialog(GTK_WINDOW(m_window->Gtk()));
}

bool CDesktopFace::Install(CBrowserSession& session, std::string* error) {
  CLuaShell& shell = session.Shell();
  if (!browser::InstallWidgetBindings(shell.Host(), m_window, m_pageArea)) {
    *error = "the widget classes could not be installed";
    return false;
  }
  m_interfaceLoop = std::make_unique<CInterfaceLoop>(session, m_loop);
  CInterfaceLoop* loop = m_interfaceLoop.get();
  const unsigned int mainId = m_window->Id();
  browser::CWidget::SetSignalSink([&shell, loop, mainId](unsigned int id, const std::string& signal,
                                                         const std::string& arg) {
    if (shell.QuitRequested()) return false;
    bool handled = shell.CallSignal(id, signal, arg);
    // A main window the script does not answer for closes as "quit" does.
    if (!handled && id == mainId && signal == "close") shell.RequestQuit(0);
    loop->AfterScript();
    return handled;
  });
  const std::string uiDir = m_uiRoot + "/desktop";
  shell.SetHostString("ui_dir", uiDir);
  shell.SetHostString("state_file", m_options.stateFile);
  shell.SetHostString("start_url", m_options.startURL);
  shell.AddModuleFolder(m_uiRoot);
  shell.AddModuleFolder(uiDir);
  shell.SetHostFlag("interactive", false);
  g_quitTarget = {&shell, m_loop};
  int n = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) m_signalSources[n++] = g_unix_signal_add(signal, &OnQuitSignal, &g_quitTarget);
  return true;
}

void CDesktopFace::Run(CBrowserSession& session) {
  m_interfaceLoop->Begin();
  if (m_app) {
    browser::CDesktopApplication::Sinks sinks;
    sinks.open = [this, &session](const std::vector<std::string>& urls) { OpenFromOutside(session, urls); };
    sinks.activate = [this] { m_window->Present(); };
    sinks.newWindow = [this, &session] { NewWindowFromOutside(session); };
    m_app->SetSinks(std::move(sinks));  // also hands over what came while starting
  }
  if (!session.Shell().QuitRequested()) g_main_loop_run(m_loop);
}

void CDesktopFace::Uninstall(CBrowserSession&) {
  if (m_app) m_app->Withdraw();
  for (guint& source : m_signalSources) {
    if (source) g_source_remove(source);
    source = 0;
  }
  browser::CWidget::SetSignalSink(nullptr);
  m_interfaceLoop.reset();
}

void CDesktopFace::DrainEngineWork() { RunQueuedGtkWork(20); }

void CDesktopFace::ReleaseViews() {
  // The pages' views are gone; now the window and the other widgets go.
  browser::CWidget::ReleaseAll();
  m_window = nullptr;
  m_pageArea = nullptr;
}

void CDesktopFace::OpenFromOutside(CBrowserSession& session, const std::vector<std::string>& urls) {
  CLuaShell& shell = session.Shell();
  for (const std::string& url : urls) {
    if (shell.QuitRequested()) return;
    // Checked and carried out as the socket's "open" is (OnRemoteCommand).
    const RemoteParse parsed = ParseRemoteLine(RemoteOpenRequest(url));
    const std::string answer = parsed.kind == RemoteParse::Forward ? shell.CallRemote(parsed.text) : parsed.text;
    if (!RemoteAnswerOk(answer)) LOG_AT(logging::LOG_WARNING) << "application: open " << url << ": " << answer;
  }
  if (m_interfaceLoop) m_interfaceLoop->AfterScript();
}

void CDesktopFace::NewWindowFromOutside(CBrowserSession& session) {
  // One window per profile (the library binds one main window): a "new window" shows it
  // with a new tab on the home page.
  m_window->Present();
  const ShellOptions& options = session.Options();
  const std::string home = !options.home.empty() ? options.home : !session.BaseURL().empty() ? session.BaseURL()
                                                                                             : "about:blank";
  OpenFromOutside(session, {home});
}

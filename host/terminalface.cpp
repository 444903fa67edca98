#include "host/terminalface.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// SIGINT, SIGTERM and SIGHUP end the shell as "quit" does: the handler only writes the
// signal's number to a pipe that the loop waits on.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  ssize_t written = write(g_signalPipe[1], &number, 1);
  (void)written;
  errno = saved;
}

bool CatchQuitSignals() {
  if (g_signalPipe[0] >= 0) return true;
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return true;
}

}  // namespace

CTerminalFace::CTerminalFace(std::string uiDir) : m_uiDir(std::move(uiDir)) {}

CTerminalFace::~CTerminalFace() = default;

bool CTerminalFace::Install(CBrowserSession& session, std::string* error) {
  if (!CatchQuitSignals()) {
    *error = "cannot watch for signals";
    return false;
  }
  CLuaShell& shell = session.Shell();
  m_editor = std::make_unique<CLineEditor>(
      STDIN_FILENO, session.Options().profile + "/command-history",
      [&shell](const std::string* line) { shell.CallInput(line); },
      [&shell](const std::string& word, const std::string& before) { return shell.CallComplete(word, before); });
  shell.SetEditor(m_editor.get());
  shell.SetHostString("ui_dir", m_uiDir);
  shell.AddModuleFolder(m_uiDir);
  shell.SetHostFlag("interactive", m_editor->Interactive());
  return true;
}

void CTerminalFace::Run(CBrowserSession& session) {
  CLuaShell& shell = session.Shell();
  CLineEditor& editor = *m_editor;
  // Wait for input, notifications, signals and timers together; nothing is polled.
  bool inputOpen = true;
  const int queueFd = session.NotificationFd();
  while (!shell.QuitRequested()) {
    if (session.DispatchNotifications([&editor] { editor.BeginOutput(); })) editor.EndOutput();
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
    if (fds[0].revents) session.ClearNotificationFd();
    if (inputOpen && fds[1].revents) inputOpen = editor.OnReadable();
  }
  // The script's last words (OnQuit) go below the prompt.
  editor.BeginOutput();
}

void CTerminalFace::Uninstall(CBrowserSession& session) {
  session.Shell().SetEditor(nullptr);
  m_editor.reset();  // the terminal as it was before the shell
}

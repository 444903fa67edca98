#include "host/defaultbrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "logging/logging.h"
#include "platform/registry.h"
#include "platform/text.h"

extern char** environ;

const char kBrowserDesktopFile[] = "uicontrol-browser.desktop";

namespace {

// The key and value the library's check reads (the association of Windows 6 and later,
// the version the platform layer reports unless told otherwise), and the name it wants.
const wchar_t kUserChoiceKey[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
const wchar_t kOwnProgId[] = L"QuorlaHTML";

// A question is answered at once; a change may take longer (xdg-settings waits some
// seconds after adding a type to a desktop file of the user's).
constexpr std::chrono::seconds kQueryLimit{10};
constexpr std::chrono::seconds kChangeLimit{60};

// Runs xdg-settings with `args` and gives its standard output (the last line feed cut).
// False with `error` when it could not run, took too long or ended with a failure.
bool RunXdgSettings(const std::vector<std::string>& args, std::chrono::seconds limit, std::string* out,
                    std::string* error) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    *error = std::string("no pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // It must not read the terminal the shell reads, nor write on the interface's screen.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv{const_cast<char*>("xdg-settings")};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "xdg-settings", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    *error = spawned == ENOENT ? "xdg-settings is not installed" : "xdg-settings could not start: " +
                                                                       std::string(std::strerror(spawned));
    return false;
  }
  out->clear();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool late = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd pfd{pipeFds[0], POLLIN, 0};
    const int ready = left > 0 ? poll(&pfd, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      late = ready == 0;
      break;
    }
    char buffer[1024];
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  if (late) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (late) {
    *error = "xdg-settings did not answer within " + std::to_string(limit.count()) + " seconds";
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "xdg-settings failed (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
  }
  while (!out->empty() && (out->back() == '\n' || out->back() == '\r')) out->pop_back();
  return true;
}

}  // namespace

bool QueryDefaultBrowser(std::string* desktopFile, std::string* error) {
  return RunXdgSettings({"get", "default-web-browser"}, kQueryLimit, desktopFile, error);
}

bool MakeDefaultBrowser(const std::string& desktopFile, std::string* error) {
  std::string out;
  return RunXdgSettings({"set", "default-web-browser", desktopFile}, kChangeLimit, &out, error);
}

void InstallDefaultBrowserKey(const std::string& desktopFile) {
  platform::RegistrySetKeySource(HKEY_CURRENT_USER, kUserChoiceKey,
                                 [desktopFile](std::map<std::wstring, std::wstring>* values) {
                                   std::string chosen, error;
                                   if (!QueryDefaultBrowser(&chosen, &error)) {
                                     LOG_AT(logging::LOG_WARNING) << "default browser: unknown (" << error << ")";
                                     return false;
                                   }
                                   (*values)[L"ProgId"] =
                                       chosen == desktopFile ? kOwnProgId : platform::Utf8ToWide(chosen);
                                   return true;
                                 });
}

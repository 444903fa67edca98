// uicontrol-browser: the browser in a GTK window. It reads its command line and runs one
// browser session (host/browsersession.h) on the page engine of the build with the
// desktop face. One browser runs per profile: started while one runs there, it hands its
// addresses over (through the session bus when one runs, else the profile's socket) and
// ends.
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "browser/desktopapplication.h"
#include "browser/desktopface.h"
#include "browser/pageengine.h"
#include "host/defaultbrowser.h"
#include "host/profilefolder.h"
#include "host/remoteclient.h"

namespace {

// Whether another program holds the profile (the lock decides who runs on it).
bool ProfileHeld(const std::string& profile) {
  struct stat folder;
  if (stat(profile.c_str(), &folder) != 0) return false;
  CProfileLock probe;
  return !probe.Take(profile);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string uiRoot = UIFolderBesideProgram(argv[0], UICONTROL_UI_FROM_PROGRAM);
  BrowserOptions options;
  std::string error;
  const bool parsed = ParseBrowserOptions(argc, argv, uiRoot + "/desktop/main.lua", &options, &error);
  const std::string version = "uicontrol-browser " + ShellVersion().substr(std::strlen("uicontrol-shell "));
  const int answered = AnswerCommandLine("uicontrol-browser", parsed, error, options.shell, BrowserUsage(), version);
  if (answered >= 0) return answered;
  std::vector<std::string> urls = options.shell.urls;
  if (!options.startURL.empty()) urls.insert(urls.begin(), options.startURL);
  const std::string& profile = options.shell.profile;

  // With a browser running on the profile, the addresses open there and this one ends:
  // through the session bus when the running one owns the profile's name there, else
  // through the profile's socket. The connection is held for the whole run: the
  // application's name lives on it.
  std::unique_ptr<GDBusConnection, void (*)(gpointer)> sessionBus(browser::ConnectSessionBus(), g_object_unref);
  const bool bus = sessionBus != nullptr;
  if (bus && ProfileHeld(profile)) {
    const int handedOver = browser::HandOverThroughBus(browser::ApplicationIdForProfile(profile), urls, &error);
    if (handedOver >= 0) return handedOver;
  }
  const int handedOver = OpenInRunningBrowser("uicontrol-browser", profile, urls);
  if (handedOver >= 0) return handedOver;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "uicontrol-browser: cannot open the display (use uicontrol-shell in a terminal)\n");
    return 1;
  }

  // This one runs: it takes the profile's name on the bus (the folder made first, so
  // that its id is the one the others compute).
  std::unique_ptr<browser::CDesktopApplication> app;
  if (bus && MakeFolder(profile)) {
    app = std::make_unique<browser::CDesktopApplication>(browser::ApplicationIdForProfile(profile));
    bool remote = false;
    if (!app->Register(&remote, &error)) {
      std::fprintf(stderr, "uicontrol-browser: not on the session bus (%s); other programs reach it through its socket\n",
                   error.c_str());
      app.reset();
    } else if (remote) {
      // Another browser started on the profile at the same moment and took the name.
      return browser::HandOverThroughBus(app->Id(), urls, &error) == 0 ? 0 : 1;
    }
  }
  // The library's default-browser check answers from xdg-settings.
  InstallDefaultBrowserKey();
  CDesktopFace face(uiRoot, options);
  face.SetApplication(app.get());
  CBrowserSession session(options.shell, CDesktopFace::Texts(), DesktopPageEngine(), face);
  return session.Run();
}

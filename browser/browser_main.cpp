// uicontrol-browser: the browser in a GTK window. It reads its command line and runs one
// browser session (host/browsersession.h) on the page engine of the build with the
// desktop face.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "browser/desktopface.h"
#include "browser/pageengine.h"
#include "host/remoteclient.h"

int main(int argc, char** argv) {
  const std::string uiRoot = UIFolderBesideProgram(argv[0], UICONTROL_UI_FROM_PROGRAM);
  BrowserOptions options;
  std::string error;
  const bool parsed = ParseBrowserOptions(argc, argv, uiRoot + "/desktop/main.lua", &options, &error);
  const std::string version = "uicontrol-browser " + ShellVersion().substr(std::strlen("uicontrol-shell "));
  const int answered = AnswerCommandLine("uicontrol-browser", parsed, error, options.shell, BrowserUsage(), version);
  if (answered >= 0) return answered;
  // With a browser running on the profile, the addresses open there and this one ends.
  std::vector<std::string> urls = options.shell.urls;
  if (!options.startURL.empty()) urls.insert(urls.begin(), options.startURL);
  const int handedOver = OpenInRunningBrowser("uicontrol-browser", options.shell.profile, urls);
  if (handedOver >= 0) return handedOver;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "uicontrol-browser: cannot open the display (use uicontrol-shell in a terminal)\n");
    return 1;
  }
  CDesktopFace face(uiRoot, options);
  CBrowserSession session(options.shell, CDesktopFace::Texts(), DesktopPageEngine(), face);
  return session.Run();
}

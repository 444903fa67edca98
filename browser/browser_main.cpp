// uicontrol-browser: the browser in a GTK window. It reads its command line and runs one
// browser session (host/browsersession.h) on the page engine of the build with the
// desktop face.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "browser/desktopface.h"
#include "browser/pageengine.h"

int main(int argc, char** argv) {
  const std::string uiRoot = UIFolderBesideProgram(argv[0], UICONTROL_UI_FROM_PROGRAM);
  BrowserOptions options;
  std::string error;
  if (!ParseBrowserOptions(argc, argv, uiRoot + "/desktop/main.lua", &options, &error)) {
    std::fprintf(stderr, "uicontrol-browser: %s\n%s", error.c_str(), BrowserUsage().c_str());
    return 2;
  }
  if (options.shell.help) {
    std::printf("%s", BrowserUsage().c_str());
    return 0;
  }
  if (options.shell.version) {
    std::printf("uicontrol-browser %s", ShellVersion().substr(std::strlen("uicontrol-shell ")).c_str());
    return 0;
  }
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "uicontrol-browser: cannot open the display (use uicontrol-shell in a terminal)\n");
    return 1;
  }
  CDesktopFace face(uiRoot, options);
  CBrowserSession session(options.shell, CDesktopFace::Texts(), DesktopPageEngine(), face);
  return session.Run();
}

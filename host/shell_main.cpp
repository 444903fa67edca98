// uicontrol-shell: the browser in a terminal. It reads its command line and runs one
// browser session (host/browsersession.h) on Chromium with the terminal face.
#include <cstdio>

#include "host/browsersession.h"
#include "host/terminalface.h"

int main(int argc, char** argv) {
  const std::string uiDir = UIFolderBesideProgram(argv[0], UICONTROL_UI_FROM_PROGRAM);
  ShellOptions options;
  std::string error;
  if (!ParseShellOptions(argc, argv, uiDir + "/main.lua", &options, &error)) {
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
  CTerminalFace face(uiDir);
  CBrowserSession session(options, SessionTexts{}, ChromiumPageEngine(), face);
  return session.Run();
}

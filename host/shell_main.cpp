// uicontrol-shell: the browser in a terminal. It reads its command line and runs one
// browser session (host/browsersession.h) on Chromium with the terminal face.
#include "host/browsersession.h"
#include "host/defaultbrowser.h"
#include "host/remoteclient.h"
#include "host/terminalface.h"

int main(int argc, char** argv) {
  const std::string uiDir = UIFolderBesideProgram(argv[0], UICONTROL_UI_FROM_PROGRAM);
  ShellOptions options;
  std::string error;
  const bool parsed = ParseShellOptions(argc, argv, uiDir + "/main.lua", &options, &error);
  const int answered = AnswerCommandLine("uicontrol-shell", parsed, error, options, ShellUsage(), ShellVersion());
  if (answered >= 0) return answered;
  // With a browser running on the profile, the addresses open there and this one ends.
  const int handedOver = OpenInRunningBrowser("uicontrol-shell", options.profile, options.urls);
  if (handedOver >= 0) return handedOver;
  CTerminalFace face(uiDir);
  // The library's default-browser check answers from xdg-settings.
  InstallDefaultBrowserKey();
  CBrowserSession session(options, SessionTexts{}, ChromiumPageEngine(), face);
  return session.Run();
}

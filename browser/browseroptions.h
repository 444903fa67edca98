#pragma once
// The command line of uicontrol-browser: the shell's options, plus --state FILE (the
// chrome writes its state there as lines on every change) and a start address.
#include <string>

#include "host/shelloptions.h"

struct BrowserOptions {
  ShellOptions shell;     // --profile, --ui, --serve, --home, --chromium, --restore ...
  std::string stateFile;  // empty: none
  std::string startURL;   // the first address (empty: the home page or the restored tabs); the others are shell.urls
};

bool ParseBrowserOptions(int argc, char** argv, const std::string& defaultUI, BrowserOptions* options,
                         std::string* error);
std::string BrowserUsage();

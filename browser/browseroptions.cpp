#include "browser/browseroptions.h"

#include <vector>

std::string BrowserUsage() {
  std::string usage = ShellUsage();
  // The shell's text with the browser's name and its own options.
  const std::string name = "uicontrol-shell";
  for (size_t at = usage.find(name); at != std::string::npos; at = usage.find(name, at + 1))
    usage.replace(at, name.size(), "uicontrol-browser");
  const size_t firstLine = usage.find('\n');
  usage.replace(0, firstLine, "usage: uicontrol-browser [options] [ADDRESS...] [-- script arguments]");
  return usage + "  --state FILE     write the interface's state there as lines on every change\n";
}

bool ParseBrowserOptions(int argc, char** argv, const std::string& defaultUI, BrowserOptions* options,
                         std::string* error) {
  // The browser's own arguments are taken out; the rest is the shell's command line.
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      rest.insert(rest.end(), argv + i, argv + argc);
      break;
    }
    if (arg == "--state") {
      if (i + 1 >= argc) {
        *error = "option --state needs a value";
        return false;
      }
      options->stateFile = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && options->startURL.empty()) {
      // The first address is the start page; the shell's options keep the others.
      options->startURL = arg;
    } else {
      rest.push_back(argv[i]);
      // An option's value stays with it (it may look like an address).
      const bool takesValue = arg == "--profile" || arg == "--ui" || arg == "--serve" || arg == "--home" ||
                              arg == "--chromium";
      if (takesValue && i + 1 < argc) rest.push_back(argv[++i]);
    }
  }
  return ParseShellOptions(static_cast<int>(rest.size()), rest.data(), defaultUI, &options->shell, error);
}

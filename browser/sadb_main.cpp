// sadb.exe: what the library starts, from the browser's folder, to make the browser the
// system's default one ("set") or to give that up ("unset"). Here the choice is
// xdg-settings'; it has no way to unset, so "unset" leaves the choice to the user.
// Exit status 0 when done, 1 when not, 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/defaultbrowser.h"

int main(int argc, char** argv) {
  if (argc != 2 || (std::strcmp(argv[1], "set") != 0 && std::strcmp(argv[1], "unset") != 0)) {
    std::fprintf(stderr, "usage: sadb.exe set|unset\n");
    return 2;
  }
  if (std::strcmp(argv[1], "unset") == 0) {
    std::fprintf(stderr, "sadb.exe: xdg-settings cannot unset the default browser; choose another one\n");
    return 1;
  }
  std::string error;
  if (!MakeDefaultBrowser(kBrowserDesktopFile, &error)) {
    std::fprintf(stderr, "sadb.exe: %s could not be made the default browser: %s\n", kBrowserDesktopFile,
                 error.c_str());
    return 1;
  }
  return 0;
}

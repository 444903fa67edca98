#pragma once
// The command line of uicontrol-shell.
#include <cstddef>
#include <string>
#include <vector>

struct ShellOptions {
  std::string profile;   // data folder: database, Chromium profile, downloads, ul.ini
  std::string ui;        // the user-interface script
  std::string serve;     // a folder of pages served on loopback (empty: none)
  std::string chromium = "/usr/bin/chromium";
  std::string home;      // home page (default: the served index, else about:blank)
  bool visible = false;  // a visible Chromium window when a display exists
  bool restore = false;  // reopen the tabs of the last run without asking
  size_t luaMemoryMiB = 1024;  // the interface's Lua state holds at most this much
  bool help = false;
  bool version = false;
  std::vector<std::string> urls;        // addresses to open (in a running browser when there is one)
  std::vector<std::string> scriptArgs;  // after "--", handed to the script
};

// $XDG_DATA_HOME/uicontrol, else ~/.local/share/uicontrol.
std::string DefaultProfileFolder();

// Defaults: profile $XDG_DATA_HOME/uicontrol (else ~/.local/share/uicontrol), the default
// terminal interface. Returns false with `error` set for an unknown or incomplete option.
bool ParseShellOptions(int argc, char** argv, const std::string& defaultUI, ShellOptions* options,
                       std::string* error);
std::string ShellUsage();
// "uicontrol-shell VERSION" and the Lua it runs on, for --version.
std::string ShellVersion();
// The script at `relative` (a path relative to the program's folder) and `name` in it.
std::string ScriptBesideProgram(const std::string& programPath, const std::string& relative,
                                const std::string& name);
// The interface's folder (ui/) beside the running program: `relative` is that folder
// relative to the program's own (each program's UICONTROL_UI_FROM_PROGRAM), the same in
// the build tree and installed.
std::string UIFolderBesideProgram(const char* argv0, const char* relative);
// What both programs do with their command line before they run: a mistake prints
// "<program>: <error>" and the usage (status 2), --help the usage and --version the
// version (status 0). Returns that status, or -1 when the program goes on.
int AnswerCommandLine(const char* program, bool parsed, const std::string& error, const ShellOptions& options,
                      const std::string& usage, const std::string& version);

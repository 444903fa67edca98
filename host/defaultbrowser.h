#pragma once
// The system's default browser as the library's check sees it. The library reads the
// registry's association key (platform/registry.h); on this system the choice is
// xdg-settings' ("default-web-browser", the name of a desktop file). The host puts the
// one behind the other: the key's answer is asked of xdg-settings each time the library
// opens it, and sadb.exe (what the library starts to make the browser the default) runs
// `xdg-settings set`.
#include <string>

// The desktop file of uicontrol-browser, as installed into the applications folder.
extern const char kBrowserDesktopFile[];

// What `xdg-settings get default-web-browser` answers (empty: none chosen). False with
// `error` when it cannot tell: xdg-settings is not installed, failed, or took more than
// 10 seconds.
bool QueryDefaultBrowser(std::string* desktopFile, std::string* error);

// Runs `xdg-settings set default-web-browser <desktopFile>`. False with `error` when
// xdg-settings is missing, refused (a desktop file it cannot find, for one) or took more
// than a minute.
bool MakeDefaultBrowser(const std::string& desktopFile, std::string* error);

// Backs the key of the library's default-browser check with QueryDefaultBrowser: its
// ProgId is the library's own when xdg-settings names `desktopFile`, else the desktop
// file it names. When xdg-settings cannot tell, a log line says the default browser is
// unknown and the key does not open, which the library reads as not the default.
void InstallDefaultBrowserKey(const std::string& desktopFile = kBrowserDesktopFile);

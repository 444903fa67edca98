#pragma once
// The page component on WebKitGTK: every page is a WebKitWebView, a real view shown in
// the host's window through the GTK window backend (platform/gtk/gtkwindows.h). It is
// interchangeable with the Chromium component: the same orders, the same event texts.
//
// WebKit lives on the GTK thread (the thread that runs the default GLib main context; in
// a desktop host, its main thread). The host initialises GTK, installs the GTK window
// backend and runs the main loop there; the manager may be created and used from any
// thread: orders are carried out on the GTK thread in the order they were sent, events are
// delivered there, and no call ever waits for the GTK thread.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "uicontrol/interfaces/webpage.h"

#define WEBKITPAGE_API __attribute__((visibility("default")))

struct WebKitPageOptions {
  // WebKit's website data and cache (cookies, local storage). Empty: an ephemeral
  // session that keeps nothing on disk.
  std::string dataFolder;
  // Where SAVEHTML, SAVEIMGE, PRINT, PRINTPREVIEW and page downloads go.
  // Empty: $HOME/Downloads. Created when missing.
  std::string downloadsFolder;
  // The page that GOHOME opens. Empty: GOHOME reports "NAVIGATEERROR".
  std::wstring homePage = L"about:blank";
  // A navigation that has not finished after this long is stopped and reported.
  std::chrono::milliseconds navigationTimeout{60000};
  // A save that has not finished after this long fails.
  std::chrono::milliseconds saveTimeout{60000};
  // A page whose web process ended crashLimit times within crashWindow is brought back
  // only by REFRESH or NAVIGATE, not by any order.
  int crashLimit = 3;
  std::chrono::milliseconds crashWindow{60000};
  // Windows a page opens without a user gesture are refused with "POPBLOCK".
  bool blockPopups = true;
  // The origins of the host's own pages ("http://127.0.0.1:8080"). Only the top-level
  // documents of these origins get the script API (window.uicontrol: the favourite
  // dialogs) and may close their own tab. Empty: no page is trusted.
  std::vector<std::string> trustedOrigins;
  // Called (GTK thread, no lock of the component held) when a page is closed with
  // "ClOSETAB", so that the host can keep it for recovery; the uuid is new.
  std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)>
      onTabClosedForRecovery;
  // Finds the address of a kept tab for "RECOVERWND" (GTK thread, no lock held).
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupRecoveredTab;
};

// Creates a manager holding one reference in *out.
WEBKITPAGE_API HRESULT CreateWebKitPageManager(const WebKitPageOptions& options, IWebPageManager** out);

// The zoom of every page of `manager`, open and future, in percent (25 to 500; 100 is
// none). Any thread; applied on the GTK thread. E_INVALIDARG (and a log entry) for a value
// out of range or another manager.
WEBKITPAGE_API HRESULT SetWebKitPageZoom(IWebPageManager* manager, unsigned int percent);

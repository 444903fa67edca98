#pragma once
// The page component: every page is a page of a headless Chromium, driven through the
// Chrome DevTools Protocol over --remote-debugging-pipe. The host creates one manager
// with CreateWebPageManager and hands it to the library as its IWebPageManager.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "uicontrol/interfaces/webpage.h"

#define WEBPAGE_API __attribute__((visibility("default")))

struct WebPageOptions {
  // The Chromium program (the Debian launcher by default).
  std::string chromiumPath = "/usr/bin/chromium";
  // false asks for a visible window; it is honoured only when a display exists.
  bool headless = true;
  // Chromium's profile folder. Empty: a fresh temporary folder per Chromium process,
  // removed when that process has ended.
  std::string profileFolder;
  // Where SAVEHTML, SAVEIMGE, PRINT, PRINTPREVIEW and page downloads go.
  // Empty: $HOME/Downloads. Created when missing.
  std::string downloadsFolder;
  // The page that GOHOME opens. Empty: GOHOME reports "NAVIGATEERROR".
  std::wstring homePage = L"about:blank";
  // A navigation that has not finished after this long is stopped and reported.
  std::chrono::milliseconds navigationTimeout{60000};
  // A save (HTML, image, PDF) that Chromium has not answered after this long fails.
  std::chrono::milliseconds saveTimeout{60000};
  // A page that crashed crashLimit times within crashWindow is brought back only by
  // REFRESH or NAVIGATE, not by any order.
  int crashLimit = 3;
  std::chrono::milliseconds crashWindow{60000};
  // How long Chromium may take to answer its first command.
  std::chrono::milliseconds startTimeout{60000};
  // Chromium's popup blocker (a blocked window.open reports "POPBLOCK").
  bool blockPopups = true;
  // The origins of the host's own pages ("http://127.0.0.1:8080"; an address is reduced to
  // its origin). Only the top-level documents of these origins get the script API
  // (window.uicontrol: the favourite dialogs) and may close their own tab. Empty: no
  // page is trusted. Only http and https origins; others are ignored with a log entry.
  std::vector<std::string> trustedOrigins;
  // More command line switches for Chromium, appended as given.
  std::vector<std::string> extraArguments;
  // Called (on the engine thread, without any lock of the component held) when a page
  // is closed with "ClOSETAB", so that the host can keep it for recovery; the uuid is new.
  std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)>
      onTabClosedForRecovery;
  // Finds the address of a kept tab for "RECOVERWND" (engine thread, no lock held).
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupRecoveredTab;
};

// Creates a manager holding one reference in *out. Chromium is started by the first
// NewPage (or StartWebPageBrowser) and ended when the last reference to the manager is released.
WEBPAGE_API HRESULT CreateWebPageManager(const WebPageOptions& options, IWebPageManager** out);

// Starts Chromium now, without waiting for it, so that a host's own start overlaps
// Chromium's and the first page does not wait for it. A failed start is logged, and the
// first NewPage tries again. E_INVALIDARG (and a log entry) for another manager.
WEBPAGE_API HRESULT StartWebPageBrowser(IWebPageManager* manager);

// The zoom of every page of `manager`, open and future, in percent (25 to 500; 100 is
// none), as a browser's zoom: the page is laid out for a view that much smaller or larger
// and drawn to fit it. It stays across navigations. Any thread; applied on the engine
// thread. E_INVALIDARG (and a log entry) for a value out of range or another manager.
WEBPAGE_API HRESULT SetWebPageZoom(IWebPageManager* manager, unsigned int percent);

#pragma once
// The page component: every page is a page of a headless Chromium, driven through the
// Chrome DevTools Protocol over --remote-debugging-pipe. The host creates one manager
// with CreateWebPageManager and hands it to the library as its IWebPageManager.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "components/pagecore/pageoptions.h"
#include "uicontrol/interfaces/webpage.h"

#define WEBPAGE_API __attribute__((visibility("default")))

// The fields every engine shares (downloads, home page, time-outs, crash limit, popups,
// trusted origins, the recovery hooks) are PageOptions'; these are Chromium's own.
struct WebPageOptions : PageOptions {
  // The Chromium program (the Debian launcher by default).
  std::string chromiumPath = "/usr/bin/chromium";
  // false asks for a visible window; it is honoured only when a display exists.
  bool headless = true;
  // Chromium's profile folder. Empty: a fresh temporary folder per Chromium process,
  // removed when that process has ended.
  std::string profileFolder;
  // How long Chromium may take to answer its first command.
  std::chrono::milliseconds startTimeout{60000};
  // More command line switches for Chromium, appended as given.
  std::vector<std::string> extraArguments;
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

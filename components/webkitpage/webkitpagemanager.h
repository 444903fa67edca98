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

#include "components/pagecore/pageoptions.h"
#include "uicontrol/interfaces/webpage.h"

#define WEBKITPAGE_API __attribute__((visibility("default")))

// The fields every engine shares (downloads, home page, time-outs, crash limit, popups,
// trusted origins, the recovery hooks) are PageOptions'; this is WebKit's own.
struct WebKitPageOptions : PageOptions {
  // WebKit's website data and cache (cookies, local storage). Empty: an ephemeral
  // session that keeps nothing on disk.
  std::string dataFolder;
};

// Creates a manager holding one reference in *out.
WEBKITPAGE_API HRESULT CreateWebKitPageManager(const WebKitPageOptions& options, IWebPageManager** out);

// The zoom of every page of `manager`, open and future, in percent (25 to 500; 100 is
// none). Any thread; applied on the GTK thread. E_INVALIDARG (and a log entry) for a value
// out of range or another manager.
WEBKITPAGE_API HRESULT SetWebKitPageZoom(IWebPageManager* manager, unsigned int percent);

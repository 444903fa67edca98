#include <unistd.h>

#include "components/webpage/webpagemanager.h"
#include "host/pageengine.h"
#include "host/pagezoom.h"

PageEngine ChromiumPageEngine() {
  PageEngine engine;
  engine.name = "chromium";
  engine.unavailable = [](const PageEngineSettings& settings) -> std::string {
    if (access(settings.chromiumPath.c_str(), X_OK) == 0) return "";
    return "Chromium was not found at " + settings.chromiumPath + " (name the program with --chromium PATH)";
  };
  engine.create = [](const PageEngineSettings& settings, IWebPageManager** out) {
    WebPageOptions options;
    options.chromiumPath = settings.chromiumPath;
    options.headless = !settings.visible;
    options.profileFolder = settings.dataFolder;
    ApplySharedSettings(settings, &options);
    HRESULT hr = CreateWebPageManager(options, out);
    // Chromium starts while the shell goes on with its own start (the interface, the
    // session), so that the first page does not wait for it.
    if (SUCCEEDED(hr)) StartWebPageBrowser(*out);
    return hr;
  };
  engine.applyZoom = &ApplyZoomText;
  return engine;
}

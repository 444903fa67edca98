// The WebKitGTK engine: every page is a view in the main window's page area.
#include "browser/pageengine.h"
#include "components/webkitpage/webkitpagemanager.h"
#include "host/pagezoom.h"

PageEngine DesktopPageEngine() {
  PageEngine engine;
  engine.name = "webkit";
  engine.create = [](const PageEngineSettings& settings, IWebPageManager** out) {
    WebKitPageOptions options;
    options.dataFolder = settings.dataFolder;
    ApplySharedSettings(settings, &options);
    return CreateWebKitPageManager(options, out);
  };
  engine.applyZoom = [](IWebPageManager* pages, const std::wstring& text) {
    if (pages) SetWebKitPageZoom(pages, ZoomPercentFromText(text));
  };
  // The page's sound state, which the desktop chrome shows on its tab.
  engine.eventKeys = {L"AUDIOSTATECHANGE"};
  return engine;
}

// The WebKitGTK engine: every page is a view in the main window's page area.
#include "browser/pageengine.h"
#include "components/webkitpage/webkitpagemanager.h"
#include "host/pagezoom.h"

HRESULT CreatePageEngine(const PageEngineConfig& config, IWebPageManager** out) {
  WebKitPageOptions options;
  options.dataFolder = config.profileFolder;
  options.downloadsFolder = config.downloadsFolder;
  options.homePage = config.homePage;
  options.trustedOrigins = config.trustedOrigins;
  options.onTabClosedForRecovery = config.onTabClosed;
  options.lookupRecoveredTab = config.lookupClosedTab;
  return CreateWebKitPageManager(options, out);
}

const char* PageEngineName() { return "webkit"; }

void ApplyPageZoomText(IWebPageManager* pages, const std::wstring& text) {
  if (pages) SetWebKitPageZoom(pages, ZoomPercentFromText(text));
}

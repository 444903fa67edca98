// The Chromium engine, headless: the tabs work, their views are not shown in the window.
#include "browser/pageengine.h"
#include "components/webpage/webpagemanager.h"
#include "host/pagezoom.h"

HRESULT CreatePageEngine(const PageEngineConfig& config, IWebPageManager** out) {
  WebPageOptions options;
  options.chromiumPath = config.chromiumPath;
  options.headless = true;
  options.profileFolder = config.profileFolder;
  options.downloadsFolder = config.downloadsFolder;
  options.homePage = config.homePage;
  options.trustedOrigins = config.trustedOrigins;
  options.onTabClosedForRecovery = config.onTabClosed;
  options.lookupRecoveredTab = config.lookupClosedTab;
  return CreateWebPageManager(options, out);
}

const char* PageEngineName() { return "chromium"; }

void ApplyPageZoomText(IWebPageManager* pages, const std::wstring& text) { ApplyZoomText(pages, text); }

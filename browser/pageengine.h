#pragma once
// The page engine of the desktop browser, made in one place so that the engine is chosen
// by one line (pageengine.cpp).
#include <functional>
#include <string>
#include <vector>

#include "uicontrol/interfaces/webpage.h"

struct PageEngineConfig {
  std::string chromiumPath;
  std::string profileFolder;    // the engine's own data
  std::string downloadsFolder;
  std::wstring homePage;
  std::vector<std::string> trustedOrigins;
  std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)> onTabClosed;
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupClosedTab;
};

// Creates the page manager holding one reference in *out.
HRESULT CreatePageEngine(const PageEngineConfig& config, IWebPageManager** out);
// The engine's name for messages and the chrome ("chromium", "webkit").
const char* PageEngineName();
// Gives every page the zoom of a decimal text as the store holds it ("page.size").
void ApplyPageZoomText(IWebPageManager* pages, const std::wstring& text);

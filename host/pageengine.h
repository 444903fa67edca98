#pragma once
// A page engine as a program chooses it (headless Chromium, WebKitGTK): the session starts
// it with the profile's settings through these functions, so that host/ never links an
// engine that a program leaves out.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/pagecore/historyreplay.h"
#include "uicontrol/interfaces/webpage.h"

namespace pagecore {
class CContentBlocker;
class CUserContentFolders;
}

struct PageEngineSettings {
  std::string chromiumPath;
  bool visible = false;            // Chromium: a window of its own when a display exists
  std::string dataFolder;          // the engine's own data: <profile>/<engine name>
  std::string downloadsFolder;
  std::wstring homePage;
  // Origins whose pages may use the page script API and close their own tab.
  std::vector<std::string> trustedOrigins;
  // A tab closed: the host keeps it for recovery. Called on the engine's threads.
  std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)>
      onTabClosedForRecovery;
  // The address of a tab kept for recovery, which is open again.
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupRecoveredTab;
  // The same with its back and forward entries, which the page loads again.
  std::function<bool(const std::wstring& uuid, std::vector<pagecore::HistoryEntry>* entries, int* index)>
      lookupRecoveredHistory;
  // Content blocking for every page (its filter set arrives once built).
  std::shared_ptr<pagecore::CContentBlocker> contentBlocker;
  // User scripts and styles from the profile's folders, for every page.
  std::shared_ptr<pagecore::CUserContentFolders> userContent;
};

struct PageEngine {
  std::string name;  // "chromium", "webkit": messages, the chrome, the data folder's name
  // Why the engine cannot run on this machine ("" when it can), asked before the profile
  // is touched. May be empty.
  std::function<std::string(const PageEngineSettings&)> unavailable;
  // Creates the page manager holding one reference in *out.
  std::function<HRESULT(const PageEngineSettings&, IWebPageManager** out)> create;
  // Gives every page the zoom of a decimal text as the store holds it ("page.size").
  std::function<void(IWebPageManager*, const std::wstring&)> applyZoom;
  // Events of the engine's own that the interface hears beside the library's.
  std::vector<std::wstring> eventKeys;
};

// Hands an engine's options the settings every engine takes under the same names.
template <class EngineOptions>
void ApplySharedSettings(const PageEngineSettings& settings, EngineOptions* options) {
  options->downloadsFolder = settings.downloadsFolder;
  options->homePage = settings.homePage;
  options->trustedOrigins = settings.trustedOrigins;
  options->onTabClosedForRecovery = settings.onTabClosedForRecovery;
  options->lookupRecoveredTab = settings.lookupRecoveredTab;
  options->lookupRecoveredHistory = settings.lookupRecoveredHistory;
  options->contentBlocker = settings.contentBlocker;
  options->userContent = settings.userContent;
}

// Headless Chromium (visible on request): the tabs work, their views are not in a window
// of the host's.
PageEngine ChromiumPageEngine();

#pragma once
// What a host sets for the page component whatever engine shows its pages. Each engine's
// options (WebPageOptions, WebKitPageOptions) derive from this and add only their own.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/pagecore/historyentry.h"
namespace pagecore {
class CContentBlocker;
class CUserContentFolders;
}

struct PageOptions {
  // Where SAVEHTML, SAVEIMGE, PRINT, PRINTPREVIEW and page downloads go.
  // Empty: $HOME/Downloads. Created when missing.
  std::string downloadsFolder;
  // The page that GOHOME opens. Empty: GOHOME reports "NAVIGATEERROR".
  std::wstring homePage = L"about:blank";
  // A navigation that has not finished after this long is stopped and reported.
  std::chrono::milliseconds navigationTimeout{60000};
  // A save (HTML, image, PDF) that the engine has not answered after this long fails.
  std::chrono::milliseconds saveTimeout{60000};
  // A page whose renderer (web process) ended crashLimit times within crashWindow is
  // brought back only by REFRESH or NAVIGATE, not by any order.
  int crashLimit = 3;
  std::chrono::milliseconds crashWindow{60000};
  // The engine's popup blocker: a window a page opens without a user gesture is refused
  // with "POPBLOCK".
  bool blockPopups = true;
  // The origins of the host's own pages ("http://127.0.0.1:8080"; an address is reduced to
  // its origin). Only the top-level documents of these origins get the script API
  // (window.uicontrol: the favourite dialogs) and may close their own tab. Empty: no
  // page is trusted. Only http and https origins; others are ignored with a log entry.
  std::vector<std::string> trustedOrigins;
  // Called (on the engine's page thread, without any lock of the component held) when a
  // page is closed with "ClOSETAB", so that the host can keep it for recovery; the uuid
  // is new.
  std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)>
      onTabClosedForRecovery;
  // Finds the address of a kept tab for "RECOVERWND" (engine's page thread, no lock held).
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupRecoveredTab;
  // The same with the tab's back and forward entries (oldest first) and the shown one: the
  // page loads them one by one, then goes back to the shown one (pagecore/historyreplay.h does it).
  // Preferred over lookupRecoveredTab when set.
  std::function<bool(const std::wstring& uuid, std::vector<pagecore::HistoryEntry>* entries, int* index)>
      lookupRecoveredHistory;
  // Content blocking (components/pagecore/contentblocking.h), shared by the host and every
  // page: requests its filter set blocks never leave, its element hiding applies to each
  // document, and each page counts what it blocked ("BLOCKEDCOUNT"). Null: no blocking.
  std::shared_ptr<pagecore::CContentBlocker> contentBlocker;
  // User scripts and styles (components/pagecore/userscripts.h) for the top-level
  // documents of every page but the trusted origins' ones, read again from their folders
  // when a file changed. Null: none.
  std::shared_ptr<pagecore::CUserContentFolders> userContent;
};

#pragma once
// The browser's content blocking, as both programs set it up: one filter set built at
// start, off the UI thread, from EasyList and EasyPrivacy where Debian installs them
// (webext-ublock-origin-firefox) and every "*.txt" of <profile>/filters, with the
// browser's own served origin trusted; the sites the user turned blocking off for,
// kept in the store's "blocking.off.sites".
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/contentfilter/contentfilter.h"
#include "components/pagecore/contentblocking.h"

// The load's figures as one log text: lists read and not readable, rules of each kind,
// lines skipped per reason, the first few skipped lines.
std::string DescribeFilterLoad(const contentfilter::LoadStats& stats, long long milliseconds);

// The store's text of the sites blocking is off for (one host a line) and back.
std::vector<std::string> ReadSiteList(const std::wstring& text);
std::wstring WriteSiteList(const std::vector<std::string>& hosts);

class CFilterListLoad {
 public:
  using Log = std::function<void(const std::string& text)>;
  // Starts building on a thread of its own; `blocker` gets the set when it is ready, and
  // `log` (called on that thread) the load's figures, once. `lists`: the list files to read
  // before the folder's (InstalledEasyLists() in the programs).
  CFilterListLoad(std::shared_ptr<pagecore::CContentBlocker> blocker, std::vector<std::string> lists,
                  std::string folder, std::vector<std::string> trustedOrigins, Log log);
  // Waits for the build to end (a fraction of a second) when it has not.
  ~CFilterListLoad();
  CFilterListLoad(const CFilterListLoad&) = delete;
  CFilterListLoad& operator=(const CFilterListLoad&) = delete;

 private:
  std::thread m_thread;
};

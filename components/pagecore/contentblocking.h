#pragma once
// Content blocking as both page engines apply it: the filter set (built by the host off
// the UI thread and handed over once ready), the sites the user turned blocking off for,
// and the decisions an engine asks for each request and each document. Engines only make
// their own calls (intercept, cancel, inject a style sheet) around these answers.
//
// Any thread: a set is immutable and shared; the few mutable fields are guarded, and no
// lock is held while listeners run.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "components/contentfilter/contentfilter.h"
#include "platform/mutex.h"

namespace pagecore {

// The host of an http(s) address in lower case, without port or brackets' content
// changed ("https://Ads.Example:8080/x" -> "ads.example"); empty for anything else.
std::string HostOfAddress(const std::string& url);

// The resource type of a request as Chromium's DevTools names it (Network.ResourceType:
// "Document", "Script", "Image", ...); `mainFrame` tells a page's own document from a
// frame's. Unknown names are Other.
contentfilter::ResourceType ResourceTypeOfDevTools(const std::string& type, bool mainFrame);

class CContentBlocker {
 public:
  // What a page hides: the generic sheet (shared, built once per filter set) when
  // `generic` is set, and the document's own rules.
  struct Hiding {
    std::shared_ptr<const std::string> generic;
    std::string own;
    bool empty() const { return !generic && own.empty(); }
    std::string Whole() const { return (generic ? *generic : std::string()) + own; }
  };

  // The set to decide with; null stops blocking. Listeners are told afterwards.
  void SetFilters(std::shared_ptr<const contentfilter::FilterSet> filters);
  std::shared_ptr<const contentfilter::FilterSet> Filters() const;
  // Blocking off (or on again) for pages of `host` (any case; "www." is not stripped).
  // False for an empty host.
  bool SetSiteOff(const std::string& host, bool off);
  bool SiteOff(const std::string& host) const;
  std::vector<std::string> SitesOff() const;
  // Called (on the caller's thread, no lock held) after the set or the sites changed.
  // Returns an id for RemoveListener.
  int AddListener(std::function<void()> listener);
  void RemoveListener(int id);

  // Whether a request must not leave. `pageUrl` is the top-level document's address
  // (the site blocking may be off for), `documentUrl` the document the request comes
  // from (empty for a top-level navigation). `rule` gets the deciding rule.
  bool Blocks(const std::string& url, const std::string& documentUrl, const std::string& pageUrl,
              contentfilter::ResourceType type, std::string* rule = nullptr) const;
  // What a document shown in a page of `pageUrl` hides.
  Hiding HidingFor(const std::string& documentUrl, const std::string& pageUrl) const;

 private:
  void Notify();

  mutable platform::CMutex m_mutex;
  std::shared_ptr<const contentfilter::FilterSet> m_filters GUARDED_BY(m_mutex);
  std::shared_ptr<const std::string> m_generic GUARDED_BY(m_mutex);  // of m_filters
  std::set<std::string> m_sitesOff GUARDED_BY(m_mutex);
  std::map<int, std::shared_ptr<std::function<void()>>> m_listeners GUARDED_BY(m_mutex);
  int m_nextListener GUARDED_BY(m_mutex) = 1;
};

}  // namespace pagecore

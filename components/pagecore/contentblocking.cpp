#include "components/pagecore/contentblocking.h"

#include <algorithm>
#include <cctype>

namespace pagecore {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

std::string HostOfAddress(const std::string& url) {
  const std::string lower = Lower(url.substr(0, std::min<size_t>(url.size(), 8)));
  size_t start;
  if (lower.rfind("http://", 0) == 0) start = 7;
  else if (lower.rfind("https://", 0) == 0) start = 8;
  else return "";
  size_t end = url.find_first_of("/?#", start);
  std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    return close == std::string::npos ? "" : Lower(authority.substr(0, close + 1));
  }
  if (size_t colon = authority.find(':'); colon != std::string::npos) authority.erase(colon);
  return Lower(authority);
}

contentfilter::ResourceType ResourceTypeOfDevTools(const std::string& type, bool mainFrame) {
  using contentfilter::ResourceType;
  static const std::map<std::string, ResourceType> kTypes = {
      {"Stylesheet", ResourceType::Stylesheet}, {"Image", ResourceType::Image},
      {"Media", ResourceType::Media},           {"Font", ResourceType::Font},
      {"Script", ResourceType::Script},         {"XHR", ResourceType::XmlHttpRequest},
      {"Fetch", ResourceType::XmlHttpRequest},  {"EventSource", ResourceType::XmlHttpRequest},
      {"WebSocket", ResourceType::WebSocket},   {"Ping", ResourceType::Ping},
      {"CSPViolationReport", ResourceType::Ping}, {"TextTrack", ResourceType::Media},
      {"Prefetch", ResourceType::Other},        {"Manifest", ResourceType::Other},
  };
  if (type == "Document") return mainFrame ? ResourceType::Document : ResourceType::Subdocument;
  auto it = kTypes.find(type);
  return it == kTypes.end() ? ResourceType::Other : it->second;
}

void CContentBlocker::SetFilters(std::shared_ptr<const contentfilter::FilterSet> filters) {
  std::shared_ptr<const std::string> generic;
  if (filters && !filters->GenericHidingStyleSheet().empty())
    generic = std::make_shared<const std::string>(filters->GenericHidingStyleSheet());
  {
    platform::CMutexLock guard(m_mutex);
    m_filters = std::move(filters);
    m_generic = std::move(generic);
  }
  Notify();
}

std::shared_ptr<const contentfilter::FilterSet> CContentBlocker::Filters() const {
  platform::CMutexLock guard(m_mutex);
  return m_filters;
}

bool CContentBlocker::SetSiteOff(const std::string& host, bool off) {
  const std::string key = Lower(host);
  if (key.empty()) return false;
  bool changed;
  {
    platform::CMutexLock guard(m_mutex);
    changed = off ? m_sitesOff.insert(key).second : m_sitesOff.erase(key) > 0;
  }
  if (changed) Notify();
  return true;
}

bool CContentBlocker::SiteOff(const std::string& host) const {
  const std::string key = Lower(host);
  platform::CMutexLock guard(m_mutex);
  return m_sitesOff.count(key) > 0;
}

std::vector<std::string> CContentBlocker::SitesOff() const {
  platform::CMutexLock guard(m_mutex);
  return {m_sitesOff.begin(), m_sitesOff.end()};
}

int CContentBlocker::AddListener(std::function<void()> listener) {
  platform::CMutexLock guard(m_mutex);
  const int id = m_nextListener++;
  m_listeners[id] = std::make_shared<std::function<void()>>(std::move(listener));
  return id;
}

void CContentBlocker::RemoveListener(int id) {
  std::shared_ptr<std::function<void()>> gone;  // let go outside the lock
  platform::CMutexLock guard(m_mutex);
  auto it = m_listeners.find(id);
  if (it == m_listeners.end()) return;
  gone = std::move(it->second);
  m_listeners.erase(it);
}

void CContentBlocker::Notify() {
  std::vector<std::shared_ptr<std::function<void()>>> listeners;
  {
    platform::CMutexLock guard(m_mutex);
    for (const auto& entry : m_listeners) listeners.push_back(entry.second);
  }
  for (const auto& listener : listeners) (*listener)();
}

bool CContentBlocker::Blocks(const std::string& url, const std::string& documentUrl, const std::string& pageUrl,
                             contentfilter::ResourceType type, std::string* rule) const {
  std::shared_ptr<const contentfilter::FilterSet> filters;
  bool off;
  {
    const std::string host = HostOfAddress(pageUrl.empty() ? url : pageUrl);
    platform::CMutexLock guard(m_mutex);
    filters = m_filters;
    off = m_sitesOff.count(host) > 0;
  }
  if (!filters || off) return false;
  contentfilter::MatchResult result = filters->Match(url, documentUrl, type);
  if (rule) *rule = std::move(result.rule);
  return result.blocked();
}

CContentBlocker::Hiding CContentBlocker::HidingFor(const std::string& documentUrl, const std::string& pageUrl) const {
  std::shared_ptr<const contentfilter::FilterSet> filters;
  std::shared_ptr<const std::string> generic;
  bool off;
  {
    const std::string host = HostOfAddress(pageUrl.empty() ? documentUrl : pageUrl);
    platform::CMutexLock guard(m_mutex);
    filters = m_filters;
    generic = m_generic;
    off = m_sitesOff.count(host) > 0;
  }
  Hiding hiding;
  if (!filters || off) return hiding;
  contentfilter::FilterSet::PageHiding parts = filters->HidingFor(documentUrl);
  if (parts.withGeneric) hiding.generic = std::move(generic);
  hiding.own = std::move(parts.own);
  return hiding;
}

}  // namespace pagecore

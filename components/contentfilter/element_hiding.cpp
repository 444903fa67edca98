#include "components/contentfilter/element_hiding.h"

#include <algorithm>

#include "components/contentfilter/address.h"

namespace contentfilter {

namespace {

struct Separator {
  const char* text;
  bool supported;
  SkipReason reason;
};
const Separator kSeparators[] = {
    {"##", true, SkipReason::Count},           {"#@#", true, SkipReason::Count},
    {"#?#", false, SkipReason::ProceduralCosmetic}, {"#@?#", false, SkipReason::ProceduralCosmetic},
    {"#$#", false, SkipReason::ExtendedCosmetic},   {"#@$#", false, SkipReason::ExtendedCosmetic},
    {"#$?#", false, SkipReason::ExtendedCosmetic},  {"#@$?#", false, SkipReason::ExtendedCosmetic},
    {"#%#", false, SkipReason::Scriptlet},          {"#@%#", false, SkipReason::Scriptlet},
};

// Selector syntax that is not CSS (procedural operators) or that changes more than
// visibility; an engine would reject the style rule or, worse, read it differently.
const char* const kProcedural[] = {
    ":has-text(", ":-abp-contains(", ":-abp-has(", ":-abp-properties(", ":contains(", ":xpath(",
    ":matches-css", ":matches-attr(", ":matches-prop(", ":matches-path(", ":matches-media(", ":min-text-length(",
    ":upward(", ":nth-ancestor(", ":remove(", ":remove-attr(", ":remove-class(", ":style(", ":watch-attr(",
    ":others(", ":if(", ":if-not(", ":shadow(", ":spath(",
};

// Brackets and quotes balance, and nothing could end the style rule early.
bool IsSafeSelector(std::string_view s) {
  if (s.find_first_of("{}") != std::string_view::npos) return false;
  if (s.find("/*") != std::string_view::npos || s.find("*/") != std::string_view::npos) return false;
  if (s.front() == '@' || s.back() == '\\') return false;  // an at-rule, or an escape of what follows
  std::string stack;
  char quote = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == '\\') ++i;
      else if (c == quote) quote = 0;
      continue;
    }
    if (c == '\\') ++i;
    else if (c == '"' || c == '\'') quote = c;
    else if (c == '(' || c == '[') stack += c;
    else if (c == ')' || c == ']') {
      if (stack.empty() || stack.back() != (c == ')' ? '(' : '[')) return false;
      stack.pop_back();
    }
  }
  return !quote && stack.empty();
}

}  // namespace

size_t FindCosmeticSeparator(std::string_view line, size_t& length) {
  for (size_t at = line.find('#'); at != std::string_view::npos; at = line.find('#', at + 1)) {
    for (const Separator& sep : kSeparators) {
      const std::string_view text(sep.text);
      if (line.compare(at, text.size(), text) == 0) {
        length = text.size();
        return at;
      }
    }
  }
  return std::string_view::npos;
}

bool ParseHidingRule(std::string_view line, size_t separator, size_t length, HidingRule& rule, SkipReason& reason) {
  const std::string_view sep = line.substr(separator, length);
  for (const Separator& s : kSeparators) {
    if (sep == s.text && !s.supported) {
      reason = s.reason;
      return false;
    }
  }
  rule.exception = sep == "#@#";
  std::string_view selector = line.substr(separator + length);
  while (!selector.empty() && (selector.front() == ' ' || selector.front() == '\t')) selector.remove_prefix(1);
  if (selector.substr(0, 4) == "+js(") {
    reason = SkipReason::Scriptlet;
    return false;
  }
  if (!selector.empty() && selector[0] == '^') {
    reason = SkipReason::HtmlFilter;
    return false;
  }
  for (const char* op : kProcedural) {
    if (selector.find(op) != std::string_view::npos) {
      reason = SkipReason::ProceduralCosmetic;
      return false;
    }
  }
  if (selector.size() > 2 && selector.back() == '}' && selector.find('{') != std::string_view::npos) {
    reason = SkipReason::ExtendedCosmetic;  // "selector { style }": a style, not hiding
    return false;
  }
  if (selector.empty() || !IsSafeSelector(selector)) {
    reason = SkipReason::BadSelector;
    return false;
  }
  const std::string_view domains = line.substr(0, separator);
  size_t start = 0;
  while (!domains.empty() && start <= domains.size()) {
    size_t comma = domains.find(',', start);
    if (comma == std::string_view::npos) comma = domains.size();
    if (!AddDomainItem(domains.substr(start, comma - start), rule.domains)) {
      reason = SkipReason::UnsupportedDomain;
      return false;
    }
    start = comma + 1;
  }
  rule.domains.Sort();
  rule.selector = std::string(selector);
  return true;
}

void ElementHiding::Add(HidingRule rule) { m_rules.push_back(std::move(rule)); }

void ElementHiding::Index() {
  for (size_t i = 0; i < m_rules.size(); ++i) {
    const HidingRule& r = m_rules[i];
    const uint32_t id = static_cast<uint32_t>(i);
    if (r.exception) {
      if (r.domains.empty()) m_genericExceptions.insert(r.selector);
      else if (r.domains.include.empty()) m_excludeOnlyExceptions.push_back(id);
      else for (const auto& d : r.domains.include) m_exceptionsByDomain[d].push_back(id);
    } else if (r.domains.empty()) {
      m_generic.push_back(id);
    } else if (r.domains.include.empty()) {
      m_excludeOnly.push_back(id);
    } else {
      for (const auto& d : r.domains.include) m_byDomain[d].push_back(id);
    }
  }
}

void ElementHiding::Collect(const std::unordered_map<std::string, std::vector<uint32_t>>& byDomain,
                            std::string_view host, std::vector<uint32_t>& out) const {
  ForEachHostSuffix(host, [&](std::string_view suffix) {
    auto it = byDomain.find(std::string(suffix));
    if (it != byDomain.end()) {
      for (uint32_t id : it->second) {
        if (m_rules[id].domains.Admits(host)) out.push_back(id);
      }
    }
    return false;
  });
}

std::vector<std::string> ElementHiding::Selectors(std::string_view host, bool generic, bool plain) const {
  std::vector<uint32_t> exceptionIds;
  Collect(m_exceptionsByDomain, host, exceptionIds);
  for (uint32_t id : m_excludeOnlyExceptions) {
    if (m_rules[id].domains.Admits(host)) exceptionIds.push_back(id);
  }
  std::unordered_set<std::string_view> excepted;
  for (uint32_t id : exceptionIds) excepted.insert(m_rules[id].selector);

  std::vector<uint32_t> ids;
  Collect(m_byDomain, host, ids);
  if (generic) {
    if (plain) ids.insert(ids.end(), m_generic.begin(), m_generic.end());
    for (uint32_t id : m_excludeOnly) {
      if (m_rules[id].domains.Admits(host)) ids.push_back(id);
    }
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  std::vector<std::string> out;
  std::unordered_set<std::string_view> seen;
  for (uint32_t id : ids) {
    const std::string& selector = m_rules[id].selector;
    if (m_genericExceptions.count(selector) || excepted.count(selector) || !seen.insert(selector).second) continue;
    out.push_back(selector);
  }
  return out;
}

std::vector<std::string> ElementHiding::GenericSelectors() const {
  std::vector<std::string> out;
  std::unordered_set<std::string_view> seen;
  for (uint32_t id : m_generic) {
    const std::string& selector = m_rules[id].selector;
    if (m_genericExceptions.count(selector) || !seen.insert(selector).second) continue;
    out.push_back(selector);
  }
  return out;
}

bool ElementHiding::HostHasExceptions(std::string_view host) const {
  for (uint32_t id : m_excludeOnlyExceptions) {
    if (m_rules[id].domains.Admits(host)) return true;
  }
  std::vector<uint32_t> ids;
  Collect(m_exceptionsByDomain, host, ids);
  return !ids.empty();
}

size_t ElementHiding::MemoryBytes() const {
  size_t bytes = m_rules.capacity() * sizeof(HidingRule);
  for (const auto& r : m_rules) bytes += (r.selector.capacity() > 15 ? r.selector.capacity() + 1 : 0) + r.domains.MemoryBytes();
  bytes += (m_generic.capacity() + m_excludeOnly.capacity() + m_excludeOnlyExceptions.capacity()) * sizeof(uint32_t);
  for (const auto& e : m_byDomain) bytes += 64 + e.first.size() + e.second.capacity() * sizeof(uint32_t);
  for (const auto& e : m_exceptionsByDomain) bytes += 64 + e.first.size() + e.second.capacity() * sizeof(uint32_t);
  bytes += m_genericExceptions.size() * 64;
  return bytes;
}

}  // namespace contentfilter

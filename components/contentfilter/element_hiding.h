#pragma once
// Element hiding rules ("##", "#@#"): parsing, and the selectors for a page's host.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "components/contentfilter/contentfilter.h"
#include "components/contentfilter/domain_list.h"

namespace contentfilter {

struct HidingRule {
  std::string selector;
  DomainList domains;
  bool exception = false;
};

// Where the element hiding separator of a line begins, and how long it is; npos when
// the line is a network rule. Covers the separators that are skipped too ("#?#", "#$#").
size_t FindCosmeticSeparator(std::string_view line, size_t& length);

// Parses a line that has a cosmetic separator. False with the reason when skipped.
bool ParseHidingRule(std::string_view line, size_t separator, size_t length, HidingRule& rule, SkipReason& reason);

class ElementHiding {
 public:
  void Add(HidingRule rule);
  void Index();
  // The selectors for a host in list order, each once; generic ones only if asked, and of
  // those the rules without any domain only if `plain` (GenericSelectors gives them apart).
  std::vector<std::string> Selectors(std::string_view host, bool generic, bool plain = true) const;
  // The generic selectors less the generic exceptions: the same for every page.
  std::vector<std::string> GenericSelectors() const;
  // Whether an exception naming domains applies to `host` (it may cancel a generic
  // selector there, so that the shared generic sheet does not fit that page).
  bool HostHasExceptions(std::string_view host) const;
  size_t MemoryBytes() const;

 private:
  void Collect(const std::unordered_map<std::string, std::vector<uint32_t>>& byDomain, std::string_view host,
               std::vector<uint32_t>& out) const;

  std::vector<HidingRule> m_rules;
  std::vector<uint32_t> m_generic;       // no domains at all
  std::vector<uint32_t> m_excludeOnly;   // only "~domain" items: generic but for some sites
  std::unordered_map<std::string, std::vector<uint32_t>> m_byDomain;  // under each included domain
  std::unordered_set<std::string> m_genericExceptions;                // "#@#sel"
  std::unordered_map<std::string, std::vector<uint32_t>> m_exceptionsByDomain;
  std::vector<uint32_t> m_excludeOnlyExceptions;
};

}  // namespace contentfilter

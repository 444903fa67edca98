#pragma once
// The domains a rule is limited to ("domain=a.com|~b.a.com", "a.com,~b.a.com##sel").
#include <string>
#include <string_view>
#include <vector>

namespace contentfilter {

struct DomainList {
  std::vector<std::string> include;  // sorted, lower case
  std::vector<std::string> exclude;  // sorted, lower case

  bool empty() const { return include.empty() && exclude.empty(); }
  // The most specific listed domain that the host is or lies under decides; a host
  // under none of them is in when only exclusions are listed. An empty host (no
  // document) is under none.
  bool Admits(std::string_view host) const;
  void Sort();
  size_t MemoryBytes() const;
};

// Adds one item ("a.com" or "~a.com"); false for an empty item or a wildcard or regex
// domain, which the matcher does not support.
bool AddDomainItem(std::string_view item, DomainList& list);

}  // namespace contentfilter

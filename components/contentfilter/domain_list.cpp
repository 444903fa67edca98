#include "components/contentfilter/domain_list.h"

#include <algorithm>

#include "components/contentfilter/address.h"

namespace contentfilter {

namespace {
bool Contains(const std::vector<std::string>& sorted, std::string_view value) {
  auto it = std::lower_bound(sorted.begin(), sorted.end(), value,
                             [](const std::string& a, std::string_view b) { return std::string_view(a) < b; });
  return it != sorted.end() && *it == value;
}
}  // namespace

bool DomainList::Admits(std::string_view host) const {
  int decision = 0;  // 1 in, -1 out, 0 not listed
  ForEachHostSuffix(host, [&](std::string_view suffix) {
    if (Contains(exclude, suffix)) decision = -1;
    else if (Contains(include, suffix)) decision = 1;
    return decision != 0;
  });
  if (decision != 0) return decision > 0;
  return include.empty();
}

void DomainList::Sort() {
  std::sort(include.begin(), include.end());
  include.erase(std::unique(include.begin(), include.end()), include.end());
  std::sort(exclude.begin(), exclude.end());
  exclude.erase(std::unique(exclude.begin(), exclude.end()), exclude.end());
}

size_t DomainList::MemoryBytes() const {
  size_t bytes = (include.capacity() + exclude.capacity()) * sizeof(std::string);
  for (const auto& d : include) bytes += d.capacity() > 15 ? d.capacity() + 1 : 0;
  for (const auto& d : exclude) bytes += d.capacity() > 15 ? d.capacity() + 1 : 0;
  return bytes;
}

bool AddDomainItem(std::string_view item, DomainList& list) {
  bool negated = false;
  if (!item.empty() && item[0] == '~') {
    negated = true;
    item.remove_prefix(1);
  }
  if (item.empty() || item.find_first_of("*/ \t") != std::string_view::npos) return false;
  // A trailing dot names the same host.
  if (item.back() == '.') item.remove_suffix(1);
  if (item.empty()) return false;
  (negated ? list.exclude : list.include).push_back(LowerAscii(item));
  return true;
}

}  // namespace contentfilter

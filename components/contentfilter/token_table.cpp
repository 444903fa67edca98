#include "components/contentfilter/token_table.h"

#include <algorithm>

namespace contentfilter {

void TokenTable::Build(std::vector<std::pair<uint64_t, uint32_t>> pairs) {
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  size_t distinct = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (i == 0 || pairs[i].first != pairs[i - 1].first) ++distinct;
  }
  size_t size = 16;
  while (size < distinct * 2) size *= 2;  // at most half full
  m_mask = size - 1;
  m_slots.assign(size, Slot_{0, 0, 0});
  m_ids.clear();
  m_ids.reserve(pairs.size());
  for (size_t i = 0; i < pairs.size();) {
    const uint64_t hash = pairs[i].first;
    size_t slot = Slot(hash);
    while (m_slots[slot].key != 0) slot = (slot + 1) & m_mask;
    Slot_& s = m_slots[slot];
    s.key = hash;
    s.begin = static_cast<uint32_t>(m_ids.size());
    for (; i < pairs.size() && pairs[i].first == hash; ++i) m_ids.push_back(pairs[i].second);
    s.count = static_cast<uint32_t>(m_ids.size() - s.begin);
  }
}

size_t TokenTable::MemoryBytes() const {
  return m_slots.capacity() * sizeof(Slot_) + m_ids.capacity() * sizeof(uint32_t);
}

}  // namespace contentfilter

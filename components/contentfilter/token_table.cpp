#include "components/contentfilter/token_table.h"

#include <algorithm>

namespace contentfilter {

void TokenTable::Build(std::vector<std::pair<uint64_t, uint32_t>> pairs, const std::vector<uint32_t>& typeBits) {
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
  m_filter.assign(kFilterBits / 64, 0);
  m_entries.clear();
  m_entries.reserve(pairs.size());
  for (size_t i = 0; i < pairs.size();) {
    const uint64_t hash = pairs[i].first;
    const size_t bit = static_cast<size_t>(hash >> 40) & kFilterMask;
    m_filter[bit >> 6] |= uint64_t{1} << (bit & 63);
    size_t slot = Slot(hash);
    while (m_slots[slot].key != 0) slot = (slot + 1) & m_mask;
    Slot_& s = m_slots[slot];
    s.key = hash;
    s.begin = static_cast<uint32_t>(m_entries.size());
    for (; i < pairs.size() && pairs[i].first == hash; ++i) {
      m_entries.push_back({pairs[i].second, typeBits[pairs[i].second]});
    }
    s.count = static_cast<uint32_t>(m_entries.size() - s.begin);
  }
}

size_t TokenTable::MemoryBytes() const {
  return m_slots.capacity() * sizeof(Slot_) + m_entries.capacity() * sizeof(Entry) +
         m_filter.capacity() * sizeof(uint64_t);
}

}  // namespace contentfilter

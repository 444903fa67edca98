#pragma once
// An open-addressing hash table from a token's hash to a sorted run of rule numbers,
// built once and read only: a lookup is a multiply, a mask and a probe or two.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace contentfilter {

class TokenTable {
 public:
  // pairs: (token hash, rule number); any order, hashes never 0.
  void Build(std::vector<std::pair<uint64_t, uint32_t>> pairs);

  // The rule numbers filed under the hash, ascending; empty when none.
  std::pair<const uint32_t*, const uint32_t*> Find(uint64_t hash) const {
    if (m_slots.empty()) return {nullptr, nullptr};
    size_t slot = Slot(hash);
    while (true) {
      const Slot_& s = m_slots[slot];
      if (s.key == hash) {
        const uint32_t* base = m_ids.data() + s.begin;
        return {base, base + s.count};
      }
      if (s.key == 0) return {nullptr, nullptr};
      slot = (slot + 1) & m_mask;
    }
  }
  size_t MemoryBytes() const;

 private:
  size_t Slot(uint64_t hash) const { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 20) & m_mask; }
  // Key and run side by side: a lookup touches one cache line.
  struct Slot_ {
    uint64_t key;
    uint32_t begin;
    uint32_t count;
  };
  std::vector<Slot_> m_slots;
  std::vector<uint32_t> m_ids;
  size_t m_mask = 0;
};

}  // namespace contentfilter

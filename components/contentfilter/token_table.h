#pragma once
// An open-addressing hash table from a token's hash to a sorted run of rules, built once
// and read only. Most tokens of an address are in no rule: a bit set small enough to stay
// in cache answers those without touching the table.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace contentfilter {

class TokenTable {
 public:
  // A rule under a token: its number, and its type bits so that most candidates are
  // turned down without touching the rule.
  struct Entry {
    uint32_t rule;
    uint32_t typeBits;
  };

  // pairs: (token hash, rule number) in any order, hashes never 0; typeBits by rule number.
  void Build(std::vector<std::pair<uint64_t, uint32_t>> pairs, const std::vector<uint32_t>& typeBits);

  // The rules filed under the hash, by ascending number; empty when none.
  std::pair<const Entry*, const Entry*> Find(uint64_t hash) const {
    if (m_slots.empty()) return {nullptr, nullptr};
    const size_t bit = static_cast<size_t>(hash >> 40) & kFilterMask;
    if (!(m_filter[bit >> 6] & (uint64_t{1} << (bit & 63)))) return {nullptr, nullptr};
    size_t slot = Slot(hash);
    while (true) {
      const Slot_& s = m_slots[slot];
      if (s.key == hash) {
        const Entry* base = m_entries.data() + s.begin;
        return {base, base + s.count};
      }
      if (s.key == 0) return {nullptr, nullptr};
      slot = (slot + 1) & m_mask;
    }
  }
  size_t MemoryBytes() const;

 private:
  static constexpr size_t kFilterBits = size_t{1} << 20;  // 128 KiB
  static constexpr size_t kFilterMask = kFilterBits - 1;
  size_t Slot(uint64_t hash) const { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 20) & m_mask; }
  // Key and run side by side: a lookup touches one cache line.
  struct Slot_ {
    uint64_t key;
    uint32_t begin;
    uint32_t count;
  };
  std::vector<Slot_> m_slots;
  std::vector<Entry> m_entries;
  std::vector<uint64_t> m_filter;
  size_t m_mask = 0;
};

}  // namespace contentfilter

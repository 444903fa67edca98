#pragma once
// The Lua types of a call's arguments, read once per call: the scoring of every overload
// and the reading of the chosen one's arguments share them instead of asking Lua again.
#include <cstdint>
#include <type_traits>

#include <lua.hpp>

namespace uibind {
namespace impl {

class ArgumentTypes {
 public:
  // Types beyond this many arguments are asked from Lua on each use.
  static constexpr int kKept = 8;

  // Reads the types of the values from 1 to top.
  ArgumentTypes(lua_State* L, int top) : m_L(L), m_Kept(top < kKept ? top : kKept) {
    for (int pos = 1; pos <= m_Kept; ++pos) m_Types[pos] = static_cast<signed char>(lua_type(L, pos));
  }
  // Reads the types of exactly N values from 1 (the caller knows the top is N).
  template <int N>
  ArgumentTypes(lua_State* L, std::integral_constant<int, N>) : m_L(L), m_Kept(N < kKept ? N : kKept) {
    for (int pos = 1; pos <= (N < kKept ? N : kKept); ++pos) m_Types[pos] = static_cast<signed char>(lua_type(L, pos));
  }
  ArgumentTypes(const ArgumentTypes&) = delete;
  ArgumentTypes& operator=(const ArgumentTypes&) = delete;

  // The type of the value at pos (a positive stack index).
  int At(int pos) const {
    const int kept = pos + m_Shift;
    return kept <= m_Kept ? m_Types[kept] : lua_type(m_L, pos);
  }
  // All that a score by types depends on, as one number: the count, every type and
  // whether the object is const; 0 when the count is above kKept.
  std::uint64_t Key(int top, bool isConst) const {
    if (top > m_Kept || m_Shift != 0) return 0;
    std::uint64_t key = (std::uint64_t{1} << 63) | (std::uint64_t{isConst} << 62) | static_cast<std::uint64_t>(top);
    for (int pos = 1; pos <= top; ++pos) key |= static_cast<std::uint64_t>(m_Types[pos] & 0xF) << (4 * pos);
    return key;
  }
  // The caller removed the first value: every later one moved down by one.
  void DropFirst() { ++m_Shift; }

 private:
  lua_State* m_L;
  int m_Kept;
  int m_Shift = 0;
  signed char m_Types[kKept + 1];
};

}  // namespace impl
}  // namespace uibind

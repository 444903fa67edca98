#pragma once
// Native operators bound as Lua metamethods.
#include "uibind/impl/types.h"

namespace uibind {

// Applies the C++ operator of a code to two operands of the given types (each may be
// the class by value or by (const) reference, or another type such as an integer).
// Apply is an ordinary function, so it binds like any other operator overload.
template <int Code, typename Left, typename Right>
struct BinaryOperatorGenerator {
  static auto Apply(Left l, Right r) {
    if constexpr (Code == OP_ADD) {
      return l + r;
    } else if constexpr (Code == OP_SUB) {
      return l - r;
    } else if constexpr (Code == OP_MUL) {
      return l * r;
    } else if constexpr (Code == OP_DIV) {
      return l / r;
    } else if constexpr (Code == OP_MOD) {
      return l % r;
    } else if constexpr (Code == OP_EQ) {
      return static_cast<bool>(l == r);
    } else if constexpr (Code == OP_LT) {
      return static_cast<bool>(l < r);
    } else if constexpr (Code == OP_LE) {
      return static_cast<bool>(l <= r);
    } else {
      static_assert(Code == OP_ADD, "uibind: not a binary operator code");
    }
  }
};

}  // namespace uibind

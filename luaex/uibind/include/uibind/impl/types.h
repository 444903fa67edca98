#pragma once
// Basic vocabulary of the binding layer: scores, operator codes and native type identity.
#include <cstring>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace uibind {

class CHost;

// Operator codes and the metamethod each one is installed under.
enum OperatorCode {
  OP_ADD = 0,
  OP_SUB = 1,
  OP_MUL = 2,
  OP_DIV = 3,
  OP_MOD = 4,
  OP_UNM = 5,
  OP_EQ = 6,
  OP_LT = 7,
  OP_LE = 8,
  OP_TOSTRING = 9,
  OP_CONCAT = 10,
  OP_COUNT = 11
};

namespace impl {

struct ParameterMatcherBase {
  // Score of a value that cannot be converted; 1 is a perfect match, larger is worse.
  static constexpr unsigned CantBeConverted = 1000000;
};
constexpr unsigned CantBeConverted = ParameterMatcherBase::CantBeConverted;

// Multiplies two scores; a valid product never reaches CantBeConverted.
inline unsigned CombineScores(unsigned a, unsigned b) {
  if (a >= CantBeConverted || b >= CantBeConverted) return CantBeConverted;
  unsigned long long p = static_cast<unsigned long long>(a) * b;
  return p >= CantBeConverted ? CantBeConverted - 1 : static_cast<unsigned>(p);
}

const char* OperatorMetamethodName(int code);

// The identity of a native type T is the runtime type of CustomClass<T>.
template <typename T>
struct CustomClass {};

// Type names are compared as strings: the host executable and a library that
// links this layer each have their own type_info objects.
template <typename T>
const char* TypeKey() {
  return typeid(CustomClass<std::remove_cv_t<T>>).name();
}
inline bool SameTypeKey(const char* a, const char* b) { return a == b || std::strcmp(a, b) == 0; }

std::string Demangle(const char* mangled);
template <typename T>
std::string NativeTypeName() {
  return Demangle(typeid(T).name());
}

}  // namespace impl
}  // namespace uibind

#pragma once
// An iterator of a random-access container as a bound value: it remembers its container
// and its index instead of a raw iterator, so that every use can be checked against the
// container's current size (a raw iterator would dangle after a reallocation).
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "uibind/impl/results.h"

namespace uibind {

template <typename It>
constexpr bool kIsReverseIterator = false;
template <typename Base>
constexpr bool kIsReverseIterator<std::reverse_iterator<Base>> = true;

// It is the container's iterator type; Container is const for the const iterators.
template <typename It, typename Container>
class STLIteratorHolder {
 public:
  using value_type = typename std::remove_const_t<Container>::value_type;

  STLIteratorHolder(Container& container, std::ptrdiff_t index) : m_pContainer(&container), m_Index(index) {}

  Container& GetContainer() const { return *m_pContainer; }
  std::ptrdiff_t GetIndex() const { return m_Index; }
  std::ptrdiff_t Size() const { return static_cast<std::ptrdiff_t>(m_pContainer->size()); }

  // The native iterator; the position must lie within the container.
  It Get() const {
    CheckPosition(m_Index, "iterator is outside its array");
    if constexpr (kIsReverseIterator<It>) {
      return m_pContainer->rbegin() + m_Index;
    } else {
      return m_pContainer->begin() + m_Index;
    }
  }
  // Index of the element in the container (reverse iterators count from the back).
  std::ptrdiff_t ElementIndex() const {
    if (m_Index < 0 || m_Index >= Size()) throw std::out_of_range("iterator does not point at an element");
    return kIsReverseIterator<It> ? Size() - 1 - m_Index : m_Index;
  }
  value_type Value() const { return (*m_pContainer)[static_cast<std::size_t>(ElementIndex())]; }

  void Inc() { m_Index = Moved(1); }
  void Dec() { m_Index = Moved(-1); }

  friend STLIteratorHolder operator+(const STLIteratorHolder& it, int n) { return STLIteratorHolder(*it.m_pContainer, it.Moved(n)); }
  friend STLIteratorHolder operator-(const STLIteratorHolder& it, int n) {
    return STLIteratorHolder(*it.m_pContainer, it.Moved(-static_cast<std::ptrdiff_t>(n)));
  }
  friend bool operator==(const STLIteratorHolder& a, const STLIteratorHolder& b) { return a.Compared(b) == 0; }
  friend bool operator<(const STLIteratorHolder& a, const STLIteratorHolder& b) { return a.Compared(b) < 0; }
  friend bool operator<=(const STLIteratorHolder& a, const STLIteratorHolder& b) { return a.Compared(b) <= 0; }

 private:
  void CheckPosition(std::ptrdiff_t index, const char* text) const {
    if (index < 0 || index > Size()) throw std::out_of_range(text);
  }
  std::ptrdiff_t Moved(std::ptrdiff_t n) const {
    const std::ptrdiff_t index = m_Index + n;
    CheckPosition(index, "iterator moved outside its array");
    return index;
  }
  int Compared(const STLIteratorHolder& other) const {
    if (m_pContainer != other.m_pContainer) throw std::invalid_argument("iterators of different arrays compared");
    return m_Index < other.m_Index ? -1 : (m_Index == other.m_Index ? 0 : 1);
  }

  Container* m_pContainer;
  std::ptrdiff_t m_Index;
};

namespace impl {
// A held iterator points into its container: results keep the container's userdata alive.
template <typename It, typename Container>
struct DependsOnOwner<STLIteratorHolder<It, Container>> : std::true_type {};
}  // namespace impl

}  // namespace uibind

#pragma once
// Declaring a std::vector and its four iterator classes:
//
//   uibind::NamespaceDeclaration ns("std");
//   ns.Add(uibind::DeclareVectorClass<std::vector<unsigned int>>("uintarr"));
//   host.Insert(std::move(ns));  // std.uintarr, std.uintarr.iterator, ...
//
// Out-of-range use (an index past the end, front or back of an empty array, an iterator
// moved outside its array, used with another array, or read at the end) raises a Lua error,
// and so does any call that would make an array hold more than kMaxArrayElements.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "uibind/declarations.h"
#include "uibind/impl/stl_iterator_holder.h"

namespace uibind {

// The most elements a call from Lua may give an array declared with DeclareVectorClass:
// 2^24 (16M elements, 64 MiB of unsigned int). A script names sizes with plain numbers
// (std.uintarr(n), resize, assign, reserve, insert), so without a limit a single call could
// ask for 2^32 elements and take all of the host's memory. A call that would go above it
// (constructors, resize, assign, reserve, insert, push_back) raises the Lua error "Native
// exception in '<call>': size <n> is above the array limit of 16777216 elements" and
// leaves the array unchanged. Arrays handed over by the native side are not limited.
constexpr std::size_t kMaxArrayElements = std::size_t{1} << 24;

template <typename V>
struct VectorBinding {
  using T = typename V::value_type;
  using Iterator = STLIteratorHolder<typename V::iterator, V>;
  using ConstIterator = STLIteratorHolder<typename V::const_iterator, const V>;
  using ReverseIterator = STLIteratorHolder<typename V::reverse_iterator, V>;
  using ConstReverseIterator = STLIteratorHolder<typename V::const_reverse_iterator, const V>;

  // The sized constructors: V(n) and V(n, value).
  static V Sized(unsigned int n) {
    CheckSize(n);
    return V(n);
  }
  static V Filled(unsigned int n, const T& value) {
    CheckSize(n);
    return V(n, value);
  }

  static Iterator Begin(V& v) { return Iterator(v, 0); }
  static ConstIterator CBegin(const V& v) { return ConstIterator(v, 0); }
  static Iterator End(V& v) { return Iterator(v, Size(v)); }
  static ConstIterator CEnd(const V& v) { return ConstIterator(v, Size(v)); }
  static ReverseIterator RBegin(V& v) { return ReverseIterator(v, 0); }
  static ConstReverseIterator CRBegin(const V& v) { return ConstReverseIterator(v, 0); }
  static ReverseIterator REnd(V& v) { return ReverseIterator(v, Size(v)); }
  static ConstReverseIterator CREnd(const V& v) { return ConstReverseIterator(v, Size(v)); }

  static void Clear(V& v) { v.clear(); }
  static bool Empty(const V& v) { return v.empty(); }
  static std::size_t SizeOf(const V& v) { return v.size(); }
  static std::size_t Capacity(const V& v) { return v.capacity(); }
  static std::size_t MaxSize(const V& v) { return v.max_size(); }
  static void Swap(V& v, V& other) { v.swap(other); }

  static Iterator Erase(V& v, const Iterator& position) {
    const std::ptrdiff_t index = Position(v, position);
    if (index >= Size(v)) throw std::out_of_range("erase at the end of the array");
    v.erase(v.begin() + index);
    return Iterator(v, index);
  }
  static Iterator EraseRange(V& v, const Iterator& first, const Iterator& last) {
    const std::ptrdiff_t from = Position(v, first);
    const std::ptrdiff_t to = Position(v, last);
    if (from > to) throw std::out_of_range("erase range ends before it starts");
    v.erase(v.begin() + from, v.begin() + to);
    return Iterator(v, from);
  }
  template <typename H>
  static void InsertRange(V& v, const Iterator& position, const H& first, const H& last) {
    const std::ptrdiff_t index = Position(v, position);
    const V copy = Copy(first, last);  // the source may be this array
    CheckSize(v.size() + copy.size());
    v.insert(v.begin() + index, copy.begin(), copy.end());
  }
  static void InsertCopies(V& v, const Iterator& position, unsigned int n, const T& value) {
    const std::ptrdiff_t index = Position(v, position);
    CheckSize(v.size() + n);
    v.insert(v.begin() + index, n, value);
  }
  static Iterator InsertOne(V& v, const Iterator& position, const T& value) {
    const std::ptrdiff_t index = Position(v, position);
    CheckSize(v.size() + 1);
    v.insert(v.begin() + index, value);
    return Iterator(v, index);
  }
  static void AssignCopies(V& v, unsigned int n, const T& value) {
    CheckSize(n);
    v.assign(n, value);
  }
  template <typename H>
  static void AssignRange(V& v, const H& first, const H& last) {
    V copy = Copy(first, last);
    CheckSize(copy.size());
    v.swap(copy);
  }

  static T At(V& v, unsigned int index) { return v[Checked(v, index)]; }
  static T CAt(const V& v, unsigned int index) { return v[Checked(v, index)]; }
  static T Back(V& v) { return NotEmpty(v, "back").back(); }
  static T CBack(const V& v) { return NotEmpty(v, "back").back(); }
  static T Front(V& v) { return NotEmpty(v, "front").front(); }
  static T CFront(const V& v) { return NotEmpty(v, "front").front(); }
  static void PopBack(V& v) { NotEmptyMutable(v).pop_back(); }
  static void PushBack(V& v, const T& value) {
    CheckSize(v.size() + 1);
    v.push_back(value);
  }
  static void Reserve(V& v, unsigned int n) {
    CheckSize(n);
    v.reserve(n);
  }
  static void Resize(V& v, unsigned int n, const T& value) {
    CheckSize(n);
    v.resize(n, value);
  }

  template <typename H>
  static T GetValue(const H& it) {
    return it.Value();
  }
  template <typename H>
  static void SetValue(H& it, const T& value) {
    it.GetContainer()[static_cast<std::size_t>(it.ElementIndex())] = value;
  }
  template <typename H>
  static void Inc(H& it) {
    it.Inc();
  }
  template <typename H>
  static void Dec(H& it) {
    it.Dec();
  }

 private:
  static std::ptrdiff_t Size(const V& v) { return static_cast<std::ptrdiff_t>(v.size()); }
  // The size an array would have after a call; above kMaxArrayElements the call is refused.
  static void CheckSize(std::size_t size) {
    if (size > kMaxArrayElements) {
      throw std::length_error("size " + std::to_string(size) + " is above the array limit of " +
                              std::to_string(kMaxArrayElements) + " elements");
    }
  }
  static std::ptrdiff_t Position(const V& v, const Iterator& it) {
    if (&it.GetContainer() != &v) throw std::invalid_argument("iterator belongs to another array");
    if (it.GetIndex() < 0 || it.GetIndex() > Size(v)) throw std::out_of_range("iterator is outside its array");
    return it.GetIndex();
  }
  template <typename H>
  static V Copy(const H& first, const H& last) {
    if (&first.GetContainer() != &last.GetContainer()) throw std::invalid_argument("range iterators belong to different arrays");
    if (last < first) throw std::out_of_range("range ends before it starts");
    return V(first.Get(), last.Get());
  }
  static std::size_t Checked(const V& v, unsigned int index) {
    if (index >= v.size()) {
      throw std::out_of_range("index " + std::to_string(index) + " is out of range (size " + std::to_string(v.size()) + ")");
    }
    return index;
  }
  static const V& NotEmpty(const V& v, const char* what) {
    if (v.empty()) throw std::out_of_range(std::string(what) + " of an empty array");
    return v;
  }
  static V& NotEmptyMutable(V& v) {
    if (v.empty()) throw std::out_of_range("pop_back of an empty array");
    return v;
  }
};

namespace impl {
template <typename H, typename B, bool Writable>
Class<H> DeclareIteratorClass(const char* name) {
  Class<H> it(name);
  if constexpr (Writable) {
    it.Property("value", &B::template GetValue<H>, &B::template SetValue<H>);
  } else {
    it.Property("value", &B::template GetValue<H>);
  }
  it.Method("inc", &B::template Inc<H>)
      .Method("dec", &B::template Dec<H>)
      .template BinaryOperator<OP_ADD, const H&, int>()
      .template BinaryOperator<OP_SUB, const H&, int>()
      .template BinaryOperator<OP_EQ, const H&, const H&>()
      .template BinaryOperator<OP_LT, const H&, const H&>()
      .template BinaryOperator<OP_LE, const H&, const H&>();
  return it;
}
}  // namespace impl

// The array class under name and its iterator classes name.iterator, name.const_iterator,
// name.reverse_iterator and name.const_reverse_iterator, as a namespace without a name
// of its own: add it to the namespace the array belongs to.
template <typename V>
NamespaceDeclaration DeclareVectorClass(const std::string& name) {
  using B = VectorBinding<V>;
  using It = typename B::Iterator;
  using CIt = typename B::ConstIterator;
  using RIt = typename B::ReverseIterator;
  using CRIt = typename B::ConstReverseIterator;

  Class<V> array(name);
  array.template Constructor<>()
      .template Constructor<const V&>(Explicit)
      .Factory(&B::Sized)    // (unsigned): limited to kMaxArrayElements
      .Factory(&B::Filled)   // (unsigned, const T&): the same
      .Method("begin", &B::Begin)
      .Method("begin", &B::CBegin)
      .Method("clear", &B::Clear)
      .Method("empty", &B::Empty)
      .Method("_end", &B::End)
      .Method("_end", &B::CEnd)
      .Method("erase", &B::Erase)
      .Method("erase", &B::EraseRange)
      .Method("insert", &B::template InsertRange<It>)
      .Method("insert", &B::template InsertRange<CIt>)
      .Method("insert", &B::template InsertRange<RIt>)
      .Method("insert", &B::template InsertRange<CRIt>)
      .Method("rbegin", &B::RBegin)
      .Method("rbegin", &B::CRBegin)
      .Method("rend", &B::REnd)
      .Method("rend", &B::CREnd)
      .Method("size", &B::SizeOf)
      .Method("swap", &B::Swap)
      .Method("assign", &B::AssignCopies)
      .Method("assign", &B::template AssignRange<It>)
      .Method("assign", &B::template AssignRange<CIt>)
      .Method("assign", &B::template AssignRange<RIt>)
      .Method("assign", &B::template AssignRange<CRIt>)
      .Method("at", &B::At)
      .Method("at", &B::CAt)
      .Method("back", &B::Back)
      .Method("back", &B::CBack)
      .Method("capacity", &B::Capacity)
      .Method("front", &B::Front)
      .Method("front", &B::CFront)
      .Method("insert", &B::InsertCopies)
      .Method("insert", &B::InsertOne)
      .Method("max_size", &B::MaxSize)
      .Method("pop_back", &B::PopBack)
      .Method("push_back", &B::PushBack)
      .Method("reserve", &B::Reserve)
      .Method("resize", &B::Resize);

  NamespaceDeclaration iterators(name);
  iterators.Add(impl::DeclareIteratorClass<It, B, true>("iterator"))
      .Add(impl::DeclareIteratorClass<CIt, B, false>("const_iterator"))
      .Add(impl::DeclareIteratorClass<RIt, B, true>("reverse_iterator"))
      .Add(impl::DeclareIteratorClass<CRIt, B, false>("const_reverse_iterator"));

  NamespaceDeclaration result;
  result.Add(array).Add(iterators);
  return result;
}

}  // namespace uibind

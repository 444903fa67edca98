#pragma once
// Constructor entries: new T(args...) or a factory function returning T.
#include <memory>
#include <string>

#include "uibind/host.h"
#include "uibind/impl/arguments.h"
#include "uibind/impl/records.h"

namespace uibind {
namespace impl {

// Shared by both kinds: make() builds the object from the arguments at start.
template <typename T, typename Args, typename Derived>
class ConstructorEntryBase : public ConstructorEntry {
 public:
  ConstructorEntryBase(bool isExplicit, PolicyPtr policy)
      : ConstructorEntry(TypeKey<T>(), isExplicit, Args::kCount, std::move(policy)) {}

  unsigned Match(CHost& host, lua_State* L, int start, int count, bool implicit) const override {
    return Args::Match(host, L, start, count, implicit);
  }
  std::string ParameterList(CHost& host) const override { return Args::Names(host); }
  ObjectPtr Create(CHost& host, lua_State* L, int start) const override { return MakeObjectPtr(Build(host, L, start).release()); }
  void* CreateTemporary(CHost& host, lua_State* L, int position) const override {
    std::unique_ptr<T> object = Build(host, L, position);
    T* raw = object.get();
    host.PushTemporary(std::make_unique<ConcreteImplicitCreatedHolder<T>>(std::move(object)));
    return raw;
  }

 private:
  std::unique_ptr<T> Build(CHost& host, lua_State* L, int start) const {
    static const std::string what = NativeTypeName<T>();
    return Args::Apply(host, L, start, what, [this](auto&&... a) {
      return static_cast<const Derived*>(this)->Make(std::forward<decltype(a)>(a)...);
    });
  }
};

template <typename T, typename... A>
class ConstructorClass : public ConstructorEntryBase<T, ArgumentList<A...>, ConstructorClass<T, A...>> {
 public:
  using ConstructorEntryBase<T, ArgumentList<A...>, ConstructorClass<T, A...>>::ConstructorEntryBase;
  template <typename... V>
  std::unique_ptr<T> Make(V&&... v) const {
    return std::unique_ptr<T>(new T(std::forward<V>(v)...));
  }
};

template <typename T, typename F>
class FactoryConstructorClass;
template <typename T, typename R, typename... A>
class FactoryConstructorClass<T, R (*)(A...)>
    : public ConstructorEntryBase<T, ArgumentList<A...>, FactoryConstructorClass<T, R (*)(A...)>> {
  using Base = ConstructorEntryBase<T, ArgumentList<A...>, FactoryConstructorClass<T, R (*)(A...)>>;

 public:
  FactoryConstructorClass(R (*fn)(A...), bool isExplicit, PolicyPtr policy) : Base(isExplicit, std::move(policy)), m_Fn(fn) {}
  template <typename... V>
  std::unique_ptr<T> Make(V&&... v) const {
    return std::unique_ptr<T>(new T(m_Fn(std::forward<V>(v)...)));
  }

 private:
  R (*m_Fn)(A...);
};

}  // namespace impl
}  // namespace uibind

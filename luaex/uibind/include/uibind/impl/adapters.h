#pragma once
// Conversions from a class to a direct base or another declared target class.
#include <string>

#include "uibind/impl/types.h"

namespace uibind {
class CHost;
namespace impl {

class GenericClass;

class ClassConvertAdapter {
 public:
  using Caster = void* (*)(void*);

  ClassConvertAdapter(const char* targetType, Caster upCaster) : m_TargetType(targetType), m_UpCaster(upCaster) {}
  virtual ~ClassConvertAdapter() = default;

  virtual const char* GetTargetType() const { return m_TargetType; }
  // Looked up in the host on first use and cached; raises a Lua error when missing.
  virtual GenericClass* GetTargetGenericClass(CHost& host);
  virtual void* UpCast(void* object) const { return m_UpCaster(object); }
  virtual bool IsInheritance() const { return false; }
  // Null refuses the conversion.
  virtual void* DownCast(void* object) const {
    (void)object;
    return nullptr;
  }
  virtual bool InheritClassValues() const { return false; }

  // The cached target, or a host lookup without raising anything.
  GenericClass* FindTargetGenericClass(CHost& host);

 protected:
  const char* m_TargetType;
  Caster m_UpCaster;
  GenericClass* m_pTarget = nullptr;
};

// A declared conversion to a class that is not a base (for example a handle wrapper).
class ClassUpCastConvertAdapter : public ClassConvertAdapter {
 public:
  using ClassConvertAdapter::ClassConvertAdapter;
};

// A direct base class: converts both ways and passes its class values on.
class ClassInheritanceConvertAdapter : public ClassConvertAdapter {
 public:
  ClassInheritanceConvertAdapter(const char* targetType, Caster upCaster, Caster downCaster)
      : ClassConvertAdapter(targetType, upCaster), m_DownCaster(downCaster) {}
  bool IsInheritance() const override { return true; }
  void* DownCast(void* object) const override { return m_DownCaster ? m_DownCaster(object) : nullptr; }
  bool InheritClassValues() const override { return true; }

 private:
  Caster m_DownCaster;
};

// A declared conversion through a typed caster function.
template <typename T, typename Target>
class TypedUpCastConvertAdapter : public ClassUpCastConvertAdapter {
 public:
  using Function = Target* (*)(T*);
  TypedUpCastConvertAdapter(const char* targetType, Function fn)
      : ClassUpCastConvertAdapter(targetType, nullptr), m_Function(fn) {}
  void* UpCast(void* object) const override { return m_Function(static_cast<T*>(object)); }

 private:
  Function m_Function;
};

template <typename Derived, typename Base>
void* UpCastStatic(void* p) {
  return static_cast<Base*>(static_cast<Derived*>(p));
}
// Down-casts are checked at run time; without a vtable they are refused.
template <typename Derived, typename Base>
void* DownCastChecked(void* p) {
  if constexpr (std::is_polymorphic_v<Base>) {
    return dynamic_cast<Derived*>(static_cast<Base*>(p));
  } else {
    (void)p;
    return nullptr;
  }
}

}  // namespace impl
}  // namespace uibind

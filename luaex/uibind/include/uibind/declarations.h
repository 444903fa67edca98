#pragma once
// Declaring classes, free functions, values and namespaces for a binding host.
//
//   uibind::Class<CPoint> point("Point");
//   point.Constructor<>().Constructor<int, int>()
//        .Method("Length", &CPoint::Length)
//        .Member("x", &CPoint::x)
//        .Property("norm", &CPoint::Norm, &CPoint::SetNorm)
//        .BinaryOperator<uibind::OP_ADD, const CPoint&, const CPoint&>();
//   uibind::NamespaceDeclaration geo("geo");
//   geo.Add(point).Add(uibind::Function("Origin", &Origin));
//   host.Insert(geo);  // geo.Point, geo.Origin
#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "uibind/host.h"
#include "uibind/impl/class_record.h"
#include "uibind/impl/constructors.h"
#include "uibind/impl/functions.h"
#include "uibind/impl/members.h"
#include "uibind/impl/methods.h"
#include "uibind/impl/operators.h"
#include "uibind/impl/values.h"
#include "uibind/policy.h"

namespace uibind {

enum Explicitness { NonExplicit = 0, Explicit = 1 };

// A declared class of any native type; built with Class<T>.
class ClassDeclaration {
 public:
  ClassDeclaration(ClassDeclaration&&) = default;
  ClassDeclaration& operator=(ClassDeclaration&&) = default;
  virtual ~ClassDeclaration() = default;

  const impl::GenericClass& Record() const { return *m_Record; }
  // Gives the record away (to a host or a namespace); the declaration is empty afterwards.
  std::unique_ptr<impl::GenericClass> Release() { return std::move(m_Record); }
  void Prefix(const std::string& ns);

 protected:
  explicit ClassDeclaration(std::unique_ptr<impl::GenericClass> record) : m_Record(std::move(record)) {}
  std::unique_ptr<impl::GenericClass> m_Record;
};

template <typename T>
class Class : public ClassDeclaration {
 public:
  // An empty name makes a class without a Lua table, named after its native type.
  explicit Class(std::string name = "")
      : ClassDeclaration(std::make_unique<impl::GenericClass>(std::move(name), impl::TypeKey<T>(),
                                                              impl::NativeTypeName<T>(), &impl::CollectObject)) {}

  // new T(A...) from Lua arguments converted to A...
  template <typename... A>
  Class& Constructor(Explicitness e = NonExplicit, GenericMethodPolicy policy = {}) {
    m_Record->m_Constructors.push_back(
        std::make_unique<impl::ConstructorClass<T, A...>>(e == Explicit, impl::MakePolicy(std::move(policy))));
    return *this;
  }
  // new T(fn(A...)): for types without a suitable native constructor.
  template <typename R, typename... A>
  Class& Factory(R (*fn)(A...), Explicitness e = NonExplicit, GenericMethodPolicy policy = {}) {
    m_Record->m_Constructors.push_back(std::make_unique<impl::FactoryConstructorClass<T, R (*)(A...)>>(
        fn, e == Explicit, impl::MakePolicy(std::move(policy))));
    return *this;
  }
  // A member function (const-ness from its type), or a free function taking the object
  // first (T&, const T&, T* or const T*; const-ness from that parameter).
  template <typename F>
  Class& Method(std::string name, F fn, GenericMethodPolicy policy = {}) {
    m_Record->AddMethod(MakeMethod(std::move(name), fn, std::move(policy)));
    return *this;
  }
  // As Method, for calls that pass the object again as Lua argument 1 (obj:Method()).
  template <typename F>
  Class& MethodWithSelf(std::string name, F fn, GenericMethodPolicy policy = {}) {
    auto method = MakeMethod(std::move(name), fn, std::move(policy));
    method->m_bSelfInArguments = true;
    m_Record->AddMethod(std::move(method));
    return *this;
  }
  template <typename M, typename C>
  Class& Member(std::string name, M C::*member) {
    static_assert(std::is_base_of_v<C, T>, "uibind: member of an unrelated class");
    m_Record->m_Members[std::move(name)] = std::make_unique<impl::MemberClass<T, M, C>>(member);
    return *this;
  }
  // A getter (const member function, or free function taking a const object) and an
  // optional setter (member function, or free function taking the object first).
  template <typename G, typename S = std::nullptr_t>
  Class& Property(std::string name, G getter, S setter = nullptr) {
    auto member = std::make_unique<impl::FreePropertyClass<T, G, S>>(name, getter, setter);
    m_Record->m_Members[std::move(name)] = std::move(member);
    return *this;
  }
  // An operator from a free function whose parameters take the Lua operands in order.
  template <typename R, typename... A>
  Class& Operator(OperatorCode code, R (*fn)(A...), GenericMethodPolicy policy = {}) {
    m_Record->AddOperator(code, std::make_unique<impl::OperatorMethod<T, R (*)(A...)>>(code, fn,
                                                                                     impl::MakePolicy(std::move(policy))));
    return *this;
  }
  template <OperatorCode Code, typename Left, typename Right>
  Class& BinaryOperator(GenericMethodPolicy policy = {}) {
    return Operator(Code, &BinaryOperatorGenerator<Code, Left, Right>::Apply, std::move(policy));
  }
  // A direct base class: converts both ways (down only for polymorphic classes) and
  // passes its class values on.
  template <typename Base>
  Class& Inherits() {
    static_assert(std::is_base_of_v<Base, T>, "uibind: not a base class");
    const char* key = impl::TypeKey<Base>();
    m_Record->m_Converters[key] = std::make_unique<impl::ClassInheritanceConvertAdapter>(
        key, &impl::UpCastStatic<T, Base>, &impl::DownCastChecked<T, Base>);
    return *this;
  }
  // A one-way conversion to another class through a caster function (null refuses).
  template <typename Target>
  Class& UpCast(Target* (*caster)(T*)) {
    const char* key = impl::TypeKey<Target>();
    m_Record->m_Converters[key] = std::make_unique<impl::TypedUpCastConvertAdapter<T, Target>>(key, caster);
    return *this;
  }
  // A value stored in the class table.
  template <typename V>
  Class& Value(std::string name, V value) {
    m_Record->m_ClassValues[std::move(name)] = impl::MakeLuaValue(value);
    return *this;
  }

 private:
  template <typename F>
  static std::unique_ptr<impl::GenericMethod> MakeMethod(std::string name, F fn, GenericMethodPolicy policy) {
    if constexpr (std::is_member_function_pointer_v<F>) {
      return std::make_unique<impl::MethodClass<T, F>>(std::move(name), fn, impl::MakePolicy(std::move(policy)));
    } else {
      return std::make_unique<impl::GlobalMethodClass<T, F>>(std::move(name), fn, impl::MakePolicy(std::move(policy)));
    }
  }
};

class FunctionDeclaration {
 public:
  explicit FunctionDeclaration(std::unique_ptr<impl::GenericFunction> fn) : m_Function(std::move(fn)) {}
  std::unique_ptr<impl::GenericFunction> Release() { return std::move(m_Function); }
  void Prefix(const std::string& ns);

 private:
  std::unique_ptr<impl::GenericFunction> m_Function;
};

template <typename R, typename... A>
FunctionDeclaration Function(std::string name, R (*fn)(A...), GenericMethodPolicy policy = {}) {
  return FunctionDeclaration(
      std::make_unique<impl::FunctionClass<R (*)(A...)>>(std::move(name), fn, impl::MakePolicy(std::move(policy))));
}

class ValueDeclaration {
 public:
  ValueDeclaration(std::string name, std::unique_ptr<impl::LuaValue> value)
      : m_Name(std::move(name)), m_Value(std::move(value)) {}
  void Prefix(const std::string& ns);
  std::string m_Name;
  std::unique_ptr<impl::LuaValue> m_Value;
};

template <typename V>
ValueDeclaration Value(std::string name, V value) {
  return ValueDeclaration(std::move(name), impl::MakeLuaValue(value));
}

// Groups declarations under a dotted prefix. Adding moves the declaration in.
class NamespaceDeclaration {
 public:
  explicit NamespaceDeclaration(std::string name = "") : m_Name(std::move(name)) {}
  NamespaceDeclaration(NamespaceDeclaration&&) = default;
  NamespaceDeclaration& operator=(NamespaceDeclaration&&) = default;

  NamespaceDeclaration& Add(ClassDeclaration& c);
  NamespaceDeclaration& Add(ClassDeclaration&& c) { return Add(c); }
  NamespaceDeclaration& Add(FunctionDeclaration& f);
  NamespaceDeclaration& Add(FunctionDeclaration&& f) { return Add(f); }
  NamespaceDeclaration& Add(ValueDeclaration& v);
  NamespaceDeclaration& Add(ValueDeclaration&& v) { return Add(v); }
  // Moves all of n's contents in, each prefixed again with this namespace's name.
  NamespaceDeclaration& Add(NamespaceDeclaration& n);
  NamespaceDeclaration& Add(NamespaceDeclaration&& n) { return Add(n); }

  const std::string& Name() const { return m_Name; }

 private:
  friend class CHost;
  std::string m_Name;
  std::vector<std::unique_ptr<impl::GenericClass>> m_Classes;
  std::vector<std::unique_ptr<impl::GenericFunction>> m_Functions;
  std::vector<ValueDeclaration> m_Values;
};

}  // namespace uibind

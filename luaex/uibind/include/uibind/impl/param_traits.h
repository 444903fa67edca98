#pragma once
// Chooses the matcher of a native parameter type.
#include <string>
#include <type_traits>

#include "uibind/impl/match_class.h"
#include "uibind/impl/match_scalar.h"
#include "uibind/impl/match_string.h"

namespace uibind {
namespace impl {

template <typename T>
constexpr bool kIsIntegerLike = (std::is_integral_v<T> && !std::is_same_v<T, bool>) || std::is_enum_v<T>;
template <typename T>
constexpr bool kIsClassLike = std::is_class_v<T> && !std::is_same_v<T, std::string>;

template <typename P, typename Enable = void>
struct ParamTraits {
  static_assert(sizeof(P) == 0, "uibind: this parameter type cannot be bound");
};

template <>
struct ParamTraits<bool> : BoolParam<false> {};
template <>
struct ParamTraits<const bool&> : BoolParam<true> {};

template <typename T>
struct ParamTraits<T, std::enable_if_t<kIsIntegerLike<T>>> : IntegerParam<T, false> {};
template <typename T>
struct ParamTraits<const T&, std::enable_if_t<kIsIntegerLike<T>>> : IntegerParam<T, true> {};

template <typename T>
struct ParamTraits<T, std::enable_if_t<std::is_floating_point_v<T>>> : FloatParam<T, false> {};
template <typename T>
struct ParamTraits<const T&, std::enable_if_t<std::is_floating_point_v<T>>> : FloatParam<T, true> {};

template <>
struct ParamTraits<const char*> : CStringParam {};
template <>
struct ParamTraits<std::string> : StdStringParam<false> {};
template <>
struct ParamTraits<const std::string&> : StdStringParam<true> {};

template <typename T>
struct ParamTraits<T, std::enable_if_t<kIsClassLike<T>>> : ClassParam<T, ClassForm::Value> {};
template <typename T>
struct ParamTraits<const T&, std::enable_if_t<kIsClassLike<T>>> : ClassParam<T, ClassForm::ConstRef> {};
template <typename T>
struct ParamTraits<T&, std::enable_if_t<kIsClassLike<T> && !std::is_const_v<T>>> : ClassParam<T, ClassForm::Ref> {};
template <typename T>
struct ParamTraits<T*, std::enable_if_t<kIsClassLike<T> && !std::is_const_v<T>>> : ClassParam<T, ClassForm::Ptr> {};
template <typename T>
struct ParamTraits<const T*, std::enable_if_t<kIsClassLike<T>>> : ClassParam<T, ClassForm::ConstPtr> {};

}  // namespace impl
}  // namespace uibind

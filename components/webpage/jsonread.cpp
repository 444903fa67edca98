#include "components/webpage/jsonread.h"

#include <cmath>
#include <cstdint>

namespace webpage {

const Json& JsonField(const Json& object, const char* name) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  auto it = object.find(name);
  return it == object.end() ? kNull : *it;
}

std::string JsonText(const Json& object, const char* name) {
  const Json& value = JsonField(object, name);
  return value.is_string() ? value.get<std::string>() : "";
}

bool ReadWholeNumber(const Json& value, long long min, long long max, long long* out) {
  long long number = 0;
  if (value.is_number_unsigned()) {
    uint64_t unsignedValue = value.get<uint64_t>();
    if (max < 0 || unsignedValue > static_cast<uint64_t>(max)) return false;
    number = static_cast<long long>(unsignedValue);
  } else if (value.is_number_integer()) {
    number = value.get<int64_t>();
  } else if (value.is_number_float()) {
    double real = value.get<double>();
    // Only a finite whole number inside the range of long long may be converted
    // (-2^63 is exact as a double; 2^63 is the first value past the end).
    if (!std::isfinite(real) || std::trunc(real) != real) return false;
    if (!(real >= -9223372036854775808.0 && real < 9223372036854775808.0)) return false;
    number = static_cast<long long>(real);
  } else {
    return false;
  }
  if (number < min || number > max) return false;
  *out = number;
  return true;
}

NumberRead ReadNumberField(const Json& object, const char* name, long long min, long long max, long long* out,
                           std::string* why) {
  const Json& value = JsonField(object, name);
  if (value.is_null()) return NumberRead::Absent;
  if (ReadWholeNumber(value, min, max, out)) return NumberRead::Read;
  std::string shown = value.is_number_float() && !std::isfinite(value.get<double>()) ? "a value that is not finite"
                                                                                      : value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
  *why = std::string(name) + " " + shown + " is not a whole number from " + std::to_string(min) + " to " +
         std::to_string(max);
  return NumberRead::Refused;
}

}  // namespace webpage

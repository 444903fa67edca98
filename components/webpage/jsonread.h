#pragma once
// Reading values out of the JSON that Chromium and pages send. Neither is trusted to
// keep numbers in the range a field needs: a number only becomes an integer after a
// range check (1e300 or 2^64 never reach a conversion).
#include <string>

#include <nlohmann/json.hpp>

namespace webpage {

using Json = nlohmann::json;

// The member `name` of an object; a null value when `object` is no object or lacks it.
const Json& JsonField(const Json& object, const char* name);
// The member `name` when it is a string, else "".
std::string JsonText(const Json& object, const char* name);

// A JSON number that is a whole number from `min` to `max` (integers of either sign,
// and floating point numbers without a fraction). False, and *out untouched, for
// anything else: not a number, a fraction, out of range, infinite or NaN.
bool ReadWholeNumber(const Json& value, long long min, long long max, long long* out);

enum class NumberRead { Read, Absent, Refused };
// The member `name` of an object as a whole number from `min` to `max`: Read (*out
// set), Absent (no such member, or null), or Refused (any other value; *why says what
// was wrong, for a log line).
NumberRead ReadNumberField(const Json& object, const char* name, long long min, long long max, long long* out,
                           std::string* why);

}  // namespace webpage

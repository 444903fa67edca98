#pragma once
// Reading the parameter texts that callers send: key=value lines split at '\n', each line
// split at its first '='. Nothing is trimmed or unescaped; a value keeps a trailing '\r'.
// Empty lines are skipped; a line without '=' or with an empty key is reported and
// skipped; a repeated key is reported and the later value is kept.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace datastore {

struct CParams {
  std::map<std::string, std::string> values;  // UTF-8
  std::vector<std::string> problems;          // what was skipped, for the log

  const std::string* Find(const char* key) const;
};

CParams ParseParams(const wchar_t* text);

// A decimal integer: an optional '-' and 1 to 18 digits, nothing else.
bool ParseDecimal(const std::string& text, int64_t* value);
// A hexadecimal index: 1 to 8 hexadecimal digits, nothing else.
bool ParseHexIndex(const std::string& text, int64_t* value);
// "Y-M-D h:m:s" with or without zero padding (the form callers write, e.g. "2024-3-7 9:7:2")
// into "YYYY-MM-DD hh:mm:ss"; false for anything else or an impossible date.
bool NormalizeDate(const std::string& text, std::string* normalized);
// The local time now, normalised.
std::string NowDate();
// The local time `days` days before now, normalised (0 <= days <= a few million).
std::string DateDaysAgo(int64_t days);

}  // namespace datastore

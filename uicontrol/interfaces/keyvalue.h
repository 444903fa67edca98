#pragma once
// The key=value texts that carry page orders, page events and store parameters between
// the library and its components: one entry a line, name "=" value, every line ended by a
// line feed, names in ascending order when written. Nothing is escaped, so whoever writes
// a value keeps it on its line: the checked writer refuses a value that would add a line,
// the sanitising writer turns line breaks into spaces.
//
// Header-only, so that the components and hosts read and write these texts by the same
// rules without linking the library.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace keyvalue {

using Map = std::map<std::wstring, std::wstring>;

// How far a reader reads.
enum class Reading {
  // Every line.
  kAllLines,
  // The library's reading of page events, which hosts and pages depend on: the text ends
  // at a line whose second character is a line feed (a line of one character, or an empty
  // line right before another empty line).
  kEventText,
};

// Calls visit(line) for every line read, without its line feed. A last line without a
// line feed counts; an empty text has no lines.
template <class Visit>
void ForEachLine(std::wstring_view text, Reading reading, Visit&& visit) {
  const size_t n = text.size();
  size_t start = 0;
  while (start < n) {
    if (reading == Reading::kEventText && start + 1 < n && text[start + 1] == L'\n') return;
    // Lines are short: a plain loop beats a call to the library's search.
    size_t end = start;
    while (end < n && text[end] != L'\n') ++end;
    visit(text.substr(start, end - start));
    start = end + 1;
  }
}

// Splits a line at its first "=". False for a line without a name (no "=", or "=" first).
inline bool SplitLine(std::wstring_view line, std::wstring_view* name, std::wstring_view* value) {
  const size_t eq = line.find(L'=');
  if (eq == std::wstring_view::npos || eq == 0) return false;
  *name = line.substr(0, eq);
  *value = line.substr(eq + 1);
  return true;
}

// Names and lines are a few characters long: plain loops beat calls to the C library's
// searches and comparisons here.
inline bool HasChar(std::wstring_view text, wchar_t wanted) {
  for (wchar_t c : text) {
    if (c == wanted) return true;
  }
  return false;
}

// True when `line` is the entry of `name` (which holds no "="); its value goes to *value.
inline bool LineNames(std::wstring_view line, std::wstring_view name, std::wstring_view* value) {
  const size_t n = name.size();
  if (line.size() <= n || line[n] != L'=') return false;
  for (size_t i = 0; i < n; ++i) {
    if (line[i] != name[i]) return false;
  }
  *value = line.substr(n + 1);
  return true;
}

// The value of the last line that names `name`; false when none does (or the name could
// never be read back: empty or holding "="). The view points into `text`.
inline bool FindValue(std::wstring_view text, std::wstring_view name, Reading reading, std::wstring_view* value) {
  if (name.empty() || HasChar(name, L'=')) return false;
  bool found = false;
  ForEachLine(text, reading, [&](std::wstring_view line) { found = LineNames(line, name, value) || found; });
  return found;
}

// The values of several names in one pass, for events that carry more than one. Bit i of
// the result says whether names[i] was found; values[i] is then its last value.
template <size_t N>
unsigned FindValues(std::wstring_view text, Reading reading, const std::wstring_view (&names)[N],
                    std::wstring_view (&values)[N]) {
  static_assert(N <= sizeof(unsigned) * 8, "one bit per name");
  unsigned readable = 0;
  for (size_t i = 0; i < N; ++i) {
    if (!names[i].empty() && !HasChar(names[i], L'=')) readable |= 1u << i;
  }
  unsigned found = 0;
  ForEachLine(text, reading, [&](std::wstring_view line) {
    for (size_t i = 0; i < N; ++i) {
      if ((readable >> i & 1u) && LineNames(line, names[i], &values[i])) {
        found |= 1u << i;
        break;
      }
    }
  });
  return found;
}

// Every named line, a later name replacing an earlier one. A null text reads as empty.
inline Map Parse(const wchar_t* text, Reading reading) {
  Map entries;
  if (!text) return entries;
  ForEachLine(text, reading, [&](std::wstring_view line) {
    std::wstring_view name, value;
    if (SplitLine(line, &name, &value)) entries[std::wstring(name)] = std::wstring(value);
  });
  return entries;
}

// True when the value cannot add a line: no line feed, and no NUL (which would cut the
// text short where it is handed on as a C string).
inline bool IsSingleLine(std::wstring_view value) {
  for (wchar_t c : value) {
    if (c == L'\n' || c == L'\0') return false;
  }
  return true;
}

// A text from outside made fit for a line: line feeds and carriage returns become
// spaces, NULs are dropped.
inline std::wstring SingleLine(std::wstring_view value) {
  std::wstring out;
  out.reserve(value.size());
  for (wchar_t c : value) {
    if (c == L'\0') continue;
    out.push_back(c == L'\n' || c == L'\r' ? L' ' : c);
  }
  return out;
}

// A name a reader gives back as written: not empty, no "=", on one line.
inline bool IsValidName(std::wstring_view name) {
  return !name.empty() && !HasChar(name, L'=') && IsSingleLine(name);
}

// Writes the entries, or refuses (false, *text untouched) when a name is not valid or a
// value would add a line.
inline bool WriteChecked(const Map& entries, std::wstring* text) {
  std::wstring out;
  for (const auto& entry : entries) {
    if (!IsValidName(entry.first) || !IsSingleLine(entry.second)) return false;
    out += entry.first;
    out += L'=';
    out += entry.second;
    out += L'\n';
  }
  text->swap(out);
  return true;
}

// Writes the entries with every name and value made single-line first, for texts that
// come from pages and must be passed on whatever they hold.
inline std::wstring WriteSanitized(const Map& entries) {
  std::wstring out;
  for (const auto& entry : entries) {
    out += SingleLine(entry.first);
    out += L'=';
    out += SingleLine(entry.second);
    out += L'\n';
  }
  return out;
}

// Lower-case hexadecimal without prefix, as "%x" writes it.
inline std::wstring Hex(uint64_t value) {
  wchar_t digits[16];
  size_t count = 0;
  do {
    digits[count++] = L"0123456789abcdef"[value & 0xf];
    value >>= 4;
  } while (value != 0);
  std::wstring text;
  text.reserve(count);
  while (count > 0) text.push_back(digits[--count]);
  return text;
}

// A whole text of 1 to 8 hexadecimal digits (either case, no prefix, no sign).
inline bool ParseHex32(std::wstring_view text, uint32_t* value) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t result = 0;
  for (wchar_t c : text) {
    uint32_t digit;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<uint32_t>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<uint32_t>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<uint32_t>(c - L'A' + 10);
    } else {
      return false;
    }
    result = (result << 4) | digit;
  }
  *value = result;
  return true;
}

// A whole text of decimal digits (no sign) that fits 32 bits.
inline bool ParseDecimal32(std::wstring_view text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (result > 0xffffffffull) return false;
  *value = static_cast<uint32_t>(result);
  return true;
}

}  // namespace keyvalue

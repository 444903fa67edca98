#pragma once
// One pass over an event text as it arrives from a page: NUL-terminated, read line by
// line without taking its length first. The rules are those of keyvalue.h's event
// reading: a line whose second character is a line feed ends the text, a line names
// `name` when it starts with "name=", and the last such line wins.
#include <cstddef>
#include <cwchar>
#include <string_view>
#include <utility>

namespace eventscan {

// Whether `line` (not NUL-terminated) starts with `name` followed by "="; if so, *value
// is the rest of the line.
inline bool LineNames(const wchar_t* line, const wchar_t* end, std::wstring_view name, std::wstring_view* value) {
  const size_t n = name.size();
  if (static_cast<size_t>(end - line) <= n || line[n] != L'=') return false;
  for (size_t i = 0; i < n; ++i) {
    if (line[i] != name[i]) return false;
  }
  *value = std::wstring_view(line + n + 1, static_cast<size_t>(end - line) - n - 1);
  return true;
}

// Calls visit(begin, end) for every line read, without its line feed.
template <class Visit>
void ForEachLine(const wchar_t* text, Visit&& visit) {
  const wchar_t* p = text;
  while (*p != L'\0') {
    if (p[1] == L'\n') return;
    const wchar_t* end = p;
    while (*end != L'\0' && *end != L'\n') ++end;
    visit(p, end);
    p = *end == L'\0' ? end : end + 1;
  }
}

// The values of several names (each non-empty and without "="), in one pass. Bit i of
// the result says whether names[i] was found.
template <size_t N, class Lines>
unsigned FindValuesIn(const wchar_t* text, Lines&& forEachLine, const std::wstring_view (&names)[N],
                      std::wstring_view (&values)[N]) {
  unsigned found = 0;
  forEachLine(text, [&](const wchar_t* line, const wchar_t* end) {
    for (size_t i = 0; i < N; ++i) {
      if (LineNames(line, end, names[i], &values[i])) {
        found |= 1u << i;
        break;
      }
    }
  });
  return found;
}

template <size_t N>
unsigned FindValues(const wchar_t* text, const std::wstring_view (&names)[N], std::wstring_view (&values)[N]) {
  return FindValuesIn(text, [](const wchar_t* t, auto&& visit) { ForEachLine(t, visit); }, names, values);
}

// ForEachLine for texts of long lines (titles, addresses): each line's end is found by
// the C library's vectorised search, which stops at a line feed or at the text's end and
// beats a plain loop past a few dozen characters. The text is read once: its length is
// taken only for a last line without a line feed.
template <class Visit>
void ForEachLongLine(const wchar_t* text, Visit&& visit) {
  const wchar_t* p = text;
  while (*p != L'\0') {
    if (p[1] == L'\n') return;
    const wchar_t* end = std::wcschr(p, L'\n');
    if (!end) {
      visit(p, p + std::wcslen(p));
      return;
    }
    visit(p, end);
    p = end + 1;
  }
}

template <size_t N>
unsigned FindValuesInLongLines(const wchar_t* text, const std::wstring_view (&names)[N],
                               std::wstring_view (&values)[N]) {
  return FindValuesIn(text, [](const wchar_t* t, auto&& visit) { ForEachLongLine(t, visit); }, names, values);
}

namespace detail {

// Whether text[First..] starts with name[First..N-1), compared one known character at a
// time (unrolled, and stopping at the first difference, so never past a shorter text's
// end).
template <size_t N, size_t... I>
bool StartsWith(const wchar_t* text, const wchar_t (&name)[N], std::index_sequence<I...>) {
  return ((text[I] == name[I]) && ...);
}

}  // namespace detail

// The value of a name known when compiling (no "=" in it), in one pass: each line is
// compared with the name as it is read, and read no further than its end.
template <size_t N>
bool Find(const wchar_t* text, const wchar_t (&name)[N], std::wstring_view* value) {
  bool found = false;
  const wchar_t* p = text;
  while (*p != L'\0') {
    if (p[1] == L'\n') break;
    const wchar_t* end = p;
    if (detail::StartsWith(p, name, std::make_index_sequence<N - 1>()) && p[N - 1] == L'=') {
      const wchar_t* begin = end = p + N;
      while (*end != L'\0' && *end != L'\n') ++end;
      *value = std::wstring_view(begin, static_cast<size_t>(end - begin));
      found = true;
    } else {
      while (*end != L'\0' && *end != L'\n') ++end;
    }
    p = *end == L'\0' ? end : end + 1;
  }
  return found;
}

// Whether the NUL-terminated `key` is `expected` with its NUL (the caller has matched the
// first character already; comparing it again costs nothing).
template <size_t N>
bool Is(const wchar_t* key, const wchar_t (&expected)[N]) {
  return detail::StartsWith(key, expected, std::make_index_sequence<N>());
}

}  // namespace eventscan

#pragma once
// The bracketed header that starts every log line.
#include <ostream>

namespace logging {
namespace detail {

// The part of a source path after its last '\' or '/' (the whole text without either).
const char* BaseName(const char* file);
// "INFO" .. "FATAL"; "VERBOSE" and the negated level below 0; "LEVEL" and the number above 4.
void WriteLevelName(std::ostream& out, int level);
// "[" [pid=N ] [tid=N ] [MM-DD/hh:mm:ss ] [ticks ] level " " base name "(" line ")] "
void WriteHeader(std::ostream& out, const char* file, int line, int level);

}  // namespace detail
}  // namespace logging

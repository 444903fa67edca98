#pragma once
// The log file: its name, its descriptor, and appending finished lines to it.
#include <string>

namespace logging {
namespace detail {

// The executable's folder followed by "debug.log".
std::wstring DefaultLogFileName();
// Takes the file lock, opens the file when needed and appends the text in one write.
void AppendToLogFile(const std::string& text);
void ResetLogFile();

}  // namespace detail
}  // namespace logging

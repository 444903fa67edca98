// SystemErrorLogEntry: the system's text for an error number, appended at completion.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include "logging/logging.h"

namespace logging {
namespace {

// strerror_r comes in two forms; both give the text or null.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* ErrorText(const char* result, const char*) { return result; }

std::string SystemErrorSuffix(int errorCode) {
  char buffer[256] = "";
  errno = 0;
  const char* found = ErrorText(strerror_r(errorCode, buffer, sizeof buffer), buffer);
  const int lookupError = errno;
  if (found && *found) {
    std::string text(found);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return ": " + text;
  }
  return ": Error " + std::to_string(lookupError) + " while retrieving error " + std::to_string(errorCode);
}

}  // namespace

// The module names where a Windows message table would be looked up; the texts here come
// from the C library alone, so it goes unused.
SystemErrorLogEntry::SystemErrorLogEntry(const char* file, int line, int level, int errorCode, const char* /*module*/)
    : m_errorCode(errorCode), m_entry(file, line, level) {}

SystemErrorLogEntry::~SystemErrorLogEntry() {
  try {
    m_entry.stream() << SystemErrorSuffix(m_errorCode);
  } catch (...) {
    // The entry still completes with what it has.
  }
  // m_entry completes when it is destroyed, right after this.
}

}  // namespace logging

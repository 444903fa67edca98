#include "logging/entry_header.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "logging/logging.h"
#include "logging/settings.h"
#include "platform/system.h"

namespace logging {
namespace detail {

const char* BaseName(const char* file) {
  if (!file) return "";
  const char* base = file;
  for (const char* p = file; *p; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  return base;
}

void WriteLevelName(std::ostream& out, int level) {
  static const char* const kNames[] = {"INFO", "WARNING", "ERROR", "ERROR_REPORT", "FATAL"};
  char buffer[32];
  if (level >= 0 && level <= LOG_FATAL) {
    out << kNames[level];
    return;
  }
  // Widened so that the lowest int negates without overflow.
  if (level < 0) {
    std::snprintf(buffer, sizeof buffer, "VERBOSE%lld", -static_cast<long long>(level));
  } else {
    std::snprintf(buffer, sizeof buffer, "LEVEL%d", level);
  }
  out << buffer;
}

void WriteHeader(std::ostream& out, const char* file, int line, int level) {
  // Numbers are printed with snprintf so that a locale the host sets on the streams
  // cannot change the header's bytes.
  char prefix[128] = "[";
  size_t used = 1;
  auto append = [&](const char* format, auto... values) {
    int n = std::snprintf(prefix + used, sizeof prefix - used, format, values...);
    if (n > 0) used = std::min(sizeof prefix - 1, used + static_cast<size_t>(n));
  };
  const PrefixItems items = GetPrefixItems();
  if (items.processId) append("pid=%u ", static_cast<unsigned>(GetCurrentProcessId()));
  if (items.threadId) append("tid=%ld ", static_cast<long>(gettid()));
  if (items.timeStamp) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    append("%02u-%02u/%02u:%02u:%02u ", unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour},
           unsigned{now.wMinute}, unsigned{now.wSecond});
  }
  if (items.tickCount) append("%u ", static_cast<unsigned>(GetTickCount()));
  out.write(prefix, static_cast<std::streamsize>(used));
  WriteLevelName(out, level);
  std::snprintf(prefix, sizeof prefix, "(%d)] ", line);
  out << ' ' << BaseName(file) << prefix;
}

}  // namespace detail
}  // namespace logging

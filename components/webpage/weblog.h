#pragma once
// The component's own small log. By default each entry is one "webpage: ..." line on
// standard error; a host or a test installs a sink to collect the entries instead.
#include <functional>
#include <string>

#include "components/webpage/webpagemanager.h"

namespace webpage {

enum class LogLevel { Info, Warning, Error };

using LogSink = std::function<void(LogLevel level, const std::string& text)>;

// Replaces the sink; an empty function restores the standard error lines.
// The sink is called without any lock of the component held, from any thread.
WEBPAGE_API void SetLogSink(LogSink sink);

WEBPAGE_API const char* LogLevelName(LogLevel level);

void Log(LogLevel level, const std::string& text);
inline void LogInfo(const std::string& text) { Log(LogLevel::Info, text); }
inline void LogWarning(const std::string& text) { Log(LogLevel::Warning, text); }
inline void LogError(const std::string& text) { Log(LogLevel::Error, text); }

}  // namespace webpage

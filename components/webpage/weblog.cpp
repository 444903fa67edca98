#include "components/webpage/weblog.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace webpage {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<LogSink>& SinkSlot() {
  static std::shared_ptr<LogSink> sink;
  return sink;
}

}  // namespace

void SetLogSink(LogSink sink) {
  std::shared_ptr<LogSink> next = sink ? std::make_shared<LogSink>(std::move(sink)) : nullptr;
  std::lock_guard<std::mutex> guard(SinkMutex());
  SinkSlot().swap(next);
}

const char* LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Info: return "info";
    case LogLevel::Warning: return "warning";
    case LogLevel::Error: return "error";
  }
  return "?";
}

void Log(LogLevel level, const std::string& text) {
  std::shared_ptr<LogSink> sink;
  {
    std::lock_guard<std::mutex> guard(SinkMutex());
    sink = SinkSlot();
  }
  if (sink) {
    (*sink)(level, text);
    return;
  }
  std::string line = "webpage: " + std::string(LogLevelName(level)) + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace webpage

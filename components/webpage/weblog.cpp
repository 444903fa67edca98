#include "components/webpage/weblog.h"

#include <cstdio>
#include <memory>

#include "platform/mutex.h"

namespace webpage {
namespace {

// The sink and its mutex, made on first use so that logging from static
// initialisers of other files finds them.
struct SinkSlot {
  platform::CMutex mutex;
  std::shared_ptr<LogSink> sink GUARDED_BY(mutex);
};

SinkSlot& Slot() {
  static SinkSlot slot;
  return slot;
}

}  // namespace

void SetLogSink(LogSink sink) {
  std::shared_ptr<LogSink> next = sink ? std::make_shared<LogSink>(std::move(sink)) : nullptr;
  SinkSlot& slot = Slot();
  platform::CMutexLock guard(slot.mutex);
  slot.sink.swap(next);
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
    SinkSlot& slot = Slot();
    platform::CMutexLock guard(slot.mutex);
    sink = slot.sink;
  }
  if (sink) {
    (*sink)(level, text);
    return;
  }
  std::string line = "webpage: " + std::string(LogLevelName(level)) + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace webpage

// Settings start with their values at load. Plain values are atomics so that a host may
// change them while other threads log; the handlers sit behind a mutex and are copied
// out before they are called.
#include "logging/settings.h"
#include "platform/mutex.h"

#include <algorithm>
#include <atomic>
#include <climits>

namespace logging {
namespace {

constexpr unsigned kProcessId = 1;
constexpr unsigned kThreadId = 2;
constexpr unsigned kTimeStamp = 4;
constexpr unsigned kTickCount = 8;

std::atomic<int> g_target{TargetFile};
std::atomic<int> g_minimumLevel{LOG_INFO};
std::atomic<unsigned> g_prefixItems{kTimeStamp};
std::atomic<bool> g_showDebugDialogs{false};
std::atomic<int> g_checksSwitch{0};

struct Handlers {
  platform::CMutex mutex;
  LogHandler fatal GUARDED_BY(mutex);
  LogHandler report GUARDED_BY(mutex);
  MessageHook hook GUARDED_BY(mutex);
};

// Never destroyed: entries may still complete while static objects are torn down.
Handlers& GetHandlers() {
  static Handlers* handlers = new Handlers;
  return *handlers;
}

}  // namespace

namespace detail {

int Target() { return g_target.load(std::memory_order_relaxed); }

void StoreTarget(int target) { g_target.store(target, std::memory_order_relaxed); }

PrefixItems GetPrefixItems() {
  unsigned items = g_prefixItems.load(std::memory_order_relaxed);
  return PrefixItems{(items & kProcessId) != 0, (items & kThreadId) != 0, (items & kTimeStamp) != 0,
                     (items & kTickCount) != 0};
}

bool ShowDebugDialogs() { return g_showDebugDialogs.load(std::memory_order_relaxed); }

LogHandler FatalHandler() {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  return handlers.fatal;
}

LogHandler ReportHandler() {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  return handlers.report;
}

void ResetSettings() {
  g_target = TargetFile;
  g_minimumLevel = LOG_INFO;
  g_prefixItems = kTimeStamp;
  g_showDebugDialogs = false;
  g_checksSwitch = 0;
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  handlers.fatal = nullptr;
  handlers.report = nullptr;
  handlers.hook = nullptr;
}

}  // namespace detail

void SetMinimumLevel(int level) {
  g_minimumLevel.store(std::min(level, LOG_ERROR_REPORT), std::memory_order_relaxed);
}

int GetMinimumLevel() { return g_minimumLevel.load(std::memory_order_relaxed); }

int GetVerbosity() {
  // Negating INT_MIN would overflow; its verbosity is the largest int.
  long long negated = -static_cast<long long>(GetMinimumLevel());
  return static_cast<int>(std::clamp<long long>(negated, -1, INT_MAX));
}

void SetPrefixItems(bool processId, bool threadId, bool timeStamp, bool tickCount) {
  unsigned items = (processId ? kProcessId : 0) | (threadId ? kThreadId : 0) | (timeStamp ? kTimeStamp : 0) |
                   (tickCount ? kTickCount : 0);
  g_prefixItems.store(items, std::memory_order_relaxed);
}

void SetShowDebugDialogs(bool show) { g_showDebugDialogs.store(show, std::memory_order_relaxed); }

void SetFatalHandler(LogHandler handler) {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  handlers.fatal = std::move(handler);
}

void SetReportHandler(LogHandler handler) {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  handlers.report = std::move(handler);
}

void SetMessageHook(MessageHook hook) {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  handlers.hook = std::move(hook);
}

MessageHook GetMessageHook() {
  Handlers& handlers = GetHandlers();
  platform::CMutexLock guard(handlers.mutex);
  return handlers.hook;
}

void SetChecksSwitch(int value) { g_checksSwitch.store(value, std::memory_order_relaxed); }

int GetChecksSwitch() { return g_checksSwitch.load(std::memory_order_relaxed); }

}  // namespace logging

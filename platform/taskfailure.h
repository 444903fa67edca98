#pragma once
// One way for every task queue of the product to report a task that threw: one line,
// "<queue>: a task failed: <what>", handed to one process-wide hook. The host points the
// hook at its log; until it does, the lines go to standard error. The queue goes on
// with its next task either way.
#include <functional>
#include <string>

#include "platform/export.h"

namespace platform {

using TaskFailureHook = std::function<void(const std::string& line)>;

// Replaces the hook (an empty one restores standard error). Any thread, any time.
PLATFORM_API void SetTaskFailureHook(TaskFailureHook hook);
// Sets the hook only when none is set; true when this one was set.
PLATFORM_API bool SetTaskFailureHookIfUnset(TaskFailureHook hook);

// Reports the exception being handled; call only inside a catch block. Never throws: a
// hook that throws is passed over and the line goes to standard error.
PLATFORM_API void ReportTaskFailure(const std::string& queue) noexcept;

// Runs a task of the named queue, reporting anything it throws.
template <class Task>
void RunReportingFailure(const std::string& queue, Task&& task) noexcept {
  try {
    task();
  } catch (...) {
    ReportTaskFailure(queue);
  }
}

}  // namespace platform

#include "platform/taskfailure.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "platform/mutex.h"

namespace platform {

namespace {

struct FailureHook {
  CMutex mutex;
  std::shared_ptr<const TaskFailureHook> hook GUARDED_BY(mutex);
};

// Never destroyed: tasks may still fail while static objects are torn down.
FailureHook& Hook() {
  static FailureHook* hook = new FailureHook;
  return *hook;
}

std::string Describe() {
  try {
    throw;
  } catch (const std::exception& e) {
    return std::string("a task failed: ") + e.what();
  } catch (...) {
    return "a task failed with an exception of unknown type";
  }
}

}  // namespace

void SetTaskFailureHook(TaskFailureHook hook) {
  auto shared = hook ? std::make_shared<const TaskFailureHook>(std::move(hook)) : nullptr;
  FailureHook& h = Hook();
  CMutexLock guard(h.mutex);
  h.hook.swap(shared);  // the old hook goes with `shared`, after the lock
}

bool SetTaskFailureHookIfUnset(TaskFailureHook hook) {
  if (!hook) return false;
  auto shared = std::make_shared<const TaskFailureHook>(std::move(hook));
  FailureHook& h = Hook();
  CMutexLock guard(h.mutex);
  if (h.hook) return false;
  h.hook = std::move(shared);
  return true;
}

void ReportTaskFailure(const std::string& queue) noexcept {
  try {
    const std::string line = queue + ": " + Describe();
    std::shared_ptr<const TaskFailureHook> hook;
    {
      FailureHook& h = Hook();
      CMutexLock guard(h.mutex);
      hook = h.hook;
    }
    if (hook) {
      try {
        (*hook)(line);
        return;
      } catch (...) {
        // A failing hook falls back to standard error below.
      }
    }
    std::fprintf(stderr, "%s\n", line.c_str());
  } catch (...) {
    // Out of memory while describing: nothing more can be said.
  }
}

}  // namespace platform

#include "platform/thread.h"

#include <atomic>
#include <system_error>

namespace platform {
namespace {
std::atomic<int> g_skipBeforeFailure{0};
std::atomic<int> g_failures{0};

bool ShouldFail() {
  if (g_failures.load() <= 0) return false;
  if (g_skipBeforeFailure.load() > 0) {
    --g_skipBeforeFailure;
    return false;
  }
  return g_failures.fetch_sub(1) > 0;
}
}  // namespace

ThreadHandle CreateThread(std::function<void()> fn) {
  if (ShouldFail()) return nullptr;
  try {
    return ThreadHandle(new std::thread(std::move(fn)));
  } catch (const std::system_error&) {
    return nullptr;
  }
}

void FailThreadCreationForTest(int skip, int count) {
  g_skipBeforeFailure = skip;
  g_failures = count;
}

void JoinAndClose(ThreadHandle& handle) {
  if (!handle) return;
  if (handle->joinable()) handle->join();
  handle.reset();
}

}  // namespace platform

#pragma once
// Threads: a created thread is a joinable object standing in for a thread handle.
// Tests can make the next creations fail to reach the failure paths.
#include <functional>
#include <memory>
#include <thread>

#include "platform/export.h"

namespace platform {

using ThreadHandle = std::unique_ptr<std::thread>;

// Starts fn on a new thread; returns null when creation fails (really, or as injected).
PLATFORM_API ThreadHandle CreateThread(std::function<void()> fn);

// The next `count` calls of CreateThread fail after `skip` successful ones.
PLATFORM_API void FailThreadCreationForTest(int skip, int count);

// Waits for the thread to end and closes the handle.
PLATFORM_API void JoinAndClose(ThreadHandle& handle);

}  // namespace platform

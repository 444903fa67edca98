#pragma once
// Delayed work on the GTK thread (the default main context): rate-limit flushes,
// navigation and save time limits.
#include <chrono>
#include <functional>

namespace webkitpage {

// Runs `task` once on the GTK thread after `delay`. Call it on the GTK thread.
void RunAfter(std::chrono::milliseconds delay, std::function<void()> task);

}  // namespace webkitpage

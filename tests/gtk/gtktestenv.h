#pragma once
// What GTK tests share: a display (an Xvfb of the test's own when none is set), and a GTK
// thread running the default main context for the whole test program. Link
// gtktestsupport: it brings its own main().
#include <chrono>
#include <functional>

namespace gtktest {

// Runs `fn` on the GTK thread and waits for it. False when it did not run within the
// deadline (the GTK thread is stuck).
bool RunOnGtk(std::function<void()> fn, std::chrono::milliseconds deadline = std::chrono::seconds(60));

// Waits until `condition`, evaluated on the GTK thread after the work queued before it
// and then every few milliseconds, holds. False after the deadline.
bool WaitOnGtk(std::function<bool()> condition, std::chrono::milliseconds deadline = std::chrono::seconds(60));

}  // namespace gtktest

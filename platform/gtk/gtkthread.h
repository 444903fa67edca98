#pragma once
// The GTK thread: the one thread that runs the default GLib main context. GTK and WebKit
// may be touched only there, so work from other threads is handed to it through one
// first-in first-out queue: tasks run in the order they were posted, from any thread.
#include <functional>

namespace platform::gtk {

// Queues `task` to run on the GTK thread (always later, never inside this call, also when
// called on the GTK thread itself). Tasks never overtake each other. A task that throws
// is logged to standard error and the queue goes on.
void PostToGtkThread(std::function<void()> task);

// True on the thread that currently runs the default main context.
bool IsGtkThread();

// Tasks posted and not yet run (for tests and diagnostics).
size_t PendingGtkTasks();

}  // namespace platform::gtk

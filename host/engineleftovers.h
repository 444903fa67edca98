#pragma once
// After an unclean end the page engine's own processes may outlive the killed browser
// for a moment (Chromium notices the closed pipe and shuts down, holding its profile's
// lock until it has). A new Chromium on the same folder would hand itself over to that
// one and end, so the start waits for it to be gone first.
#include <chrono>
#include <string>

// Waits until the process named by Chromium's lock in `dataFolder` ("SingletonLock", a
// link to "<host>-<pid>") has ended, at most `timeout`; true when none is left.
bool WaitForEngineLeftovers(const std::string& dataFolder, std::chrono::milliseconds timeout);

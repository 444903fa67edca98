#pragma once
// For tests only: the logging settings are process-wide, so each test case starts from
// the values at load.
#include "logging/logging.h"

namespace logging {

// Restores every setting to its value at load (target TargetFile, minimum level 0,
// time stamp only, dialogs off, checks switch 0, no handlers or hook), closes the log
// file, forgets its name and returns the file lock to "not initialised".
// Call it only while no other thread logs.
LOGGING_API void ResetLoggingForTest();

}  // namespace logging

#include "logging/test_support.h"

#include "logging/file_lock.h"
#include "logging/log_file.h"
#include "logging/settings.h"

namespace logging {

void ResetLoggingForTest() {
  detail::ResetSettings();
  detail::ResetLogFile();
  detail::ResetFileLock();
}

}  // namespace logging

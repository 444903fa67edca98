#pragma once
// The process-wide settings as the completion of an entry reads them.
#include "logging/logging.h"

namespace logging {
namespace detail {

struct PrefixItems {
  bool processId;
  bool threadId;
  bool timeStamp;
  bool tickCount;
};

// The target as stored (callers may pass values outside LogTarget; they match no target).
int Target();
void StoreTarget(int target);
PrefixItems GetPrefixItems();
bool ShowDebugDialogs();
// Copies, so that the caller can call them without holding any lock.
LogHandler FatalHandler();
LogHandler ReportHandler();

void ResetSettings();

}  // namespace detail
}  // namespace logging

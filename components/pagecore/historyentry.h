#pragma once
// One entry of a tab's back and forward list, as a host keeps it for recovery.
#include <string>

namespace pagecore {

struct HistoryEntry {
  std::wstring url, title;
};

}  // namespace pagecore

#pragma once
// Settings: named texts. A few names hold flags or numbers and are checked on writing;
// "page.size" and "set_default_browser_quorla" notify under their own name after a write.
#include "components/datastore/commands.h"

namespace datastore {

// The setting that names the engine a distribution wants as default ("business_search_id").
extern const char kBusinessSearchSetting[];
// The sites content blocking is off for: host names, one a line (absent: none).
extern const char kBlockingOffSetting[];
// How many days of history are kept (absent: tunables::kDefaultHistoryKeepDays; 0: all).
extern const char kHistoryKeepDaysSetting[];

// 1 found (with *value), 0 absent, -1 database error.
int ReadSetting(CStoreContext& ctx, const std::string& name, std::string* value);
// Checks the value for the names that have rules, writes it, and notifies.
HRESULT WriteSetting(CStoreContext& ctx, CCallLog& log, const std::string& name, const std::string& value);

}  // namespace datastore

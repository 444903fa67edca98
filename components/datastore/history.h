#pragma once
// Navigation history: one entry per visit, as the library writes it after a page loads.
#include "components/datastore/commands.h"

namespace datastore {

// "add_his": date, icon, title, url. Also remembers the page's icon.
HRESULT AddHistory(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "query_his": the history document, newest first; optional limit (0 or absent: all).
HRESULT QueryHistory(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result);

// Removes the history entries older than the setting "history.keep.days" allows (absent:
// tunables::kDefaultHistoryKeepDays; 0 keeps everything) in one transaction; logs what it
// removed or why it failed. Runs on the writer thread.
void TrimHistory(CStoreContext& ctx, CCallLog& log);

}  // namespace datastore

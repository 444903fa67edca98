#pragma once
// The back and forward entries of one tab, as the session and the recover list keep them.
// In a parameter text they are "<prefix>url.J" and "<prefix>title.J" for J = 0, 1, ...
// (consecutive, the oldest first) and "<prefix>index", the entry the tab shows. In a
// result document they are "Entry" elements (url, title) of a "Tab" element whose
// "index" attribute names the shown one.
#include <string>
#include <utility>
#include <vector>

#include "components/datastore/commands.h"
#include "components/datastore/xmlout.h"

namespace datastore {

struct TabHistory {
  std::vector<std::pair<std::string, std::string>> entries;  // url, title (UTF-8)
  int64_t index = 0;
};

// Reads the entries under `prefix`. No entries at all is an empty history (true). Logs and
// returns false for an entry without url, more than tunables::kMaxTabEntries entries, or an
// index that names no entry (or is missing while there are entries).
bool ParseTabHistory(const CParams& params, const std::string& prefix, CCallLog& log, TabHistory* history);

// Writes the entries into `table` (session_entries or recover_entries), keyed by `owner`
// in the column `ownerColumn`; false on a database error.
bool InsertTabEntries(CStoreContext& ctx, const char* table, const char* ownerColumn, const std::string& owner,
                      const int64_t* ownerNumber, const TabHistory& history);

// Appends the entries as "Entry" children of `tab` and sets its "index".
void AddTabEntries(TiXmlElement* tab, const TabHistory& history);

}  // namespace datastore

#include "components/datastore/tabhistory.h"

namespace datastore {

bool ParseTabHistory(const CParams& params, const std::string& prefix, CCallLog& log, TabHistory* history) {
  history->entries.clear();
  history->index = 0;
  for (int j = 0;; ++j) {
    const std::string number = std::to_string(j);
    const std::string* url = params.Find((prefix + "url." + number).c_str());
    const std::string* title = params.Find((prefix + "title." + number).c_str());
    if (!url && !title) break;
    if (j >= tunables::kMaxTabEntries) {
      log.Warning("more than " + std::to_string(tunables::kMaxTabEntries) + " entries for " + prefix + "url");
      return false;
    }
    if (!url || url->empty()) {
      log.Warning("parameter \"" + prefix + "url." + number + "\" is missing or empty");
      return false;
    }
    history->entries.emplace_back(*url, title && !title->empty() ? *title : *url);
  }
  const std::string indexKey = prefix + "index";
  if (history->entries.empty()) {
    if (params.Find(indexKey.c_str())) {
      log.Warning("parameter \"" + indexKey + "\" names an entry, but there are none");
      return false;
    }
    return true;
  }
  if (!RequireDecimal(params, indexKey.c_str(), log, &history->index)) return false;
  if (history->index < 0 || history->index >= static_cast<int64_t>(history->entries.size())) {
    log.Warning("parameter \"" + indexKey + "\" names no entry (" + std::to_string(history->entries.size()) +
                " entries)");
    return false;
  }
  return true;
}

bool InsertTabEntries(CStoreContext& ctx, const char* table, const char* ownerColumn, const std::string& owner,
                      const int64_t* ownerNumber, const TabHistory& history) {
  // Table and column names come from this component only.
  const std::string sql = std::string("INSERT INTO ") + table + "(" + ownerColumn + ", pos, url, title) VALUES(?1, ?2, ?3, ?4)";
  for (size_t j = 0; j < history.entries.size(); ++j) {
    CStmt insert(ctx.db, sql);  // prepared once per connection; each object resets it at the end
    if (ownerNumber) {
      insert.Bind(1, *ownerNumber);
    } else {
      insert.Bind(1, owner);
    }
    insert.Bind(2, static_cast<int64_t>(j)).Bind(3, history.entries[j].first).Bind(4, history.entries[j].second);
    if (!insert.Run()) return false;
  }
  return true;
}

void AddTabEntries(TiXmlElement* tab, const TabHistory& history) {
  CXmlOut::Set(tab, "index", history.index);
  for (const auto& entry : history.entries) {
    TiXmlElement* e = CXmlOut::Add(tab, "Entry");
    CXmlOut::Set(e, "url", entry.first);
    CXmlOut::Set(e, "title", entry.second);
  }
}

}  // namespace datastore

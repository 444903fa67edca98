#include "components/datastore/session.h"

#include <ctime>
#include <map>

#include "components/datastore/tabhistory.h"

namespace datastore {

namespace {

bool ReadSession(const CParams& params, CCallLog& log, std::vector<TabHistory>* tabs, int64_t* selected) {
  int64_t count = 0;
  if (!RequireDecimal(params, "count", log, &count)) return false;
  if (count < 0 || count > tunables::kMaxSessionTabs) {
    log.Warning("parameter \"count\" must lie between 0 and " + std::to_string(tunables::kMaxSessionTabs));
    return false;
  }
  *selected = -1;
  if (params.Find("selected") && !RequireDecimal(params, "selected", log, selected)) return false;
  if (*selected < -1 || *selected >= count) {
    log.Warning("parameter \"selected\" names no tab");
    return false;
  }
  tabs->resize(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const std::string prefix = "tab." + std::to_string(i) + ".";
    TabHistory& tab = (*tabs)[static_cast<size_t>(i)];
    if (!ParseTabHistory(params, prefix, log, &tab)) return false;
    if (tab.entries.empty()) {
      log.Warning("tab " + std::to_string(i) + " has no entries");
      return false;
    }
  }
  return true;
}

}  // namespace

HRESULT SaveSession(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  std::vector<TabHistory> tabs;
  int64_t selected = -1;
  if (!ReadSession(params, log, &tabs, &selected)) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;

  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "saving the session");
  CStmt clearEntries(ctx.db, "DELETE FROM session_entries");
  CStmt clearTabs(ctx.db, "DELETE FROM session_tabs");
  if (!clearEntries.Run() || !clearTabs.Run()) return DbFailure(ctx, log, "saving the session");
  for (size_t i = 0; i < tabs.size(); ++i) {
    const int64_t pos = static_cast<int64_t>(i);
    CStmt tab(ctx.db, "INSERT INTO session_tabs(pos, current, selected) VALUES(?1, ?2, ?3)");
    tab.Bind(1, pos).Bind(2, tabs[i].index).Bind(3, int64_t{pos == selected ? 1 : 0});
    if (!tab.Run() || !InsertTabEntries(ctx, "session_entries", "tab", std::string(), &pos, tabs[i])) {
      return DbFailure(ctx, log, "saving the session");
    }
  }
  CStmt saved(ctx.db, "INSERT OR REPLACE INTO settings(name, value) VALUES('session.saved', ?1)");
  saved.Bind(1, std::to_string(static_cast<int64_t>(std::time(nullptr))));
  if (!saved.Run() || !tx.Commit()) return DbFailure(ctx, log, "saving the session");
  return S_OK;
}

HRESULT QuerySession(CStoreContext& ctx, CCallLog& log, const CParams&, std::optional<std::wstring>* result) {
  std::map<int64_t, TabHistory> tabs;
  int64_t selected = -1;
  CStmt readTabs(ctx.db, "SELECT pos, current, selected FROM session_tabs ORDER BY pos");
  int rc;
  while ((rc = readTabs.Step()) == SQLITE_ROW) {
    tabs[readTabs.Int(0)].index = readTabs.Int(1);
    if (readTabs.Int(2) != 0) selected = readTabs.Int(0);
  }
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading the session");
  CStmt readEntries(ctx.db, "SELECT tab, url, title FROM session_entries ORDER BY tab, pos");
  while ((rc = readEntries.Step()) == SQLITE_ROW) {
    auto tab = tabs.find(readEntries.Int(0));
    if (tab != tabs.end()) tab->second.entries.emplace_back(readEntries.Text(1), readEntries.Text(2));
  }
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading the session");
  CXmlOut xml("Session");
  int64_t place = 0;
  for (const auto& tab : tabs) {
    if (tab.second.entries.empty()) continue;  // written by no version of this store
    if (tab.first == selected) CXmlOut::Set(xml.Root(), "selected", place);
    AddTabEntries(CXmlOut::Add(xml.Root(), "Tab"), tab.second);
    ++place;
  }
  if (!xml.Root()->Attribute("selected")) CXmlOut::Set(xml.Root(), "selected", int64_t{-1});
  *result = xml.Print();
  return S_OK;
}

HRESULT QueryRecoverTab(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result) {
  const std::string uuid = TextParam(params, "uuid");
  if (uuid.empty()) {
    log.Warning("parameter \"uuid\" is missing or empty");
    return E_INVALIDARG;
  }
  CStmt head(ctx.db, "SELECT title, url, current FROM recover WHERE uuid = ?1");
  head.Bind(1, uuid);
  const int rc = head.Step();
  if (rc == SQLITE_DONE) {
    log.Info("no closed tab with that uuid");
    return S_FALSE;
  }
  if (rc != SQLITE_ROW) return DbFailure(ctx, log, "reading a closed tab");
  TabHistory history;
  history.index = head.Int(2);
  CStmt entries(ctx.db, "SELECT url, title FROM recover_entries WHERE uuid = ?1 ORDER BY pos");
  entries.Bind(1, uuid);
  int step;
  while ((step = entries.Step()) == SQLITE_ROW) history.entries.emplace_back(entries.Text(0), entries.Text(1));
  if (step != SQLITE_DONE) return DbFailure(ctx, log, "reading a closed tab");
  if (history.entries.empty() || history.index >= static_cast<int64_t>(history.entries.size())) {
    history.entries.assign(1, {head.Text(1), head.Text(0)});
    history.index = 0;
  }
  CXmlOut xml("Tab");
  CXmlOut::Set(xml.Root(), "uuid", uuid);
  CXmlOut::Set(xml.Root(), "title", head.Text(0));
  CXmlOut::Set(xml.Root(), "url", head.Text(1));
  AddTabEntries(xml.Root(), history);
  *result = xml.Print();
  return S_OK;
}

}  // namespace datastore

#include "components/datastore/history.h"

#include "components/datastore/icons.h"
#include "components/datastore/settings.h"
#include "components/datastore/tunables.h"
#include "components/datastore/xmlout.h"

namespace datastore {

HRESULT AddHistory(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  const std::string url = TextParam(params, "url");
  if (url.empty()) {
    log.Warning("parameter \"url\" is missing or empty");
    return E_INVALIDARG;
  }
  std::string title = TextParam(params, "title");
  if (title.empty()) title = url;
  const std::string icon = TextParam(params, "icon");
  std::string date;
  if (!DateParam(params, log, &date)) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;

  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "adding history");
  CStmt insert(ctx.db, "INSERT INTO history(url, title, icon, date) VALUES(?1, ?2, ?3, ?4)");
  insert.Bind(1, url).Bind(2, title).Bind(3, icon).Bind(4, date);
  if (!insert.Run() || !RememberIcon(ctx, url, icon, date) || !tx.Commit()) {
    return DbFailure(ctx, log, "adding history");
  }
  return S_OK;
}

void TrimHistory(CStoreContext& ctx, CCallLog& log) {
  int64_t days = tunables::kDefaultHistoryKeepDays;
  std::string value;
  const int found = ReadSetting(ctx, kHistoryKeepDaysSetting, &value);
  if (found < 0) {
    DbFailure(ctx, log, "reading the history limit");
    return;
  }
  if (found > 0 && (!ParseDecimal(value, &days) || days < 0)) {
    // Only another program could have written it so: keep everything rather than guess.
    log.Warning(std::string("setting \"") + kHistoryKeepDaysSetting + "\" is no number of days; history is kept");
    return;
  }
  if (days == 0 || days > tunables::kMaxHistoryKeepDays) return;
  // Dates are stored as zero-padded local time, so text order is time order.
  const std::string cutoff = DateDaysAgo(days);
  CTransaction tx(ctx.db);
  if (!tx.Begun()) {
    DbFailure(ctx, log, "trimming history");
    return;
  }
  CStmt trim(ctx.db, "DELETE FROM history WHERE date < ?1");
  trim.Bind(1, cutoff);
  if (!trim.Run()) {
    DbFailure(ctx, log, "trimming history");
    return;
  }
  const int removed = sqlite3_changes(ctx.db.Handle());
  if (!tx.Commit()) {
    DbFailure(ctx, log, "trimming history");
    return;
  }
  if (removed > 0) {
    log.Info("removed " + std::to_string(removed) + " history entries older than " + std::to_string(days) + " days");
  }
}

HRESULT QueryHistory(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result) {
  int64_t limit = 0;
  if (params.Find("limit") && !RequireDecimal(params, "limit", log, &limit)) return E_INVALIDARG;
  if (limit < 0) {
    log.Warning("parameter \"limit\" must not be negative");
    return E_INVALIDARG;
  }
  CXmlOut xml("History");
  // LIMIT -1 means no limit.
  CStmt stmt(ctx.db, "SELECT id, url, title, icon, date FROM history ORDER BY id DESC LIMIT ?1");
  stmt.Bind(1, limit == 0 ? int64_t{-1} : limit);
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) {
    TiXmlElement* e = CXmlOut::Add(xml.Root(), "Entry");
    CXmlOut::Set(e, "id", stmt.Int(0));
    CXmlOut::Set(e, "url", stmt.Text(1));
    CXmlOut::Set(e, "title", stmt.Text(2));
    CXmlOut::Set(e, "icon", stmt.Text(3));
    CXmlOut::Set(e, "date", stmt.Text(4));
  }
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading history");
  *result = xml.Print();
  return S_OK;
}

}  // namespace datastore

#include "components/datastore/recover.h"

#include <cstring>

#include "components/datastore/tabhistory.h"
#include "components/datastore/textconv.h"

namespace datastore {

int RecoverField(CStoreContext& ctx, int64_t index, const char* field, std::string* value) {
  // Field names come from this file only; each has its own statement.
  static const char* const kFields[] = {"uuid", "title", "url", "icon"};
  for (const char* known : kFields) {
    if (std::strcmp(known, field) != 0) continue;
    CStmt stmt(ctx.db, std::string("SELECT ") + known + " FROM recover ORDER BY seq DESC LIMIT 1 OFFSET ?1");
    stmt.Bind(1, index);
    const int rc = stmt.Step();
    if (rc == SQLITE_ROW) {
      *value = stmt.Text(0);
      return 1;
    }
    return rc == SQLITE_DONE ? 0 : -1;
  }
  return 0;
}

HRESULT SaveRecoverTab(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  const std::string uuid = TextParam(params, "uuid");
  const std::string url = TextParam(params, "url");
  if (uuid.empty()) {
    log.Warning("parameter \"uuid\" is missing or empty");
    return E_INVALIDARG;
  }
  if (url.empty()) {
    log.Warning("parameter \"url\" is missing or empty");
    return E_INVALIDARG;
  }
  std::string title = TextParam(params, "title");
  if (title.empty()) title = url;
  const std::string icon = TextParam(params, "icon");
  TabHistory history;
  if (!ParseTabHistory(params, "", log, &history)) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;

  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "saving a closed tab");
  // Saving a uuid again moves it to the front with the new values.
  CStmt remove(ctx.db, "DELETE FROM recover WHERE uuid = ?1");
  remove.Bind(1, uuid);
  CStmt removeEntries(ctx.db, "DELETE FROM recover_entries WHERE uuid = ?1");
  removeEntries.Bind(1, uuid);
  CStmt insert(ctx.db, "INSERT INTO recover(uuid, title, url, icon, current) VALUES(?1, ?2, ?3, ?4, ?5)");
  insert.Bind(1, uuid).Bind(2, title).Bind(3, url).Bind(4, icon).Bind(5, history.index);
  CStmt trim(ctx.db, "DELETE FROM recover WHERE seq NOT IN (SELECT seq FROM recover ORDER BY seq DESC LIMIT ?1)");
  trim.Bind(1, static_cast<int64_t>(ctx.options.recoverLimit > 0 ? ctx.options.recoverLimit : 1));
  CStmt trimEntries(ctx.db, "DELETE FROM recover_entries WHERE uuid NOT IN (SELECT uuid FROM recover)");
  if (!remove.Run() || !removeEntries.Run() || !insert.Run() ||
      !InsertTabEntries(ctx, "recover_entries", "uuid", uuid, nullptr, history) || !trim.Run() || !trimEntries.Run() ||
      !tx.Commit()) {
    return DbFailure(ctx, log, "saving a closed tab");
  }
  ctx.notifier.Post(kNotifyInsertRecover, ToWide(uuid), L"0");
  return S_OK;
}

HRESULT ClearRecover(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  const std::string* uuid = params.Find("uuid");
  if (!uuid) {
    log.Warning("parameter \"uuid\" is missing");
    return E_INVALIDARG;
  }
  if (ctx.checkOnly) return S_OK;
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "clearing the recover list");
  if (uuid->empty()) {
    CStmt clear(ctx.db, "DELETE FROM recover");
    if (!clear.Run()) return DbFailure(ctx, log, "clearing the recover list");
  } else {
    CStmt remove(ctx.db, "DELETE FROM recover WHERE uuid = ?1");
    remove.Bind(1, *uuid);
    if (!remove.Run()) return DbFailure(ctx, log, "clearing the recover list");
  }
  const int removed = sqlite3_changes(ctx.db.Handle());
  CStmt trimEntries(ctx.db, "DELETE FROM recover_entries WHERE uuid NOT IN (SELECT uuid FROM recover)");
  if (!trimEntries.Run() || !tx.Commit()) return DbFailure(ctx, log, "clearing the recover list");
  if (!uuid->empty() && removed == 0) {
    log.Warning("no closed tab with that uuid");
    return S_FALSE;
  }
  return S_OK;
}

HRESULT QueryRecoverCount(CStoreContext& ctx, CCallLog& log, const CParams&, std::optional<std::wstring>* result) {
  CStmt stmt(ctx.db, "SELECT COUNT(*) FROM recover");
  if (stmt.Step() != SQLITE_ROW) return DbFailure(ctx, log, "counting the recover list");
  *result = WideNumber(stmt.Int(0));
  return S_OK;
}

HRESULT QueryRecoverValue(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result) {
  const std::string* id = params.Find("id");
  const std::string* key = params.Find("key");
  int64_t index = 0;
  if (!id || !ParseHexIndex(*id, &index)) {
    log.Warning("parameter \"id\" is missing or not a hexadecimal index");
    return E_INVALIDARG;
  }
  if (!key || (*key != "uuid" && *key != "title" && *key != "url")) {
    log.Warning("parameter \"key\" is missing or not one of uuid, title, url");
    return E_INVALIDARG;
  }
  std::string value;
  const int found = RecoverField(ctx, index, key->c_str(), &value);
  if (found < 0) return DbFailure(ctx, log, "reading the recover list");
  // The list may have shrunk since the count was read: an empty text makes the reader
  // skip the index (an entry without uuid is left out).
  if (found == 0) log.Info("recover index " + *id + " is beyond the end of the list");
  *result = ToWide(value);
  return found ? S_OK : S_FALSE;
}

}  // namespace datastore

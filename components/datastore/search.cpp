#include "components/datastore/search.h"

#include "components/datastore/settings.h"
#include "components/datastore/xmlout.h"

namespace datastore {

namespace {

// 1 when an engine has this id, 0 if not, -1 on error.
int EngineExists(CStoreContext& ctx, int64_t id) {
  CStmt stmt(ctx.db, "SELECT 1 FROM search_engines WHERE id = ?1");
  stmt.Bind(1, id);
  const int rc = stmt.Step();
  return rc == SQLITE_ROW ? 1 : rc == SQLITE_DONE ? 0 : -1;
}

}  // namespace

HRESULT QuerySearchEngines(CStoreContext& ctx, CCallLog& log, const CParams&, std::optional<std::wstring>* result) {
  CXmlOut xml("SearchEngines");
  CStmt stmt(ctx.db, "SELECT id, name, url, icon, is_default FROM search_engines ORDER BY id");
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) {
    TiXmlElement* e = CXmlOut::Add(xml.Root(), "Engine");
    CXmlOut::Set(e, "id", stmt.Int(0));
    CXmlOut::Set(e, "name", stmt.Text(1));
    CXmlOut::Set(e, "url", stmt.Text(2));
    CXmlOut::Set(e, "icon", stmt.Text(3));
    CXmlOut::Set(e, "default", std::string(stmt.Int(4) ? "true" : "false"));
    if (stmt.Int(4)) CXmlOut::Set(xml.Root(), "default", stmt.Int(0));
  }
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading search engines");
  *result = xml.Print();
  return S_OK;
}

HRESULT SetDefaultSearch(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  int64_t id = 0;
  if (!RequireDecimal(params, "id", log, &id)) return E_INVALIDARG;
  if (ctx.checkOnly) {
    // The engines are those the schema steps ship: no command adds or removes one, so
    // the read connection answers for them although writes may be queued.
    const int known = EngineExists(ctx, id);
    if (known < 0) return DbFailure(ctx, log, "reading search engines");
    if (known == 0) log.Warning("no search engine with id " + std::to_string(id));
    return known ? S_OK : E_INVALIDARG;
  }
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "setting the default search engine");
  const int exists = EngineExists(ctx, id);
  if (exists < 0) return DbFailure(ctx, log, "setting the default search engine");
  if (exists == 0) {
    log.Warning("no search engine with id " + std::to_string(id));
    return E_INVALIDARG;
  }
  CStmt stmt(ctx.db, "UPDATE search_engines SET is_default = (id = ?1)");
  stmt.Bind(1, id);
  if (!stmt.Run() || !tx.Commit()) return DbFailure(ctx, log, "setting the default search engine");
  ctx.notifier.Post(kNotifySetSearchDefault, WideNumber(id));
  return S_OK;
}

HRESULT QueryBusinessSearch(CStoreContext& ctx, CCallLog& log, const CParams&, std::optional<std::wstring>* result) {
  std::string value;
  const int found = ReadSetting(ctx, kBusinessSearchSetting, &value);
  if (found < 0) return DbFailure(ctx, log, "reading settings");
  int64_t id = -1;
  if (found > 0 && ParseDecimal(value, &id) && id != -1) {
    const int exists = EngineExists(ctx, id);
    if (exists < 0) return DbFailure(ctx, log, "reading search engines");
    if (exists == 0) {
      log.Warning("the business search engine " + value + " does not exist");
      id = -1;
    }
  } else {
    id = -1;
  }
  *result = WideNumber(id);
  return S_OK;
}

}  // namespace datastore

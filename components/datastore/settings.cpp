#include "components/datastore/settings.h"

#include "components/datastore/textconv.h"

namespace datastore {

const char kBusinessSearchSetting[] = "business.search.id";
const char kHistoryKeepDaysSetting[] = "history.keep.days";

namespace {

bool IsFlagSetting(const std::string& name) {
  return name == "check.default.browser" || name == "browser.close.info" || name == "set_show_homepage";
}

bool CheckValue(CCallLog& log, const std::string& name, const std::string& value) {
  if (IsFlagSetting(name) && value != "0" && value != "1") {
    log.Warning("value must be 0 or 1");
    return false;
  }
  int64_t number = 0;
  if ((name == "page.size" || name == kBusinessSearchSetting) && !ParseDecimal(value, &number)) {
    log.Warning("value must be a decimal number");
    return false;
  }
  if (name == kHistoryKeepDaysSetting && (!ParseDecimal(value, &number) || number < 0)) {
    log.Warning("value must be a decimal number of days, 0 or more");
    return false;
  }
  return true;
}

}  // namespace

int ReadSetting(CStoreContext& ctx, const std::string& name, std::string* value) {
  CStmt stmt(ctx.db, "SELECT value FROM settings WHERE name = ?1");
  stmt.Bind(1, name);
  const int rc = stmt.Step();
  if (rc == SQLITE_ROW) {
    *value = stmt.Text(0);
    return 1;
  }
  return rc == SQLITE_DONE ? 0 : -1;
}

HRESULT WriteSetting(CStoreContext& ctx, CCallLog& log, const std::string& name, const std::string& value) {
  if (!CheckValue(log, name, value)) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "writing a setting");
  CStmt stmt(ctx.db,
             "INSERT INTO settings(name, value) VALUES(?1, ?2) "
             "ON CONFLICT(name) DO UPDATE SET value = excluded.value");
  stmt.Bind(1, name).Bind(2, value);
  if (!stmt.Run() || !tx.Commit()) return DbFailure(ctx, log, "writing a setting");
  const std::wstring wideName = ToWide(name);
  if (wideName == kNotifyPageSize || wideName == kNotifySetDefaultBrowser) {
    ctx.notifier.Post(wideName, ToWide(value));
  }
  return S_OK;
}

}  // namespace datastore

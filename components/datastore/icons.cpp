#include "components/datastore/icons.h"

#include "components/datastore/recover.h"
#include "components/datastore/textconv.h"

namespace datastore {

namespace {

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// 1 found, 0 not known, -1 database error.
int LookupIcon(CStoreContext& ctx, const std::string& url, std::string* icon) {
  CStmt stmt(ctx.db, "SELECT icon FROM icons WHERE url = ?1");
  stmt.Bind(1, url);
  const int rc = stmt.Step();
  if (rc == SQLITE_ROW) {
    *icon = stmt.Text(0);
    return 1;
  }
  return rc == SQLITE_DONE ? 0 : -1;
}

}  // namespace

bool RememberIcon(CStoreContext& ctx, const std::string& url, const std::string& icon, const std::string& date) {
  if (url.empty() || icon.empty()) return true;
  CStmt stmt(ctx.db,
             "INSERT INTO icons(url, icon, date) VALUES(?1, ?2, ?3) "
             "ON CONFLICT(url) DO UPDATE SET icon = excluded.icon, date = excluded.date");
  stmt.Bind(1, url).Bind(2, icon).Bind(3, date);
  return stmt.Run();
}

HRESULT QueryIcon(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result) {
  // Every query gets a holder: the history and recover documents end without one.
  *result = std::wstring();
  std::string icon;
  // A closed tab may carry its own icon.
  const std::string* id = params.Find("id");
  if (id) {
    int64_t index = 0;
    if (!ParseHexIndex(*id, &index)) {
      log.Warning("parameter \"id\" is not a hexadecimal index");
    } else {
      const int found = RecoverField(ctx, index, "icon", &icon);
      if (found < 0) return DbFailure(ctx, log, "reading the recover list");
      if (found > 0 && !icon.empty()) {
        *result = ToWide(icon);
        return S_OK;
      }
    }
  }
  const std::string* url = params.Find("url");
  if (!url) {
    log.Warning("parameter \"url\" is missing");
    return S_FALSE;
  }
  int found = LookupIcon(ctx, *url, &icon);
  // History addresses are written lower-cased; a closed tab's address may not be.
  if (found == 0) {
    const std::string lower = AsciiLower(*url);
    if (lower != *url) found = LookupIcon(ctx, lower, &icon);
  }
  if (found < 0) return DbFailure(ctx, log, "reading icons");
  if (found > 0) *result = ToWide(icon);
  return S_OK;
}

}  // namespace datastore

#include "components/datastore/settings.h"

#include <algorithm>
#include <vector>

#include "components/datastore/textconv.h"

namespace datastore {

const char kBusinessSearchSetting[] = "business.search.id";
const char kHistoryKeepDaysSetting[] = "history.keep.days";
const char kBlockingOffSetting[] = "blocking.off.sites";

namespace {

bool IsFlagSetting(const std::string& name) {
  return name == "check.default.browser" || name == "browser.close.info" || name == "set_show_homepage";
}

// A host name as a page's address gives it: lower-case letters, digits, "-", "." and "_",
// or an IPv6 address in brackets; at most 253 characters.
bool IsHostName(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    return host.find_first_not_of("0123456789abcdef:.", 1) == host.size() - 1;
  }
  return host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-._") == std::string::npos;
}

// One host a line (the last line feed optional), none twice; empty: no site.
bool IsHostList(const std::string& value) {
  std::vector<std::string> hosts;
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find('\n', start);
    if (end == std::string::npos) end = value.size();
    const std::string host = value.substr(start, end - start);
    if (!IsHostName(host) || std::find(hosts.begin(), hosts.end(), host) != hosts.end()) return false;
    hosts.push_back(host);
    start = end + 1;
  }
  return true;
}

bool CheckValue(CCallLog& log, const std::string& name, const std::string& value) {
  if (name == kBlockingOffSetting && !IsHostList(value)) {
    log.Warning("value must be host names in lower case, one a line, each once");
    return false;
  }
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

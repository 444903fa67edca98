#include "components/datastore/commands.h"

#include <cwchar>

namespace datastore {

const wchar_t kNotifyAddFavor[] = L"add_favor";
const wchar_t kNotifyUpdateFavor[] = L"update_favor";
const wchar_t kNotifyDelFavor[] = L"del_favor";
const wchar_t kNotifyDelFavorSet[] = L"del_favor_set";
const wchar_t kNotifySetSearchDefault[] = L"set_search_default";
const wchar_t kNotifySetDefaultBrowser[] = L"set_default_browser_quorla";
const wchar_t kNotifyInsertRecover[] = L"insert.recover.index";
const wchar_t kNotifyPageSize[] = L"page.size";

bool IsNotificationName(const wchar_t* name) {
  static const wchar_t* const kNames[] = {kNotifyAddFavor,         kNotifyUpdateFavor,       kNotifyDelFavor,
                                          kNotifyDelFavorSet,      kNotifySetSearchDefault,  kNotifySetDefaultBrowser,
                                          kNotifyInsertRecover,    kNotifyPageSize};
  if (!name) return false;
  for (const wchar_t* known : kNames) {
    if (std::wcscmp(name, known) == 0) return true;
  }
  return false;
}

HRESULT DbFailure(CStoreContext& ctx, CCallLog& log, const char* what) {
  if (ctx.db.LastErrorWasBusy()) {
    log.Error(std::string(what) + ": database is busy (another process holds it): " + ctx.db.ErrorText());
  } else {
    log.Error(std::string(what) + ": database error: " + ctx.db.ErrorText());
  }
  return E_FAIL;
}

bool RequireDecimal(const CParams& params, const char* key, CCallLog& log, int64_t* value) {
  const std::string* text = params.Find(key);
  if (!text) {
    log.Warning(std::string("parameter \"") + key + "\" is missing");
    return false;
  }
  if (!ParseDecimal(*text, value)) {
    log.Warning(std::string("parameter \"") + key + "\" is not a decimal number");
    return false;
  }
  return true;
}

std::string TextParam(const CParams& params, const char* key) {
  const std::string* text = params.Find(key);
  return text ? *text : std::string();
}

bool DateParam(const CParams& params, CCallLog& log, std::string* date) {
  const std::string* text = params.Find("date");
  if (!text) {
    *date = NowDate();
    return true;
  }
  if (!NormalizeDate(*text, date)) {
    log.Warning("parameter \"date\" is not a date of the form Y-M-D h:m:s");
    return false;
  }
  return true;
}

std::wstring WideNumber(int64_t value) { return std::to_wstring(value); }

}  // namespace datastore

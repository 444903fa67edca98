#include "uicontrol/favoritetasks.h"

#include <atomic>

#include "logging/logging.h"
#include "platform/process.h"
#include "platform/system.h"
#include "uicontrol/datamessages.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/storetext.h"
#include "uicontrol/tabmanager.h"

namespace {

std::atomic<long long> g_importTimeLimitMs{CTaskImportIEFavorite::kDefaultTimeLimit.count()};

// "%d-%d-%d %d:%d:%d": year, month, day, hour, minute, second, none zero-filled.
std::wstring FormatFavoriteDate(const SYSTEMTIME& st) {
  return std::to_wstring(st.wYear) + L"-" + std::to_wstring(st.wMonth) + L"-" + std::to_wstring(st.wDay) + L" " +
         std::to_wstring(st.wHour) + L":" + std::to_wstring(st.wMinute) + L":" + std::to_wstring(st.wSecond);
}

}  // namespace

bool CTaskGetAllFavoriteItems::Execute() {
  std::wstring text;
  bool spHolder = QueryStoreText(m_spStore.get(), L"query_favor_root_url", L"type=1\npid=0\n", &text);
  CHECK_REPORT(spHolder);
  if (!spHolder) return true;
  CTabManager::NotifyData(L"GetAllFavoriteItems", text);
  return true;
}

bool CTaskGetFavoriteByFloder::Execute() {
  std::wstring text;
  if (QueryStoreText(m_spStore.get(), L"get_fav_xml", L"", &text)) {
    CTabManager::NotifyData(L"GetFavoriteByFloder", text);
  }
  return true;
}

bool CTaskAddFavoriteItem::Execute() {
  if (!m_spStore) return true;
  SYSTEMTIME st = {};
  GetLocalTime(&st);
  const std::wstring text = FormatKeyValueText({
      {L"pid", std::to_wstring(m_nParentId)},
      {L"url", m_strURL},
      {L"title", m_strTitle.empty() ? m_strURL : m_strTitle},
      {L"type", L"1"},
      {L"icon", m_strIcon},
      {L"date", FormatFavoriteDate(st)},
  });
  m_spStore->SetData(L"add_favor", text.c_str());
  return true;
}

bool CTaskDeleteFavoriteItem::Execute() {
  if (!m_spStore) return true;
  const std::wstring text = FormatKeyValueText({{L"id", m_strID}});
  m_spStore->SetData(L"del_favor", text.c_str());
  return true;
}

bool CTaskImportIEFavorite::Execute() {
  // The folder keeps its separator; the program path is not quoted, as the import
  // program has always been started.
  const std::wstring strCommandLine = platform::ExecutableFolder() + L"ImportDataToDB.exe" + L" ie.favor";
  platform::ProcessHandle process = platform::CreateProcessW(strCommandLine);
  bool bRet = static_cast<bool>(process);
  CHECK_REPORT(bRet);
  if (!bRet) return true;  // the check line above is the report
  int status = 0;
  const std::chrono::milliseconds limit = TimeLimit();
  if (platform::WaitForProcess(process, limit, &status) == platform::ProcessWait::kTimedOut) {
    platform::EndProcessGroup(process);
    LOG_AT(logging::LOG_WARNING) << logging::msg::kImportStopped << limit.count() << " ms";
    return true;
  }
  CTabManager::NotifyData(L"ImportIEFavorite", std::wstring());
  return true;
}

void CTaskImportIEFavorite::SetTimeLimit(std::chrono::milliseconds limit) { g_importTimeLimitMs = limit.count(); }

std::chrono::milliseconds CTaskImportIEFavorite::TimeLimit() { return std::chrono::milliseconds(g_importTimeLimitMs.load()); }

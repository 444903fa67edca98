#include "components/pagecore/openedwindows.h"

#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {

WindowVerdict JudgeOpenedWindow(const WindowRequest& request, bool blockPopups, webpage::CEventBudget& budget,
                                CPageReport::Document& doc, const std::string& page,
                                const std::function<void(const wchar_t*, const webpage::KeyValues&)>& emit,
                                const std::function<void(const std::string&)>& logRefusal) {
  const bool refused = request.refusedByEngine || (blockPopups && !request.userGesture);
  if (!refused) return WindowVerdict::Open;
  if (!budget.Allow(std::chrono::steady_clock::now())) {
    if (!doc.popupsDroppedLogged) {
      doc.popupsDroppedLogged = true;
      webpage::LogWarning(page + ": the page has windows refused faster than they are reported; some are left out");
    }
    return WindowVerdict::Dropped;
  }
  const std::string line = page + ": blocked a window for " + platform::WideToUtf8(request.url);
  if (logRefusal) {
    logRefusal(line);
  } else {
    webpage::LogInfo(line);
  }
  emit(L"POPBLOCK", {{L"URL", request.url}});
  return WindowVerdict::Refused;
}

}  // namespace pagecore

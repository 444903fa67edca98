#include "components/pagecore/pageactions.h"

#include "components/pagecore/crashrecord.h"
#include "components/pagecore/historyreplay.h"
#include "components/pagecore/pageoptions.h"
#include "components/pagecore/waitingorders.h"
#include "components/pagecore/pagereport.h"

#include "components/webpage/origin.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pagecore {

using webpage::OrderKind;

namespace {

void Recover(const std::wstring& uuid, const OrderSettings& settings, IPageActions& page) {
  const std::string notKept = "no closed tab " + platform::WideToUtf8(uuid) + " is kept";
  if (settings.lookupRecoveredHistory) {
    std::vector<HistoryEntry> entries;
    int index = 0;
    if (!settings.lookupRecoveredHistory(uuid, &entries, &index) || entries.empty()) return page.RefuseNavigation(notKept);
    return LoadEntries(std::move(entries), index, page);
  }
  std::wstring url;
  if (!settings.lookupRecoveredTab) return page.RefuseNavigation("no store of closed tabs is connected");
  if (!settings.lookupRecoveredTab(uuid, &url) || url.empty()) return page.RefuseNavigation(notKept);
  page.Navigate(webpage::NormalizeAddress(url));
}

void ParentView(uint32_t handle, IPageActions& page) {
  HWND parent = HandleFromValue(handle);
  if (!IsWindow(parent)) {
    webpage::LogWarning(page.Name() + ": PARENTHWND names no window (" + platform::WideToUtf8(webpage::Hex(handle)) +
                        ")");
    return;
  }
  SetParent(page.View(), parent);
}

}  // namespace

void LoadEntries(std::vector<HistoryEntry> entries, int index, IPageActions& page) {
  auto replay = std::make_shared<CHistoryReplay>(std::move(entries), index);
  CPageReport* report = page.Report();
  if (!report || !replay->NeedsSteps()) return page.Navigate(webpage::NormalizeAddress(replay->ShownAddress()));
  report->Replay(replay, [&page](const CHistoryReplay::Step& step) {
    if (step.kind == CHistoryReplay::Step::kNavigate) page.Navigate(webpage::NormalizeAddress(step.url));
    if (step.kind == CHistoryReplay::Step::kBack) page.GoBy(-1, L"GOBACK");
  });
  page.Navigate(webpage::NormalizeAddress(replay->FirstAddress()));
}

bool ShowAgain(const webpage::NavigationHistory& history, const std::wstring& lastUrl, const webpage::Order& order,
               IPageActions& page) {
  const auto count = static_cast<int>(history.entries.size());
  const int current = history.current;
  if (count < 2 || current < 0 || current >= count || history.entries[static_cast<size_t>(current)].url != lastUrl) {
    page.Navigate(lastUrl);
    return false;
  }
  // Back and forward move within the entries brought back rather than after them.
  int shown = current;
  bool taken = false;
  if (order.kind == OrderKind::GoBack && current > 0) {
    shown -= 1;
    taken = true;
  } else if (order.kind == OrderKind::GoForward && current + 1 < count) {
    shown += 1;
    taken = true;
  }
  std::vector<HistoryEntry> entries;
  for (const webpage::HistoryEntry& entry : history.entries) entries.push_back({entry.url, entry.title});
  LoadEntries(std::move(entries), shown, page);
  return taken;
}

void ReportUnsupported(IPageActions& page, const std::wstring& order, const std::string& reason) {
  webpage::LogWarning(page.Name() + ": " + platform::WideToUtf8(order) + " is not available: " + reason);
  const std::wstring why = platform::Utf8ToWide(reason);
  page.Emit(L"ORDERUNSUPPORTED", {{L"CMD", order}, {L"REASON", why}});
  page.Emit(L"STATEXTCHANGED", {{L"STATTEXT", order + L" is not available: " + why}});
}

void CarryOut(const webpage::Order& order, const OrderSettings& settings, IPageActions& page) {
  // What the user asks of a page that is loading a tab's entries ends that.
  switch (order.kind) {
    case OrderKind::Navigate:
    case OrderKind::GoBack:
    case OrderKind::GoForward:
    case OrderKind::Stop:
    case OrderKind::Refresh:
    case OrderKind::GoHome:
      if (CPageReport* report = page.Report()) report->EndReplay();
      break;
    default:
      break;
  }
  switch (order.kind) {
    case OrderKind::Navigate: return page.Navigate(order.text);
    case OrderKind::GoBack: return page.GoBy(-1, order.name);
    case OrderKind::GoForward: return page.GoBy(1, order.name);
    case OrderKind::Stop: return page.StopLoading();
    case OrderKind::Refresh: return page.Reload();
    case OrderKind::GoHome:
      if (settings.homePage.empty()) return page.RefuseNavigation("no home page is set");
      return page.Navigate(webpage::NormalizeAddress(settings.homePage));
    case OrderKind::SaveHtml: return page.Save("html");
    case OrderKind::SaveImage: return page.Save("png");
    case OrderKind::Print:
    case OrderKind::PrintPreview: return page.Save("pdf");
    case OrderKind::ViewSource: return page.ViewSource();
    case OrderKind::Find:
      if (order.text.empty())
        return ReportUnsupported(page, L"FIND", "the engine has no find bar; send FIND with TEXT=<words>");
      return page.Find(order.text);
    case OrderKind::MoveWindow: return page.MoveView(order.rect);
    case OrderKind::Audio: return page.SetAudio(order.enable);
    case OrderKind::Recover: return Recover(order.text, settings, page);
    case OrderKind::CloseTab: return page.Close(true);
    case OrderKind::ParentWindow: return ParentView(order.handle, page);
    case OrderKind::GetText: return page.ReadText(order.text == L"SOURCE");
    case OrderKind::ShowHints: return page.Hints().Show(page, order.enable, order.text);
    case OrderKind::HintKey: return page.Hints().Key(page, order.text[0]);
    case OrderKind::HideHints: return page.Hints().Leave(page);
    case OrderKind::StopPage: return page.EndRenderer();
    case OrderKind::Unsupported: return ReportUnsupported(page, order.name, order.reason);
  }
}

void CarryOut(const webpage::Order& order, const ::PageOptions& options, IPageActions& page) {
  CarryOut(order, OrderSettings{options.homePage, options.lookupRecoveredTab, options.lookupRecoveredHistory}, page);
}

bool Revive(const webpage::Order& order, const std::wstring& lastUrl, CWaitingOrders& afterRevival,
            const std::function<void()>& reload, const std::string& pageName) {
  webpage::LogInfo(pageName + ": brought back by " + platform::WideToUtf8(order.name));
  const RevivalPlan plan = PlanRevival(order, lastUrl);
  if (!plan.restoreLastPage) return plan.runOrder;
  // The order waits for the page it acts on.
  afterRevival.Begin();
  if (plan.runOrder) afterRevival.Keep(order);
  reload();
  return false;
}

bool MaySubmit(const webpage::Order& order, bool closed, bool crashed, CCrashRecord& crashes, int crashLimit,
               IPageActions& page) {
  if (closed) {
    LogDroppedOrder(page.Name(), order, false);
    return false;
  }
  if (!crashed || order.kind == OrderKind::CloseTab) return true;
  auto emit = [&page](const wchar_t* key, const webpage::KeyValues& values) { page.Emit(key, values); };
  return !crashes.RefusesOrder(order, crashLimit, page.Name(), emit);
}

bool AlreadyStopped(const webpage::Order& order, bool crashed, const std::string& pageName) {
  if (order.kind != OrderKind::StopPage || !crashed) return false;
  webpage::LogInfo(pageName + ": STOPPAGE: the page's renderer has ended already");
  return true;
}

void LogDroppedOrder(const std::string& pageName, const webpage::Order& order, bool crashed) {
  webpage::LogWarning(pageName + ": order " + platform::WideToUtf8(order.name) + " dropped: the page " +
                      (crashed ? "has crashed" : "is closed"));
}

}  // namespace pagecore

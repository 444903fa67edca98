#include "uicontrol/pageorder.h"

#include <cstdint>

#include "logging/logging.h"

using qxdk::UTIL::com_ptr;

namespace {

const wchar_t* const kSubscribedKeys[] = {
    L"NAVIGATECOMPLETE", L"NEWINDOW",      L"DOCUMENTCOMPLETE", L"BACKFORWARDSTATECHANGE",
    L"GOFORWARDSTATECHANGE", L"BEFORENAVIGATE", L"PROGRESSCHANGE", L"TITLECHANGE",
    L"ICONCHANGE",       L"PROCESSCRASH",  L"NAVIGATEERROR",    L"CHLIDHANDLE",
    L"SHOWEDITFAVWND",   L"SHOWADDFAVWND", L"CLOSEWNDNOTIFTY",  L"BLOCKURLTOUCH",
    L"SHOWIEWND",        L"STATEXTCHANGED", L"POPBLOCK",
};

}  // namespace

bool SendPageOrder(CTabInfo& record, const KeyValueMap& order) {
  com_ptr<IWebPage> spPage = record.spWebPage.Get();
  if (!spPage) return false;
  const std::wstring text = FormatKeyValueText(order);
  spPage->SendOrder(text.c_str());
  return true;
}

void SubscribeRecord(const std::shared_ptr<CTabInfo>& spTabInfo, bool bWithStatusText) {
  com_ptr<IWebPageNotifier> spNotifier;
  spTabInfo->spWebPage.Get().QueryInterface(spNotifier);
  spTabInfo->spPageNotifier.Set(spNotifier);
  if (!spNotifier) {
    LOG_AT(logging::LOG_WARNING) << "the page has no event notifier; the tab hears no events";
    return;
  }
  std::shared_ptr<INotifOrderStub> spSink(spTabInfo);
  for (const wchar_t* key : kSubscribedKeys) {
    if (!bWithStatusText && std::wstring(key) == L"STATEXTCHANGED") continue;
    uintptr_t cookie = 0;
    spNotifier->Subscribe(key, spSink, &cookie);
  }
}

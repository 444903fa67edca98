#include "host/pageevents.h"

#include <memory>

#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// Hands a page's event to the interface as an event of its tab.
class CForwardSink final : public INotifOrderStub {
 public:
  explicit CForwardSink(unsigned int uID) : m_uID(uID) {}
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != INotifOrderStub::iid) return E_NOINTERFACE;
    *ppv = static_cast<INotifOrderStub*>(this);
    return S_OK;
  }
  // Owned by the page's std::shared_ptr, never by these counts.
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT NotifyOrder(const wchar_t* key, const wchar_t* value, int) override {
    CTabManager::Notify(m_uID, key ? key : L"", value ? value : L"");
    return 0;
  }
  HRESULT CreateSHowHideEvent(HWND) override { return S_OK; }

 private:
  const unsigned int m_uID;
};

com_ptr<IWebPage> PageOf(unsigned int uID) {
  if (uID == 0) return nullptr;
  std::shared_ptr<CTabInfo> record = CTabManager::Instance().FindTabInfoInternal(uID);
  return record ? record->spWebPage.Get() : nullptr;
}

}  // namespace

const wchar_t* const CPageEvents::kKeys[] = {L"PAGETEXT", L"FINDRESULT", L"SAVECOMPLETE", L"ORDERUNSUPPORTED",
                                             L"HINTS", L"BLOCKEDCOUNT", L"PAGEUNRESPONSIVE", nullptr};

void CPageEvents::Watch(unsigned int uID) {
  if (uID == 0 || m_watched.count(uID)) return;
  m_watched.insert(uID);
  com_ptr<IWebPage> page = PageOf(uID);
  com_ptr<IWebPageNotifier> notifier;
  if (!page || FAILED(page.QueryInterface(notifier)) || !notifier) return;
  auto sink = std::make_shared<CForwardSink>(uID);
  for (const wchar_t* const* key = kKeys; *key; ++key) {
    uintptr_t cookie = 0;
    notifier->Subscribe(*key, sink, &cookie);
  }
  for (const std::wstring& key : m_extraKeys) {
    uintptr_t cookie = 0;
    notifier->Subscribe(key.c_str(), sink, &cookie);
  }
}

bool CPageEvents::SendOrder(unsigned int uID, const std::wstring& text) {
  com_ptr<IWebPage> page = PageOf(uID);
  return page && SUCCEEDED(page->SendOrder(text.c_str()));
}

#include "uicontrol/tabinfo.h"

#include <chrono>

using qxdk::UTIL::com_ptr;

namespace {

// Takes a reference to the same page object for the interface of `out`'s own ID.
template <class Q, class T>
com_ptr<Q> Requery(const com_ptr<T>& source) {
  com_ptr<Q> out;
  if (source) source.QueryInterface(out);
  return out;
}

}  // namespace

CTabInfo::CTabInfo() = default;

CTabInfo::CTabInfo(const CTabInfo& other)
    : INotifOrderStub(), qxcom::CUnknownImp(), std::enable_shared_from_this<CTabInfo>(), m_bSnapshot(true) {
  CopyFrom(other);
}

CTabInfo& CTabInfo::operator=(const CTabInfo& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void CTabInfo::CopyFrom(const CTabInfo& other) {
  bDocumentComplete = other.bDocumentComplete.load();
  uID = other.uID.load();
  uParentID = other.uParentID.load();
  eTabStatusInfo = other.eTabStatusInfo.load();
  eTabSafeInfo = other.eTabSafeInfo.load();
  hWndWeb = other.hWndWeb.load();
  uProcent = other.uProcent.load();
  bForwardEnable = other.bForwardEnable.load();
  bBackwardEnable = other.bBackwardEnable.load();
  strTitle = other.strTitle;
  strURL = other.strURL;
  strIconPath = other.strIconPath;
  uFontSize = other.uFontSize.load();
  uTickCount = other.uTickCount.load();
  bIsWndShow = other.bIsWndShow.load();
  strStatText = other.strStatText;
  spWebPage.Set(Requery<IWebPage>(other.spWebPage.Get()));
  spPageNotifier.Set(Requery<IWebPageNotifier>(other.spPageNotifier.Get()));
}

CTabInfo::~CTabInfo() {
  // The notifier goes first, then the page; the strings follow with the members.
  spPageNotifier.Set(nullptr);
  spWebPage.Set(nullptr);
}

HRESULT CTabInfo::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_INotifySink) return E_NOINTERFACE;
  *ppv = static_cast<INotifOrderStub*>(this);
  AddRef();
  return S_OK;
}

ULONG CTabInfo::AddRef() {
  platform::CMutexLock guard(m_lockRef);
  int32_t count = InternalAddRef();
  if (count == 1) m_spSelfPin = weak_from_this().lock();
  return static_cast<ULONG>(count);
}

ULONG CTabInfo::Release() {
  std::shared_ptr<CTabInfo> spLastPin;
  bool bDelete = false;
  int32_t count;
  {
    platform::CMutexLock guard(m_lockRef);
    count = InternalRelease();
    if (count == 0) {
      // Owned by shared pointers: drop the pin (which may free the record below, after the
      // lock is gone). Owned by nobody else: the count was the only owner.
      bDelete = !m_bSnapshot && weak_from_this().expired();
      spLastPin.swap(m_spSelfPin);
    }
  }
  if (bDelete) delete this;
  return static_cast<ULONG>(count < 0 ? 0 : count);
}

HRESULT CTabInfo::CreateSHowHideEvent(HWND) { return 0; }

int CTabInfo::ClearChche() {
  strTitle.Set(std::wstring());
  strIconPath.Set(std::wstring());
  bDocumentComplete = 0;
  return 1;
}

void CTabInfo::SetWebPage(com_ptr<IWebPage> spPage) {
  spWebPage.Set(std::move(spPage));
  {
    // Taken so that a waiter between its test and its wait cannot miss the wake-up.
    platform::CMutexLock guard(m_lockRef);
  }
  m_condPage.NotifyAll();
}

com_ptr<IWebPage> CTabInfo::WaitForWebPage(unsigned milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  auto hasPage = [this] { return spWebPage.With([](const com_ptr<IWebPage>& p) { return static_cast<bool>(p); }); };
  {
    platform::CMutexLock guard(m_lockRef);
    while (!hasPage()) {
      if (!m_condPage.WaitUntil(guard, deadline)) break;
    }
  }
  return spWebPage.Get();
}

const CLuaTabInfo& CLuaTabInfo::operator=(CTabInfo& record) {
  uID = record.uID;
  uParentID = record.uParentID;
  eTabStatusInfo = record.eTabStatusInfo;
  eTabSafeInfo = record.eTabSafeInfo;
  hWndWeb = record.hWndWeb;
  uProcent = record.uProcent;
  bForwardEnable = record.bForwardEnable;
  bBackwardEnable = record.bBackwardEnable;
  strTitle = record.strTitle.Get();
  strURL = record.strURL.Get();
  strIconPath = record.strIconPath.Get();
  uFontSize = record.uFontSize;
  uTickCount = record.uTickCount;
  strStatText = record.strStatText.Get();
  return *this;
}

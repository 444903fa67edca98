// The tab manager singleton: construction, the host's slots and callbacks, the
// notification entry points, and the two worker threads.
#include "uicontrol/tabmanager.h"

#include "logging/logging.h"
#include "platform/taskfailure.h"
#include "logging/messages.h"
#include "platform/system.h"
#include "platform/window.h"
#include "uicontrol/statcache.h"
#include "uicontrol/tunables.h"

using qxdk::UTIL::com_ptr;

// Both queues exist from library load, so tasks posted before Start wait in them.
std::shared_ptr<CTabTaskQueue> CTabManager::m_spUITaskQueue = std::make_shared<CTabTaskQueue>();
std::shared_ptr<CTabTaskQueue> CTabManager::m_spIOTaskQueue = std::make_shared<CTabTaskQueue>();
std::atomic<HWND> CTabManager::m_hDialogOwnerWnd{nullptr};
CAtomicSlot<com_ptr<IWebPageManager>> CTabManager::m_spWebPageManager;
CAtomicSlot<com_ptr<IDataAccessor>> CTabManager::m_spDataAccessor;
CAtomicSlot<com_ptr<IDataAccessorII>> CTabManager::m_spDataAccessorII;
CAtomicSlot<com_ptr<IAddFavoriteDlg>> CTabManager::m_spAddFavoriteDlg;
CAtomicSlot<com_ptr<IEditFavoriteDlg>> CTabManager::m_spEditFavoriteDlg;
CCallbackSlot<TabNotifyFunction> CTabManager::m_funNotify;
CCallbackSlot<DataNotifyFunction> CTabManager::m_dataNotify;

CTabManager& CTabManager::Instance() {
  static CTabManager instance;
  return instance;
}

CTabManager::CTabManager() {
  std::wstring strLogFile = platform::ExecutableFolder() + L"uicontrol.log";
  logging::ConfigureLogging(strLogFile, logging::TargetNone, logging::LockInProcess, logging::DeleteOldLogFile, 0);
  // Failed tasks of every queue go to this log unless the host chose a place for them.
  platform::SetTaskFailureHookIfUnset([](const std::string& line) { LOG_AT(logging::LOG_ERROR) << line; });
  // The writer first, so that the reader opens the block the writer has just created.
  m_pStatCacheWriter.reset(new CStatCacheWriter(GetCurrentProcessId()));
  m_pStatCacheReader.reset(new CStatCacheReader(GetCurrentProcessId()));
}

CTabManager::~CTabManager() {
  // A joinable thread may not be destroyed, so workers still running at unload are ended.
  Quit();
  // Tasks posted after the last Quit (a store notification at exit, say) hold components
  // whose release calls back into this object: let them go while it still exists, not
  // when the queues themselves are destroyed later.
  m_spUITaskQueue->ReleasePending();
  m_spIOTaskQueue->ReleasePending();
  std::map<unsigned int, std::shared_ptr<CTabInfo>> mapTabs;
  {
    CAutoLock guard(m_lockTabInfo);
    mapTabs.swap(m_mapTabInfo);
  }
}

HRESULT CTabManager::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_INotifySink) return E_NOINTERFACE;
  *ppv = static_cast<INotifierStub*>(this);
  AddRef();
  return S_OK;
}

ULONG CTabManager::AddRef() { return static_cast<ULONG>(InternalAddRef()); }

// The singleton lives as long as the library; the count never frees it.
ULONG CTabManager::Release() { return static_cast<ULONG>(InternalRelease()); }

int32_t CTabManager::CreateID() {
  static std::atomic<int32_t> m_uCount{0};
  return ++m_uCount;
}

void CTabManager::SetMainWndHwnd(HWND hWnd) {
  CHECK_REPORT(hWnd);
  CHECK_REPORT(::IsWindow(hWnd));
  m_hDialogOwnerWnd = hWnd;
}

HWND CTabManager::GetMainWndHwnd() { return m_hDialogOwnerWnd.load(); }

void CTabManager::SetWebPageManager(com_ptr<IWebPageManager> spWebPageManager) {
  CHECK_REPORT(spWebPageManager);
  m_spWebPageManager.Set(std::move(spWebPageManager));
}

com_ptr<IWebPageManager> CTabManager::GetWebPageManager() {
  CHECK_REPORT(m_spWebPageManager);
  return m_spWebPageManager.Get();
}

void CTabManager::SetAddFavoriteDlg(com_ptr<IAddFavoriteDlg> spAddFavoriteDlg) {
  CHECK_REPORT(spAddFavoriteDlg);
  m_spAddFavoriteDlg.Set(std::move(spAddFavoriteDlg));
}

void CTabManager::SetEditFavoriteDlg(com_ptr<IEditFavoriteDlg> spEditFavoriteDlg) {
  CHECK_REPORT(spEditFavoriteDlg);
  m_spEditFavoriteDlg.Set(std::move(spEditFavoriteDlg));
}

com_ptr<IAddFavoriteDlg> CTabManager::GetAddFavoriteDlg() { return m_spAddFavoriteDlg.Get(); }
com_ptr<IEditFavoriteDlg> CTabManager::GetEditFavoriteDlg() { return m_spEditFavoriteDlg.Get(); }

void CTabManager::RegisterNotify(TabNotifyFunction funNotify) {
  CHECK_REPORT(funNotify);
  m_funNotify.Set(std::move(funNotify));
}

void CTabManager::RegisterDataNotify(DataNotifyFunction dataNotify) {
  CHECK_REPORT(dataNotify);
  m_dataNotify.Set(std::move(dataNotify));
}

void CTabManager::Notify(unsigned int uID, const wchar_t* key, const wchar_t* value) {
  m_funNotify.Call(uID, key, value);
}

void CTabManager::NotifyData(const wchar_t* key, const std::wstring& data) {
  m_dataNotify.Call(key, data);
}

bool CTabManager::Start() {
  LOG_AT(logging::LOG_INFO) << logging::msg::kStartTabManager;
  platform::CMutexLock guard(m_lockThreads);
  if (m_hThreadHandle[0] && m_hThreadHandle[1]) return true;

  m_hThreadHandle[0] = platform::CreateThread([] { TabWorkIOThread(nullptr); });
  CHECK_REPORT(m_hThreadHandle[0]);
  if (!m_hThreadHandle[0]) return false;

  m_hThreadHandle[1] = platform::CreateThread([] { TabWorkUIThread(nullptr); });
  CHECK_REPORT(m_hThreadHandle[1]);
  if (m_hThreadHandle[1]) return true;

  // Leave no half-started state behind: the IO worker takes its quit task now, so no
  // quit task is left to end the workers of a later Start.
  m_spIOTaskQueue->PostQuit();
  platform::JoinAndClose(m_hThreadHandle[0]);
  return false;
}

void CTabManager::Quit() {
  platform::CMutexLock guard(m_lockThreads);
  if (!m_hThreadHandle[0] && !m_hThreadHandle[1]) return;
  for (const platform::ThreadHandle& handle : m_hThreadHandle) {
    if (handle && handle->get_id() == std::this_thread::get_id()) {
      // A worker cannot wait for itself; its quit must come from another thread.
      LOG_AT(logging::LOG_ERROR) << "Quit called on a worker thread; ignored";
      return;
    }
  }
  if (m_hThreadHandle[0]) m_spIOTaskQueue->PostQuit();
  if (m_hThreadHandle[1]) m_spUITaskQueue->PostQuit();
  platform::JoinAndClose(m_hThreadHandle[0]);
  platform::JoinAndClose(m_hThreadHandle[1]);
}

unsigned CTabManager::TabWorkIOThread(void*) {
  LOG_AT(logging::LOG_INFO) << logging::msg::kIOThreadStart;
  m_spIOTaskQueue->Run();
  LOG_AT(logging::LOG_INFO) << logging::msg::kIOThreadExit;
  return 0;
}

unsigned CTabManager::TabWorkUIThread(void*) {
  LOG_AT(logging::LOG_INFO) << logging::msg::kUIThreadStart;
  m_spUITaskQueue->Run();
  LOG_AT(logging::LOG_INFO) << logging::msg::kUIThreadExit;
  return 0;
}

void CTabManager::BindMainWnd(HWND hWnd) {
  std::vector<PendingWebWindow> vecPending;
  {
    platform::CMutexLock guard(m_lockMainWnd);
    m_hPageParentWnd = hWnd;
    if (hWnd) vecPending.swap(m_vecPendingWebWnd);
  }
  unsigned long value = static_cast<unsigned long>(HandleValue(hWnd));
  SetGlobalCache(tunables::kStatCacheMainWindowEntry, &value);
  for (const PendingWebWindow& pending : vecPending) ShowWebWindowIn(pending.uID, pending.hWnd, hWnd);
}

void CTabManager::PlaceWebWindow(unsigned int uID, HWND hWnd) {
  HWND hMainWnd;
  {
    platform::CMutexLock guard(m_lockMainWnd);
    hMainWnd = m_hPageParentWnd.load();
    if (!hMainWnd) {
      m_vecPendingWebWnd.push_back({uID, hWnd});
      return;
    }
  }
  ShowWebWindowIn(uID, hWnd, hMainWnd);
}

void CTabManager::ShowWebWindowIn(unsigned int uID, HWND hWnd, HWND hMainWnd) {
  std::shared_ptr<CTabInfo> spTabInfo;
  {
    CAutoLock guard(m_lockTabInfo);
    auto iter = m_mapTabInfo.find(uID);
    if (iter != m_mapTabInfo.end()) spTabInfo = iter->second;
  }
  if (!spTabInfo) return;  // closed before its window could be shown
  ::SetParent(hWnd, hMainWnd);
  static_cast<INotifOrderStub*>(spTabInfo.get())->CreateSHowHideEvent(hWnd);
  ::ShowWindow(hWnd, SW_SHOW);
  eTabStatus expected = eTabStatusNew;
  spTabInfo->eTabStatusInfo.compare_exchange_strong(expected, eTabStatusReady);
}

int CTabManager::SetGlobalCache(unsigned long type, unsigned long* value) {
  return m_pStatCacheWriter ? m_pStatCacheWriter->Set(type, value) : 0;
}

int CTabManager::GetGlobalCache(unsigned long type, void* out) {
  return m_pStatCacheReader ? m_pStatCacheReader->Get(type, out) : 0;
}

#pragma once
// CTabManager: the one object through which the host and the Lua user interface reach
// the library. It keeps the registry of tabs, the two worker threads, the outside
// components and callbacks handed over by the host, and the data services.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/mutex.h"
#include "platform/thread.h"
#include "platform/windef.h"
#include "uicontrol/atomicslot.h"
#include "uicontrol/callbackslot.h"
#include "uicontrol/com/qxcom.h"
#include "uicontrol/export.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/interfaces/favoritedlg.h"
#include "uicontrol/interfaces/notifystub.h"
#include "uicontrol/interfaces/webpage.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabtaskqueue.h"

struct lua_State;
class CStatCacheWriter;
class CStatCacheReader;

using TabNotifyFunction = std::function<void(unsigned int, const wchar_t*, const wchar_t*)>;
using DataNotifyFunction = std::function<void(const wchar_t*, const std::wstring&)>;

class UICONTROL_API CTabManager : public INotifierStub, public qxcom::CUnknownImp {
 public:
  static CTabManager& Instance();

  // INotifierStub: answers IID_IUnknown and the sink ID; the count never frees the singleton.
  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // A change in the data store: refreshes the affected lists (see datanotify.cpp).
  HRESULT Notify(const wchar_t* name, const wchar_t* value, const wchar_t* extra) override;

  // Outside components and callbacks, set by the host before Start.
  static void SetMainWndHwnd(HWND hWnd);
  static void SetWebPageManager(qxdk::UTIL::com_ptr<IWebPageManager> spWebPageManager);
  static qxdk::UTIL::com_ptr<IWebPageManager> GetWebPageManager();
  static void SetAddFavoriteDlg(qxdk::UTIL::com_ptr<IAddFavoriteDlg> spAddFavoriteDlg);
  static void SetEditFavoriteDlg(qxdk::UTIL::com_ptr<IEditFavoriteDlg> spEditFavoriteDlg);
  static void RegisterNotify(TabNotifyFunction funNotify);
  static void RegisterDataNotify(DataNotifyFunction dataNotify);
  static void SetDataAccessor(qxdk::UTIL::com_ptr<IDataAccessor> spDataAccess);
  static qxdk::UTIL::com_ptr<IDataAccessor> GetDataAccessor();
  static qxdk::UTIL::com_ptr<IDataAccessorII> GetDataAccessorII();
  // The owner of the favourite dialogs, as SetMainWndHwnd last set it (null included).
  static HWND GetMainWndHwnd();
  static qxdk::UTIL::com_ptr<IAddFavoriteDlg> GetAddFavoriteDlg();
  static qxdk::UTIL::com_ptr<IEditFavoriteDlg> GetEditFavoriteDlg();

  // The only ways results and events reach the user interface; called on any thread.
  static void Notify(unsigned int uID, const wchar_t* key, const wchar_t* value);
  static void NotifyData(const wchar_t* key, const std::wstring& data);

  static std::shared_ptr<CTabTaskQueue> UITaskQueue() { return m_spUITaskQueue; }
  static std::shared_ptr<CTabTaskQueue> IOTaskQueue() { return m_spIOTaskQueue; }

  // Worker threads.
  bool Start();
  void Quit();
  // Binds the window that page windows go into. Page windows announced before a window
  // was bound are parented and shown here, in the order they arrived.
  void BindMainWnd(HWND hWnd);
  HWND GetBoundMainWnd() const { return m_hPageParentWnd.load(); }
  // Parents a tab's page window into the bound main window and shows it, or keeps it
  // for BindMainWnd when none is bound yet. Never waits: page threads call it.
  void PlaceWebWindow(unsigned int uID, HWND hWnd);
  bool IsAudioEnable() { return m_bAudioEnable.load(); }

  // Tab registry and lifecycle.
  unsigned int AddTab(const std::wstring& strURL, unsigned int uParentID);
  unsigned int AddLinkTab(const std::wstring& strURL, unsigned int uParentId);
  unsigned int RestoreTab(const std::wstring& strUUID);
  bool RestoreTab(unsigned int uID, const std::wstring& strUUID);
  bool CloseTab(unsigned int uID);
  void CloseTab(const std::vector<unsigned int>& vecID);
  void CloseAllTab();
  CTabInfo FindTabInfo(unsigned int uID);
  CLuaTabInfo FindTabInfoForLua(unsigned int uID);
  int GetTabsCount();
  bool SelectTab(unsigned int uID);
  int HideAllTab();
  unsigned int GetCurrentID();
  // The registry's record for an ID; empty (after its log lines) when there is none.
  std::shared_ptr<CTabInfo> FindTabInfoInternal(unsigned int uID);

  // Page commands.
  bool Navigate(unsigned int uID, const std::wstring& strURL);
  bool GoForward(unsigned int uID);
  bool GoBack(unsigned int uID);
  bool Stop(unsigned int uID);
  bool Refresh(unsigned int uID);
  bool Home(unsigned int uID);
  bool OpenFile(unsigned int uID);
  bool SaveWeb(unsigned int uID);
  bool SaveWebToImage(unsigned int uID);
  bool PageSet(unsigned int uID);
  bool Print(unsigned int uID);
  bool PrintView(unsigned int uID);
  bool SendLinkUseEmail(unsigned int uID);
  bool SendWebUseEmail(unsigned int uID);
  bool PageAttribute(unsigned int uID);
  bool ViewSource(unsigned int uID);
  bool InternetOption(unsigned int uID);
  bool SetTextSize(unsigned int uID, unsigned int uSize);
  unsigned int GetTextSize(unsigned int uID);
  bool SetWebZoom(unsigned int uID, unsigned int uZoom);
  unsigned int GetWebZoom(unsigned int uID);
  void ShowWebFind(unsigned int uID);
  void ShowWebMenu(unsigned int uID);
  bool ShowIeWindow(unsigned int uID, bool bShow);
  bool ChangeIeZorder(HWND hWnd);
  bool MoveWebWindow(unsigned long uID, RECT& rcWnd);
  bool SendParentHwnd(unsigned int uID, HWND hWnd);
  bool EnableAudio(unsigned int uID, bool bEnable);

  // Favourites.
  bool GetAllFavoriteItems();
  bool GetFavoriteByFloder();
  bool AddFavoriteItem(int nParentId, const std::wstring& strURL, const std::wstring& strTitle,
                       const std::wstring& strIcon);
  bool DeleteFavoriteItem(const std::wstring& strID);
  bool ImportIEFavorites();

  // Search engines, navigation history, recover list.
  bool GetAllSearchLlists();
  bool SetDefaultSearch(const std::wstring& strID);
  bool GetBusinessSearch();
  bool GetNavigateHistory(unsigned int uID);
  bool GetRecoverLists();
  bool ClearRecoverLists();

  // Settings and default browser.
  std::wstring GetValue(const std::wstring& strName);
  void SetValue(const std::wstring& strName, const std::wstring& strValue);
  int GetItemValue(const std::wstring& strCommand, const std::wstring& strParameters);
  std::wstring QueryIconPathFromURL(const std::wstring& strURL);
  std::wstring GetDefaultIndex();
  bool IsShowDefaultIndex();
  bool IsShowSetDefaultBrowserDlg();
  void SetShowSetDefaultBrowserDlg(bool bShow);
  bool IsShowCloseTabs();
  void SetShowCloseTabs(bool bShow);
  bool IsDefaultBrowser();
  void SetDefaultBrowser(bool bDefault);
  bool UpdateBrowser();
  void UpdateTickCount(unsigned int uID);

  // Shared statistics cache.
  int SetGlobalCache(unsigned long type, unsigned long* value);
  int GetGlobalCache(unsigned long type, void* out);

  // Subscribes to the data store's change notifications (last step of SetDataAccessor).
  void RegisterDataChange();

  // Lua API.
  static bool InstallToLua(lua_State* luaState);

 private:
  CTabManager();
  ~CTabManager() override;
  CTabManager(const CTabManager&) = delete;
  CTabManager& operator=(const CTabManager&) = delete;

  static int32_t CreateID();
  static unsigned TabWorkIOThread(void* pParam);
  static unsigned TabWorkUIThread(void* pParam);

  int SetCurrentID(unsigned int uID);
  unsigned int GetLastID();
  int SetLastID(unsigned int uID);

  // The record of a tab after the standard checks: ID 0 is refused with its warning, an
  // unknown ID with the lookup's lines; both give an empty pointer.
  std::shared_ptr<CTabInfo> FindCheckedTab(unsigned int uID);
  // Posts a task holding the record to a queue, after the standard ID check and lookup.
  bool PostStandardCommand(unsigned int uID, bool bUIQueue,
                           std::shared_ptr<ITabTask> (*makeTask)(std::shared_ptr<CTabInfo>));

  platform::ThreadHandle m_hThreadHandle[2] GUARDED_BY(m_lockThreads);
  std::map<unsigned int, std::shared_ptr<CTabInfo>> m_mapTabInfo GUARDED_BY(m_lockTabInfo);
  std::atomic<unsigned int> m_uLastID{0};
  std::atomic<unsigned int> m_uCurrentID{0};
  // The window BindMainWnd bound: page windows go into it, and it owns the message box
  // Home shows when no home page is set. See m_hDialogOwnerWnd for the other window.
  std::atomic<HWND> m_hPageParentWnd{nullptr};
  std::unique_ptr<CStatCacheWriter> m_pStatCacheWriter;
  std::unique_ptr<CStatCacheReader> m_pStatCacheReader;
  std::atomic<bool> m_bAudioEnable{false};
  CLock m_lockTabInfo;

  // Start and Quit come from the host's thread; this keeps a Lua call and a native
  // call from starting or joining the same threads twice.
  platform::CMutex m_lockThreads;
  // Page windows that arrived before a main window was bound, in arrival order; the
  // lock also orders binding against new arrivals so that none is left behind.
  struct PendingWebWindow {
    unsigned int uID;
    HWND hWnd;
  };
  platform::CMutex m_lockMainWnd;
  std::vector<PendingWebWindow> m_vecPendingWebWnd GUARDED_BY(m_lockMainWnd);
  // Parents and shows one page window; a tab closed meanwhile is skipped.
  void ShowWebWindowIn(unsigned int uID, HWND hWnd, HWND hMainWnd);

  // The host's components and callbacks. Each is replaced whole and read as a copy, so
  // a late setter never races with a worker reading the slot.
  // Two windows with two jobs; a host usually gives the same window to both. The dialog
  // owner (SetMainWndHwnd) owns the add- and edit-favourite dialogs that page events
  // ask for, read as it is when the event arrives; null is a valid owner and is passed
  // on as it is. The page parent (m_hPageParentWnd, BindMainWnd) holds the page windows
  // and owns Home's message box.
  static std::atomic<HWND> m_hDialogOwnerWnd;
  static CAtomicSlot<qxdk::UTIL::com_ptr<IWebPageManager>> m_spWebPageManager;
  static CAtomicSlot<qxdk::UTIL::com_ptr<IDataAccessor>> m_spDataAccessor;
  static CAtomicSlot<qxdk::UTIL::com_ptr<IDataAccessorII>> m_spDataAccessorII;
  static CAtomicSlot<qxdk::UTIL::com_ptr<IAddFavoriteDlg>> m_spAddFavoriteDlg;
  static CAtomicSlot<qxdk::UTIL::com_ptr<IEditFavoriteDlg>> m_spEditFavoriteDlg;
  static CCallbackSlot<TabNotifyFunction> m_funNotify;
  static CCallbackSlot<DataNotifyFunction> m_dataNotify;
  static std::shared_ptr<CTabTaskQueue> m_spUITaskQueue;
  static std::shared_ptr<CTabTaskQueue> m_spIOTaskQueue;
};

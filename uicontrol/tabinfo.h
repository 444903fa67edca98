#pragma once
// CTabInfo: the record of one tab and, at the same time, the sink of its page's events.
// CLuaTabInfo: a plain value snapshot of a record for the Lua user interface.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/mutex.h"
#include "platform/windef.h"
#include "uicontrol/atomicslot.h"
#include "uicontrol/com/qxcom.h"
#include "uicontrol/export.h"
#include "uicontrol/guardedstring.h"
#include "uicontrol/interfaces/notifystub.h"
#include "uicontrol/interfaces/webpage.h"
#include "uicontrol/tunables.h"

struct lua_State;

enum eTabStatus : int32_t { eTabStatusNew = 0, eTabStatusReady = 1, eTabStatusClosing = 2 };
enum eTabSafe : int32_t { eTabSafeNormal = 0, eTabSafeUnknown = 1, eTabSafeBlocked = 2 };

// Fields are written on the page's event thread and read or copied on the user
// interface and worker threads, so each is atomic or guarded by a lock of its own.
class UICONTROL_API CTabInfo : public INotifOrderStub,
                               public qxcom::CUnknownImp,
                               public std::enable_shared_from_this<CTabInfo> {
 public:
  CTabInfo();
  // A copy is a plain value: every field, and its own references to the same page,
  // each asked for by its own interface ID. Its reference count never deletes it: a
  // copy lives where its owner put it (often on the stack), whatever the count says.
  CTabInfo(const CTabInfo& other);
  CTabInfo& operator=(const CTabInfo& other);
  ~CTabInfo() override;

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  // The count keeps the record alive on its own: while it is above zero a record owned by
  // shared pointers pins itself; a record that no shared pointer owns is deleted when the
  // count returns to zero. Either way it is destroyed exactly once.
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT NotifyOrder(const wchar_t* key, const wchar_t* value, int reserved) override;
  HRESULT CreateSHowHideEvent(HWND hWnd) override;

  // Empties the title and icon and clears bDocumentComplete before a navigation order.
  int ClearChche();

  // Sets the page and wakes those waiting for it.
  void SetWebPage(qxdk::UTIL::com_ptr<IWebPage> spPage);
  // Waits up to `milliseconds` for the page; returns it (null when it did not come).
  qxdk::UTIL::com_ptr<IWebPage> WaitForWebPage(unsigned milliseconds);

  // Guards the text fields below; held only to copy or replace them.
  mutable platform::CMutex m_lockText;

  std::atomic<int32_t> bDocumentComplete{0};
  std::atomic<uint32_t> uID{0};
  std::atomic<uint32_t> uParentID{0};
  std::atomic<eTabStatus> eTabStatusInfo{eTabStatusNew};
  std::atomic<eTabSafe> eTabSafeInfo{eTabSafeUnknown};
  std::atomic<HWND> hWndWeb{nullptr};
  std::atomic<uint32_t> uProcent{0};
  std::atomic<bool> bForwardEnable{false};
  std::atomic<bool> bBackwardEnable{false};
  CGuardedString strTitle{m_lockText};
  CGuardedString strURL{m_lockText};
  CGuardedString strIconPath{m_lockText};
  std::atomic<uint32_t> uFontSize{tunables::kDefaultFontSize};
  std::atomic<uint32_t> uTickCount{0};
  std::atomic<int32_t> bIsWndShow{0};
  CGuardedString strStatText{m_lockText};
  CAtomicSlot<qxdk::UTIL::com_ptr<IWebPage>> spWebPage;
  CAtomicSlot<qxdk::UTIL::com_ptr<IWebPageNotifier>> spPageNotifier;

 private:
  void CopyFrom(const CTabInfo& other);
  int WriteHistory();
  // Stores a changed title (as shown) and URL; false when both equal the stored values.
  bool ApplyTitleChange(std::wstring_view newTitle, std::wstring_view newURL, bool bDisplayForm);

  // Guards the self pin and the page wait.
  platform::CMutex m_lockRef;
  std::shared_ptr<CTabInfo> m_spSelfPin GUARDED_BY(m_lockRef);
  // Set for copies: Release never deletes them.
  bool m_bSnapshot = false;
  platform::CCondition m_condPage;
};

class UICONTROL_API CLuaTabInfo {
 public:
  CLuaTabInfo() = default;
  CLuaTabInfo(const CLuaTabInfo&) = default;
  CLuaTabInfo& operator=(const CLuaTabInfo&) = default;
  ~CLuaTabInfo() = default;
  // Copies the fourteen same-named fields of the record.
  const CLuaTabInfo& operator=(CTabInfo& record);

  static bool InstallToLua(lua_State* luaState);

  unsigned int uID = 0;
  unsigned int uParentID = 0;
  eTabStatus eTabStatusInfo = eTabStatusNew;
  eTabSafe eTabSafeInfo = eTabSafeUnknown;
  HWND hWndWeb = nullptr;
  unsigned int uProcent = 0;
  bool bForwardEnable = false;
  bool bBackwardEnable = false;
  std::wstring strTitle;
  std::wstring strURL;
  std::wstring strIconPath;
  unsigned int uFontSize = tunables::kDefaultFontSize;
  unsigned int uTickCount = 0;
  std::wstring strStatText;
};

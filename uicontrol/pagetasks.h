#pragma once
// Tasks that send one order to a tab's page on a worker thread.
#include <memory>

#include "platform/windef.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabtask.h"

// Sends "CMD=<order>" and the task's parameters; a record without a page drops it.
class CTaskPageOrder : public ITabTask {
 public:
  CTaskPageOrder(std::shared_ptr<CTabInfo> spTabInfo, const wchar_t* order)
      : m_spTabInfo(std::move(spTabInfo)), m_order(order) {}
  bool Execute() override;

 protected:
  virtual void AddParameters(KeyValueMap&) {}
  std::shared_ptr<CTabInfo> m_spTabInfo;

 private:
  const wchar_t* m_order;
};

#define UICONTROL_ORDER_TASK(Name, Order)                                                        \
  class Name : public CTaskPageOrder {                                                           \
   public:                                                                                       \
    explicit Name(std::shared_ptr<CTabInfo> spTabInfo) : CTaskPageOrder(std::move(spTabInfo), Order) {} \
  }

UICONTROL_ORDER_TASK(CTaskGoForward, L"GOFORWORD");
UICONTROL_ORDER_TASK(CTaskGoBack, L"GOBACK");
UICONTROL_ORDER_TASK(CTaskStop, L"STOP");
UICONTROL_ORDER_TASK(CTaskRefresh, L"REFRESH");
UICONTROL_ORDER_TASK(CTaskHome, L"GOHOME");
UICONTROL_ORDER_TASK(CTaskOpenFile, L"FILEOPEN");
UICONTROL_ORDER_TASK(CTaskSaveWeb, L"SAVEHTML");
UICONTROL_ORDER_TASK(CTaskSaveImage, L"SAVEIMGE");
UICONTROL_ORDER_TASK(CTaskPageSet, L"PAGESETUP");
UICONTROL_ORDER_TASK(CTaskPrint, L"PRINT");
UICONTROL_ORDER_TASK(CTaskPrintView, L"PRINTPREVIEW");
UICONTROL_ORDER_TASK(CTaskUseEmailSendLink, L"SENDLINKBYEMAIL");
UICONTROL_ORDER_TASK(CTaskUseEmailSendPage, L"FILESENDPAGEBYEMAIL");
UICONTROL_ORDER_TASK(CTaskTabAttribute, L"PROPERTIES");
UICONTROL_ORDER_TASK(CTaskViewSource, L"VIEWSOURCE");
UICONTROL_ORDER_TASK(CTaskInternetOption, L"internetOpation");
UICONTROL_ORDER_TASK(CTaskShowWebFind, L"FIND");
UICONTROL_ORDER_TASK(CTaskShowWebMenu, L"SHOWCONTEXTMENU");

#undef UICONTROL_ORDER_TASK

// Navigates to the record's URL as it stands when the task runs.
class CTaskNavigate : public ITabTask {
 public:
  explicit CTaskNavigate(std::shared_ptr<CTabInfo> spTabInfo) : m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  std::shared_ptr<CTabInfo> m_spTabInfo;
};

class CTaskSetTextSize : public ITabTask {
 public:
  CTaskSetTextSize(unsigned int uSize, std::shared_ptr<CTabInfo> spTabInfo)
      : m_uSize(uSize), m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  unsigned int m_uSize;
  std::shared_ptr<CTabInfo> m_spTabInfo;
};

class CTaskMoveWnd : public CTaskPageOrder {
 public:
  CTaskMoveWnd(std::shared_ptr<CTabInfo> spTabInfo, const RECT& rcWnd)
      : CTaskPageOrder(std::move(spTabInfo), L"MOVEWEBWINDOW"), m_rcWnd(rcWnd) {}

 private:
  void AddParameters(KeyValueMap& order) override;
  RECT m_rcWnd;
};

// Waits up to 30 s for the page of a tab that gets it on the other worker.
class CTaskSendParentHwnd : public ITabTask {
 public:
  CTaskSendParentHwnd(std::shared_ptr<CTabInfo> spTabInfo, HWND hParentWnd)
      : m_spTabInfo(std::move(spTabInfo)), m_hParentWnd(hParentWnd) {}
  bool Execute() override;

 private:
  std::shared_ptr<CTabInfo> m_spTabInfo;
  HWND m_hParentWnd;
};

class CTaskEnableAudio : public CTaskPageOrder {
 public:
  CTaskEnableAudio(std::shared_ptr<CTabInfo> spTabInfo, bool bEnable)
      : CTaskPageOrder(std::move(spTabInfo), L"WEBAUDIO"), m_bEnable(bEnable) {}

 private:
  void AddParameters(KeyValueMap& order) override { order[L"STATE"] = m_bEnable ? L"1" : L"0"; }
  bool m_bEnable;
};

#pragma once
// The two notification sinks the library implements: INotifOrderStub (a tab record,
// called by its web page) and INotifierStub (the tab manager, called by the data store).
// Both answer the sink interface ID below besides IID_IUnknown.
#include "uicontrol/com/qxcom.h"

// {8D413EB0-2247-47A9-B651-A54E2DB4EFDD}
constexpr GUID IID_INotifySink = {0x8D413EB0, 0x2247, 0x47A9, {0xB6, 0x51, 0xA5, 0x4E, 0x2D, 0xB4, 0xEF, 0xDD}};

struct INotifOrderStub : IUnknown {
  static constexpr GUID iid = IID_INotifySink;
  // One page event: its key, its key=value text and an unused integer. Returns 0.
  virtual HRESULT NotifyOrder(const wchar_t* key, const wchar_t* value, int reserved) = 0;
  virtual HRESULT CreateSHowHideEvent(HWND hWnd) = 0;

 protected:
  ~INotifOrderStub() = default;
};

struct INotifierStub : IUnknown {
  static constexpr GUID iid = IID_INotifySink;
  // One data store change: the notification name, its value and an extra text.
  virtual HRESULT Notify(const wchar_t* name, const wchar_t* value, const wchar_t* extra) = 0;

 protected:
  ~INotifierStub() = default;
};

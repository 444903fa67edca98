#pragma once
// The outside web page component: a page manager creates one page per tab; a page
// takes key=value order texts, reports events to subscribed sinks and keeps named values.
// Texts are NUL-terminated wide strings; statuses are signed 32-bit.
#include <cstdint>
#include <memory>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/notifystub.h"

// {4DC9C424-1D1B-47D2-8431-77F97A74D2D1}
struct IWebPage : IUnknown {
  static constexpr GUID iid = {0x4DC9C424, 0x1D1B, 0x47D2, {0x84, 0x31, 0x77, 0xF9, 0x7A, 0x74, 0xD2, 0xD1}};
  // Carries out one order ("CMD=...\n" plus parameters); results come only as events.
  virtual HRESULT SendOrder(const wchar_t* order) = 0;

 protected:
  ~IWebPage() = default;
};

// {6F2B5023-39B4-4545-BC62-8C3F61E9A315}
struct IWebPageNotifier : IUnknown {
  static constexpr GUID iid = {0x6F2B5023, 0x39B4, 0x4545, {0xBC, 0x62, 0x8C, 0x3F, 0x61, 0xE9, 0xA3, 0x15}};
  // From then on the page calls sink->NotifyOrder for every event of that key, on a
  // thread of its own. The page keeps the sink for as long as it may call it.
  virtual HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) = 0;

 protected:
  ~IWebPageNotifier() = default;
};

// {D292AB81-E8A0-488C-8BD8-0DD81DBCFE6A}
struct IWebPageData : IUnknown {
  static constexpr GUID iid = {0xD292AB81, 0xE8A0, 0x488C, {0x8B, 0xD8, 0x0D, 0xD8, 0x1D, 0xBC, 0xFE, 0x6A}};
  virtual HRESULT SetData(const wchar_t* name, const wchar_t* value) = 0;
  // Writes a text (or null) that stays valid until it is given back with FreeData.
  virtual HRESULT GetData(const wchar_t* name, wchar_t** value) = 0;
  virtual HRESULT FreeData(wchar_t* value) = 0;

 protected:
  ~IWebPageData() = default;
};

// {2B6E3C51-8F0A-4D7B-9C1E-5A4F3D2E1B0C}
struct IWebPageManager : IUnknown {
  static constexpr GUID iid = {0x2B6E3C51, 0x8F0A, 0x4D7B, {0x9C, 0x1E, 0x5A, 0x4F, 0x3D, 0x2E, 0x1B, 0x0C}};
  // Creates a page; `reserved` is always null. A negative status or a null page is a failure;
  // otherwise *page holds a reference that the caller owns.
  virtual HRESULT NewPage(void* reserved, IWebPage** page) = 0;
  // Slot 4 is kept for the layout and never called by the library.
  virtual HRESULT Reserved(void* reserved) = 0;
  // Creates the page that `parent` opened (its "NEWINDOW" event announced it); no order follows.
  virtual HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) = 0;

 protected:
  ~IWebPageManager() = default;
};

#pragma once
// The outside data store: named text commands with key=value parameter texts, text
// results, and change notifications. Statuses are never inspected by the library.
#include <cstdint>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/notifystub.h"

// {5C7E2A90-3B4D-4E6F-8A1B-2C3D4E5F6A7B}
struct IDataAccessor : IUnknown {
  static constexpr GUID iid = {0x5C7E2A90, 0x3B4D, 0x4E6F, {0x8A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x6A, 0x7B}};
  virtual HRESULT SetData(const wchar_t* name, const wchar_t* text) = 0;
  // Writes a text (or null) that stays valid at least until the caller has copied it
  // and, at the latest, until it is given back with FreeData.
  virtual HRESULT GetData(const wchar_t* name, wchar_t** text) = 0;
  virtual HRESULT FreeData(wchar_t* text) = 0;

 protected:
  ~IDataAccessor() = default;
};

// A query result: its text stays valid while the holder is held.
struct IDataHolder : IUnknown {
  static constexpr GUID iid = {0x7A1D3E52, 0x6C8B, 0x4F09, {0x9E, 0x2D, 0x4B, 0x6A, 0x8C, 0x0E, 0x1F, 0x23}};
  virtual HRESULT GetText(const wchar_t** text) = 0;

 protected:
  ~IDataHolder() = default;
};

// {1809F11B-97DB-4EC1-9323-53AA02266833}
struct IDataAccessorII : IUnknown {
  static constexpr GUID iid = {0x1809F11B, 0x97DB, 0x4EC1, {0x93, 0x23, 0x53, 0xAA, 0x02, 0x26, 0x68, 0x33}};
  // Writes a holder reference the caller owns, or null when there is no result.
  virtual HRESULT QueryData(const wchar_t* name, const wchar_t* parameters, IDataHolder** holder) = 0;

 protected:
  ~IDataAccessorII() = default;
};

// {8E05C893-B16A-4C3E-B772-A9E31AEDC4F7}
struct IDataAccessorNotifier : IUnknown {
  static constexpr GUID iid = {0x8E05C893, 0xB16A, 0x4C3E, {0xB7, 0x72, 0xA9, 0xE3, 0x1A, 0xED, 0xC4, 0xF7}};
  // The store calls sink->Notify for every change of that name, after the change is
  // committed. The store holds a reference to the sink while subscribed.
  virtual HRESULT Subscribe(const wchar_t* name, INotifierStub* sink, uintptr_t* cookie) = 0;

 protected:
  ~IDataAccessorNotifier() = default;
};

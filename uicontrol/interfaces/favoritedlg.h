#pragma once
// The outside favourite dialogs that a page may ask for.
#include "uicontrol/com/qxcom.h"

struct IAddFavoriteDlg : IUnknown {
  static constexpr GUID iid = {0x3E9F1B27, 0x5D6C, 0x4A8E, {0xB0, 0x13, 0x7F, 0x2A, 0x9C, 0x4D, 0x6E, 0x81}};
  // Parent folder ID, owner window and three arguments that the library passes as 0.
  virtual HRESULT ShowDialog(uint32_t uParentId, HWND hOwner, int reserved1, int reserved2, int reserved3) = 0;

 protected:
  ~IAddFavoriteDlg() = default;
};

struct IEditFavoriteDlg : IUnknown {
  static constexpr GUID iid = {0x4F0A2C38, 0x6E7D, 0x4B9F, {0xC1, 0x24, 0x8A, 0x3B, 0xAD, 0x5E, 0x7F, 0x92}};
  // Parent folder ID, favourite ID, owner window, title, URL and an argument passed as 0.
  virtual HRESULT ShowDialog(uint32_t uParentId, uint32_t uFavoriteId, HWND hOwner, const wchar_t* title,
                             const wchar_t* url, int reserved) = 0;

 protected:
  ~IEditFavoriteDlg() = default;
};

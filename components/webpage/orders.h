#pragma once
// Reading the order texts that a page receives ("CMD=<name>\n" plus parameters).
#include <cstdint>
#include <string>

#include "platform/windef.h"

namespace webpage {

enum class OrderKind {
  Navigate,      // NAVIGATE, URL
  GoBack,        // GOBACK
  GoForward,     // GOFORWORD
  Stop,          // STOP
  Refresh,       // REFRESH
  GoHome,        // GOHOME
  SaveHtml,      // SAVEHTML
  SaveImage,     // SAVEIMGE
  Print,         // PRINT
  PrintPreview,  // PRINTPREVIEW
  ViewSource,    // VIEWSOURCE
  Find,          // FIND, optional TEXT
  MoveWindow,    // MOVEWEBWINDOW, WPARAM and LPARAM
  Audio,         // WEBAUDIO, STATE
  Recover,       // RECOVERWND, uuid
  CloseTab,      // ClOSETAB
  ParentWindow,  // PARENTHWND, HWND
  GetText,       // GETTEXT, optional PART=SOURCE (pagetext.h)
  ShowHints,     // SHOWHINTS, optional NEW=TRUE and KEY (pagecore/hints.h)
  HintKey,       // HINTKEY, KEY (one character)
  HideHints,     // HIDEHINTS
  StopPage,      // STOPPAGE: ends the page's renderer (a hung page); the next order brings it back
  Unsupported,   // orders that mean nothing to this engine (see UnsupportedReason)
};

struct Order {
  OrderKind kind = OrderKind::Unsupported;
  std::wstring name;  // the CMD value as sent
  std::wstring text;  // NAVIGATE: the URL; FIND: the words; RECOVERWND: the uuid; GETTEXT: the part;
                      // SHOWHINTS, HINTKEY: the key
  RECT rect{0, 0, 0, 0};
  bool enable = false;      // WEBAUDIO; SHOWHINTS: follow into a new background tab
  uint32_t handle = 0;      // PARENTHWND
  std::string reason;       // Unsupported: why
};

// Reads an order. Returns false with *error set for a null text, a missing or unknown
// "CMD" and bad parameters.
bool ParseOrder(const wchar_t* text, Order* order, std::string* error);

// Unpacks the window rectangle of "MOVEWEBWINDOW": WPARAM = (left << 16) | top,
// LPARAM = (right << 16) | bottom, each coordinate a signed 16-bit number.
RECT DecodeWindowRect(uint32_t wparam, uint32_t lparam);

// A typed address as the engine opens it: blanks around it are dropped, and an address
// without a scheme ("example.com", "localhost:8080/x") is taken as http.
std::wstring NormalizeAddress(const std::wstring& address);

// "font.size" values: 0 (smallest) to 4 (largest), 2 being the engine's default.
bool ParseFontSize(const wchar_t* text, uint32_t* size);
int FontSizePixels(uint32_t size);

}  // namespace webpage

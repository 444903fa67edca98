#pragma once
// An in-process window table standing in for the window system. Handles are small
// non-zero integers; the table records each window's parent and visibility.
// A host with a real window system installs a backend that mirrors the calls.
#include <functional>

#include "platform/export.h"
#include "platform/windef.h"

namespace platform {

// Creates a window in the table (parent may be null) and returns its handle.
PLATFORM_API HWND CreateWindowHandle(HWND parent = nullptr);
PLATFORM_API void DestroyWindowHandle(HWND hWnd);
PLATFORM_API HWND GetParentWindow(HWND hWnd);
PLATFORM_API bool IsWindowVisible(HWND hWnd);
// Number of ShowWindow calls that reached a known window, for tests.
PLATFORM_API int ShowWindowCallCount(HWND hWnd);

// Mirrors the table's changes into a real window system. Either function may be empty.
struct WindowBackend {
  std::function<void(HWND hWnd, bool visible)> onShow;
  std::function<void(HWND hWnd, HWND parent)> onParent;
};
PLATFORM_API void SetWindowBackend(WindowBackend backend);

}  // namespace platform

// Win32-named stand-ins.
PLATFORM_API BOOL IsWindow(HWND hWnd);
// Returns the previous visibility (non-zero when it was visible); 0 for unknown windows.
PLATFORM_API BOOL ShowWindow(HWND hWnd, int nCmdShow);
// Returns the previous parent, or null when either handle names no window.
PLATFORM_API HWND SetParent(HWND hWndChild, HWND hWndNewParent);
PLATFORM_API HWND GetDesktopWindow();

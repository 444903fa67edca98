#pragma once
// Message boxes and debugger output go to handlers that the host or a test installs.
#include <functional>
#include <string>

#include "platform/export.h"
#include "platform/windef.h"

namespace platform {

// Receives (owner, text, caption, style) as UTF-8 and returns the button pressed.
using MessageBoxHandler =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
// Installs the handler (an empty one restores the default: standard error, returns IDOK).
PLATFORM_API void SetMessageBoxHandler(MessageBoxHandler handler);

using DebuggerOutputHandler = std::function<void(const std::string& text)>;
PLATFORM_API void SetDebuggerOutputHandler(DebuggerOutputHandler handler);

// Whether a debugger counts as attached, and what a debug break does.
PLATFORM_API void SetDebuggerPresentForTest(bool present);
PLATFORM_API void SetDebugBreakHandler(std::function<void()> handler);

}  // namespace platform

PLATFORM_API int MessageBoxW(HWND hWnd, const wchar_t* text, const wchar_t* caption, UINT type);
// The narrow form takes bytes as they are (the log's dialog passes its GBK text).
PLATFORM_API int MessageBoxA(HWND hWnd, const char* text, const char* caption, UINT type);
PLATFORM_API void OutputDebugStringA(const char* text);
PLATFORM_API BOOL IsDebuggerPresent();
PLATFORM_API void DebugBreak();

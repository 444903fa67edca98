#pragma once
// Clock, process identity, module path and local time.
#include <functional>
#include <string>

#include "platform/export.h"
#include "platform/windef.h"

namespace platform {

// Overrides the executable path that GetModuleFileName reports (empty restores /proc/self/exe).
PLATFORM_API void SetModuleFileNameForTest(const std::wstring& path);
// Overrides the local time (an empty function restores the real clock).
PLATFORM_API void SetLocalTimeSourceForTest(std::function<SYSTEMTIME()> source);

// The folder of a path including its last separator ('/' or '\'); empty without one.
PLATFORM_API std::wstring FolderOf(const std::wstring& path);
// The folder of the running executable, ending in '/' (see FolderOf).
PLATFORM_API std::wstring ExecutableFolder();

}  // namespace platform

// Milliseconds of a monotonic clock, wrapped to 32 bits.
PLATFORM_API DWORD GetTickCount();
PLATFORM_API DWORD GetCurrentProcessId();
PLATFORM_API void Sleep(DWORD milliseconds);
PLATFORM_API void GetLocalTime(SYSTEMTIME* time);
// The running executable's full path.
PLATFORM_API std::wstring GetModuleFileNameW();
PLATFORM_API std::string GetModuleFileNameA();

#pragma once
// Starting outside programs with posix_spawn in place of CreateProcess and ShellExecute.
// Windows paths have '\' turned into '/'; program names are kept as given.
#include <sys/types.h>

#include <string>

#include "platform/export.h"
#include "platform/windef.h"

namespace platform {

// A started process; pid 0 means none.
struct ProcessHandle {
  pid_t pid = 0;
  explicit operator bool() const { return pid != 0; }
};

// Splits a Windows-style command line without application name the way CreateProcess
// does for an unquoted program path: the shortest prefix ending at a blank that names an
// executable file is the program, the rest (split at blanks) its arguments.
PLATFORM_API ProcessHandle CreateProcessW(const std::wstring& commandLine);
// Starts appName with the whole command line as its single argument.
PLATFORM_API ProcessHandle CreateProcessA(const std::string& appName, const std::string& commandLine);
// Waits without time limit; returns the exit status (-1 when it cannot be had).
PLATFORM_API int WaitForProcess(ProcessHandle& process);

// Windows path to a path of this system.
PLATFORM_API std::string ToNativePath(const std::wstring& path);

}  // namespace platform

// Starts file with the parameters split at blanks, without waiting (the child is reaped
// in the background). Returns a value above 32 on success, as ShellExecute does.
PLATFORM_API intptr_t ShellExecuteW(HWND hWnd, const wchar_t* verb, const wchar_t* file,
                                    const wchar_t* parameters, const wchar_t* directory, int show);
// Replaces each %NAME% by the environment value (looked up ignoring letter case);
// unknown names stay as written.
PLATFORM_API std::wstring ExpandEnvironmentStringsW(const std::wstring& text);

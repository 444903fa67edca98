#pragma once
// Starting outside programs in place of CreateProcess and ShellExecute. Program paths
// have '\' turned into '/'; arguments are passed as the command line gives them.
#include <sys/types.h>

#include <chrono>
#include <string>

#include "platform/export.h"
#include "platform/windef.h"

namespace platform {

// A started process; pid 0 means none.
struct ProcessHandle {
  pid_t pid = 0;
  explicit operator bool() const { return pid != 0; }
};

// Starts a Windows-style command line without application name as CreateProcess does:
// a program path in double quotes is taken as it is; an unquoted one is the shortest
// prefix ending at a blank that names an executable file. The rest is split into
// arguments by the rules of SplitArguments (platform/commandline.h). The process leads a
// process group of its own, so that EndProcessGroup reaches what it starts in turn.
PLATFORM_API ProcessHandle CreateProcessW(const std::wstring& commandLine);
// Starts appName with the whole command line as its single argument.
PLATFORM_API ProcessHandle CreateProcessA(const std::string& appName, const std::string& commandLine);
// Waits without time limit; returns the exit status (-1 when it cannot be had).
PLATFORM_API int WaitForProcess(ProcessHandle& process);

enum class ProcessWait { kExited, kTimedOut, kFailed };
// Waits up to `limit`. kExited: the process has ended and is reaped, its exit status in
// *status (-1 when a signal ended it). kTimedOut: it still runs and the handle is kept.
PLATFORM_API ProcessWait WaitForProcess(ProcessHandle& process, std::chrono::milliseconds limit, int* status);
// Kills the process group that the process leads (see CreateProcessW) and reaps the
// process.
PLATFORM_API void EndProcessGroup(ProcessHandle& process);

// Windows path to a path of this system.
PLATFORM_API std::string ToNativePath(const std::wstring& path);

}  // namespace platform

// Starts file with the parameters split as SplitArguments does, without waiting. The
// program is started by a short-lived intermediate process, so that it is no child of
// this one: nothing here has to reap it, and no thread waits for it. Returns a value
// above 32 on success, as ShellExecute does, 2 (file not found) when it cannot start.
PLATFORM_API intptr_t ShellExecuteW(HWND hWnd, const wchar_t* verb, const wchar_t* file,
                                    const wchar_t* parameters, const wchar_t* directory, int show);
// Replaces each %NAME% by the environment value (looked up ignoring letter case);
// unknown names stay as written.
PLATFORM_API std::wstring ExpandEnvironmentStringsW(const std::wstring& text);

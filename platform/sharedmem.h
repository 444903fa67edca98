#pragma once
// Named shared memory (POSIX shm) standing in for page-file backed file mappings.
// Names lose their backslashes; mappings this process created are removed when it exits.
#include <string>

#include "platform/export.h"
#include "platform/windef.h"

struct FileMappingObject;
typedef FileMappingObject* HMAPPING;

// Creates the named mapping of `size` bytes, or opens it unchanged when it exists. Null on failure.
PLATFORM_API HMAPPING CreateFileMappingW(const std::wstring& name, DWORD size);
// Opens an existing mapping; null when there is none.
PLATFORM_API HMAPPING OpenFileMappingW(bool writable, const std::wstring& name);
// Maps the whole mapping; null on failure.
PLATFORM_API void* MapViewOfFile(HMAPPING mapping, bool writable);
PLATFORM_API void UnmapViewOfFile(HMAPPING mapping, void* view);
PLATFORM_API void CloseMappingHandle(HMAPPING mapping);

// Removes the mappings named `prefix` followed by the decimal ID of a process that no
// longer exists: the ones left by processes killed before they could remove their own.
// Other names, and those of live processes (also ones this process may not signal),
// stay. A process of another PID namespace sharing the folder counts as gone.
// Returns how many were removed.
PLATFORM_API int RemoveMappingsOfEndedProcesses(const std::wstring& prefix);

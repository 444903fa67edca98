#pragma once
// The shared statistics block: 16 bytes of named shared memory "QXESTATCACHE_<pid>"
// holding three 32-bit entries (types 1, 2, 3 at offsets 0, 4, 8) that other processes
// can read by the browser's process ID. Offset 12 is reserved.
#include <cstdint>

#include "platform/mutex.h"
#include "platform/sharedmem.h"
#include "uicontrol/export.h"

constexpr DWORD kStatCacheSize = 16;

// Creates (or reuses) the block of a process and maps it writable.
class UICONTROL_API CStatCacheWriter {
 public:
  explicit CStatCacheWriter(DWORD dwProcessId);
  ~CStatCacheWriter();
  CStatCacheWriter(const CStatCacheWriter&) = delete;
  CStatCacheWriter& operator=(const CStatCacheWriter&) = delete;

  // Types 1 to 3 store *value (0 for null) and return 1; other types, or no view, return 0.
  int Set(unsigned long type, const unsigned long* value);

 private:
  HMAPPING m_hMapping = nullptr;
  void* m_pView = nullptr;
};

// Opens the block of a process read-only; falls back to the shared "QXESTATCACHE" block.
// Get may be called from any thread.
class UICONTROL_API CStatCacheReader {
 public:
  explicit CStatCacheReader(DWORD dwProcessId);
  ~CStatCacheReader();
  CStatCacheReader(const CStatCacheReader&) = delete;
  CStatCacheReader& operator=(const CStatCacheReader&) = delete;

  // Types 1 to 3 copy 4 bytes to out and return 1; others, or no view, return 0.
  int Get(unsigned long type, void* out);

 private:
  platform::CMutex m_mutex;  // Get opens the fallback block on demand
  HMAPPING m_hMapping GUARDED_BY(m_mutex) = nullptr;
  const void* m_pView GUARDED_BY(m_mutex) = nullptr;
};

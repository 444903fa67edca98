#pragma once
// The handful of Win32 types and constants that the library code is written with.
#include <cstdint>

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int32_t HRESULT;  // signed 32-bit status

// A window handle is an opaque pointer whose value is a small non-zero integer
// handed out by the window table (window.h).
struct HWND__ { int unused; };
typedef HWND__* HWND;

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;      // 1..12
  uint16_t wDayOfWeek;  // 0 = Sunday
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
};

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_TOPMOST 0x00040000u
#define IDOK 1

#define MAX_PATH 260

inline HWND HandleFromValue(uintptr_t v) { return reinterpret_cast<HWND>(v); }
inline uintptr_t HandleValue(HWND h) { return reinterpret_cast<uintptr_t>(h); }

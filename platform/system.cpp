#include "platform/system.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/text.h"
#include "platform/mutex.h"

namespace {

platform::CMutex g_mutex;
std::wstring g_modulePathOverride GUARDED_BY(g_mutex);
std::function<SYSTEMTIME()> g_localTimeSource GUARDED_BY(g_mutex);

}  // namespace

namespace platform {

void SetModuleFileNameForTest(const std::wstring& path) {
  platform::CMutexLock guard(g_mutex);
  g_modulePathOverride = path;
}

void SetLocalTimeSourceForTest(std::function<SYSTEMTIME()> source) {
  platform::CMutexLock guard(g_mutex);
  g_localTimeSource = std::move(source);
}

std::wstring FolderOf(const std::wstring& path) {
  size_t pos = path.find_last_of(L"/\\");
  return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

std::wstring ExecutableFolder() { return FolderOf(GetModuleFileNameW()); }

}  // namespace platform

DWORD GetTickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return static_cast<DWORD>(static_cast<uint64_t>(ms));
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GetLocalTime(SYSTEMTIME* time) {
  std::function<SYSTEMTIME()> source;
  {
    platform::CMutexLock guard(g_mutex);
    source = g_localTimeSource;
  }
  if (source) {
    *time = source();
    return;
  }
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  time->wYear = static_cast<uint16_t>(tm.tm_year + 1900);
  time->wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
  time->wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
  time->wDay = static_cast<uint16_t>(tm.tm_mday);
  time->wHour = static_cast<uint16_t>(tm.tm_hour);
  time->wMinute = static_cast<uint16_t>(tm.tm_min);
  time->wSecond = static_cast<uint16_t>(tm.tm_sec);
  time->wMilliseconds = static_cast<uint16_t>(ms);
}

std::wstring GetModuleFileNameW() {
  {
    platform::CMutexLock guard(g_mutex);
    if (!g_modulePathOverride.empty()) return g_modulePathOverride;
  }
  std::string buffer(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size() - 1);
  if (n <= 0) return std::wstring();
  buffer.resize(static_cast<size_t>(n));
  return platform::Utf8ToWide(buffer);
}

std::string GetModuleFileNameA() { return platform::WideToUtf8(GetModuleFileNameW()); }

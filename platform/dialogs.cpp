#include "platform/dialogs.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"
#include "platform/mutex.h"

namespace {

struct Handlers {
  platform::CMutex mutex;
  platform::MessageBoxHandler messageBox GUARDED_BY(mutex);
  platform::DebuggerOutputHandler debuggerOutput GUARDED_BY(mutex);
  std::function<void()> debugBreak GUARDED_BY(mutex);
};

Handlers& Get() {
  static Handlers handlers;
  return handlers;
}

std::atomic<bool> g_debuggerPresent{false};

int ShowMessage(HWND hWnd, const std::string& text, const std::string& caption, UINT type) {
  platform::MessageBoxHandler handler;
  {
    platform::CMutexLock guard(Get().mutex);
    handler = Get().messageBox;
  }
  if (handler) return handler(hWnd, text, caption, type);
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return IDOK;
}

}  // namespace

namespace platform {

void SetMessageBoxHandler(MessageBoxHandler handler) {
  platform::CMutexLock guard(Get().mutex);
  Get().messageBox = std::move(handler);
}

void SetDebuggerOutputHandler(DebuggerOutputHandler handler) {
  platform::CMutexLock guard(Get().mutex);
  Get().debuggerOutput = std::move(handler);
}

void SetDebuggerPresentForTest(bool present) { g_debuggerPresent = present; }

void SetDebugBreakHandler(std::function<void()> handler) {
  platform::CMutexLock guard(Get().mutex);
  Get().debugBreak = std::move(handler);
}

}  // namespace platform

int MessageBoxW(HWND hWnd, const wchar_t* text, const wchar_t* caption, UINT type) {
  return ShowMessage(hWnd, platform::WideToUtf8(text ? text : L""),
                     platform::WideToUtf8(caption ? caption : L""), type);
}

int MessageBoxA(HWND hWnd, const char* text, const char* caption, UINT type) {
  return ShowMessage(hWnd, text ? text : "", caption ? caption : "", type);
}

void OutputDebugStringA(const char* text) {
  platform::DebuggerOutputHandler handler;
  {
    platform::CMutexLock guard(Get().mutex);
    handler = Get().debuggerOutput;
  }
  if (handler) handler(text ? text : "");
}

BOOL IsDebuggerPresent() { return g_debuggerPresent ? 1 : 0; }

void DebugBreak() {
  std::function<void()> handler;
  {
    platform::CMutexLock guard(Get().mutex);
    handler = Get().debugBreak;
  }
  if (handler) handler();
}

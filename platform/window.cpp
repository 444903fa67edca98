#include "platform/window.h"
#include "platform/mutex.h"

#include <map>

namespace {

struct WindowState {
  HWND parent = nullptr;
  bool visible = false;
  int showCalls = 0;
};

struct WindowTable {
  platform::CMutex mutex;
  std::map<uintptr_t, WindowState> windows GUARDED_BY(mutex);
  uintptr_t next GUARDED_BY(mutex) = 2;  // 1 is the desktop
  platform::WindowBackend backend GUARDED_BY(mutex);

  WindowTable() {
    platform::CMutexLock guard(mutex);
    windows[1].visible = true;
  }
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

}  // namespace

namespace platform {

HWND CreateWindowHandle(HWND parent) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  uintptr_t id = t.next++;
  t.windows[id].parent = parent;
  return HandleFromValue(id);
}

void DestroyWindowHandle(HWND hWnd) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  if (HandleValue(hWnd) != 1) t.windows.erase(HandleValue(hWnd));
}

HWND GetParentWindow(HWND hWnd) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  auto it = t.windows.find(HandleValue(hWnd));
  return it == t.windows.end() ? nullptr : it->second.parent;
}

bool IsWindowVisible(HWND hWnd) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  auto it = t.windows.find(HandleValue(hWnd));
  return it != t.windows.end() && it->second.visible;
}

int ShowWindowCallCount(HWND hWnd) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  auto it = t.windows.find(HandleValue(hWnd));
  return it == t.windows.end() ? 0 : it->second.showCalls;
}

void SetWindowBackend(WindowBackend backend) {
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  t.backend = std::move(backend);
}

}  // namespace platform

BOOL IsWindow(HWND hWnd) {
  if (!hWnd) return 0;
  WindowTable& t = Table();
  platform::CMutexLock guard(t.mutex);
  return t.windows.count(HandleValue(hWnd)) ? 1 : 0;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  WindowTable& t = Table();
  std::function<void(HWND, bool)> notify;
  bool wasVisible;
  bool visible = nCmdShow != SW_HIDE;
  {
    platform::CMutexLock guard(t.mutex);
    auto it = t.windows.find(HandleValue(hWnd));
    if (!hWnd || it == t.windows.end()) return 0;
    wasVisible = it->second.visible;
    it->second.visible = visible;
    ++it->second.showCalls;
    notify = t.backend.onShow;
  }
  // The backend is called without the table's lock held.
  if (notify) notify(hWnd, visible);
  return wasVisible ? 1 : 0;
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
  WindowTable& t = Table();
  std::function<void(HWND, HWND)> notify;
  HWND previous;
  {
    platform::CMutexLock guard(t.mutex);
    auto child = t.windows.find(HandleValue(hWndChild));
    if (!hWndChild || child == t.windows.end()) return nullptr;
    if (hWndNewParent && !t.windows.count(HandleValue(hWndNewParent))) return nullptr;
    previous = child->second.parent;
    child->second.parent = hWndNewParent;
    notify = t.backend.onParent;
  }
  if (notify) notify(hWndChild, hWndNewParent);
  return previous ? previous : GetDesktopWindow();
}

HWND GetDesktopWindow() { return HandleFromValue(1); }

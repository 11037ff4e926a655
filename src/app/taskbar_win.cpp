#include "app/taskbar_win.h"

namespace parlix {

namespace {
constexpr int kTaskbarGap = 15;
constexpr int kRightEdgeGap = 25;
}  // namespace

int TaskbarTop() {
  HWND tray = FindWindowA("Shell_TrayWnd", "");
  RECT taskbar{};
  // A shell may keep an invisible or empty taskbar window at the top of the screen;
  // placing by it would put the window off the screen.
  if (tray != nullptr && IsWindowVisible(tray) && GetWindowRect(tray, &taskbar) && taskbar.bottom > taskbar.top &&
      taskbar.top > 0)
    return taskbar.top;
  return GetSystemMetrics(SM_CYSCREEN);
}

void PlaceAboveTaskbar(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SetWindowPos(window, nullptr, GetSystemMetrics(SM_CXSCREEN) - width - kRightEdgeGap, TaskbarTop() - height - kTaskbarGap,
               0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace parlix

#include "widgets/window_win.h"

#include <exception>
#include <mutex>
#include <set>

#include "platform/app_host_win.h"
#include "platform/callback_guard_win.h"

namespace parlix {

TWindow::~TWindow() {
  if (hwnd_ != nullptr) {
    HWND h = hwnd_;
    SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    DestroyWindow(h);
  }
}

void TWindow::RegisterWindowClass(const char* class_name, UINT style, HBRUSH background, HICON icon) {
  static std::mutex lock;
  static std::set<std::string> registered;
  std::lock_guard<std::mutex> guard(lock);
  if (registered.count(class_name) != 0) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = class_name;
  // Only a class that exists counts as done: a refused registration is tried again by the
  // next window of the class, whose creation would otherwise fail for good.
  if (RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) registered.insert(class_name);
}

HWND TWindow::CreateHandle(const char* class_name, const char* caption, DWORD style, DWORD ex_style, int x, int y,
                           int width, int height, HWND parent) {
  return CreateWindowExA(ex_style, class_name, caption, style, x, y, width, height, parent, nullptr,
                         GetModuleHandleA(nullptr), this);
}

LRESULT TWindow::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd_, msg, wparam, lparam);
}

LRESULT CALLBACK TWindow::StaticWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* self = static_cast<TWindow*>(create->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    DefWindowProcA(hwnd, msg, wparam, lparam);
    return GuardCallback<LRESULT>(0, [self] {
      self->HandleDestroyed();
      return LRESULT{0};
    });
  }
  return GuardCallback<LRESULT>(0, [&] { return self->WndProc(msg, wparam, lparam); });
}

namespace {

// The control's own visibility, not its parents': the window may get the activation a moment
// before it is shown.
bool CanTakeFocus(HWND window, HWND control) {
  return control != nullptr && IsWindow(control) && IsChild(window, control) &&
         (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0 && IsWindowEnabled(control);
}

}  // namespace

bool TFocusKeeper::Handle(HWND window, UINT msg, WPARAM wparam, HWND default_control) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) saved_ = focus;
        return false;
      }
      if (HIWORD(wparam) != 0) return false;  // activated while minimized: no focus to give
      // With no control to take it, the default handling gives the focus to the window.
      return Restore(window, default_control);
    case WM_SETFOCUS:
      Restore(window, default_control);
      return true;
    default:
      return false;
  }
}

bool TFocusKeeper::Restore(HWND window, HWND default_control) {
  HWND target = CanTakeFocus(window, saved_) ? saved_ : default_control;
  if (!CanTakeFocus(window, target)) return false;
  SetFocus(target);
  return true;
}

POINT MonitorOrigin(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return POINT{0, 0};
  return POINT{info.rcMonitor.left, info.rcMonitor.top};
}

std::string GetWindowString(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void DiscardKeyboardInput() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD)) {
  }
}

void DragByPanel(HWND window, HWND panel) {
  SendMessageA(panel, WM_LBUTTONUP, 0, 0);
  SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

}  // namespace parlix

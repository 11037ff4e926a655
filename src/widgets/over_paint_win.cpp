#include "widgets/over_paint_win.h"

namespace parlix {

TOverPaint::TOverPaint(HWND parent, int left, int top, int width, int height)
    : TControl(TControlKind::kPaintBox, parent, left, top, width, height) {}

void TOverPaint::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(*this);
}

void TOverPaint::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(*this);
}

LRESULT TOverPaint::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_MOUSEMOVE: {
      // The base class arms the leave notification on the first move; the event comes after
      // that, so a handler that moves the pointer out again still gets its leave.
      const LRESULT result = TControl::WndProc(msg, wparam, lparam);
      if (!mouse_in_control_) {
        mouse_in_control_ = true;
        MouseEnter();
      }
      return result;
    }
    case WM_MOUSELEAVE: {
      const LRESULT result = TControl::WndProc(msg, wparam, lparam);
      if (mouse_in_control_) {
        mouse_in_control_ = false;
        MouseLeave();
      }
      return result;
    }
    default:
      break;
  }
  return TControl::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

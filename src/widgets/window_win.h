// One class per window: the HWND is tied to its C++ object at WM_NCCREATE and every
// message goes to the object's WndProc.
#pragma once

#include <windows.h>

#include <string>

namespace parlix {

class TWindow {
 public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();

  HWND Handle() const { return hwnd_; }

 protected:
  // Registers the class once per process (later calls are no-ops).
  static void RegisterWindowClass(const char* class_name, UINT style = CS_DBLCLKS,
                                  HBRUSH background = nullptr, HICON icon = nullptr);
  HWND CreateHandle(const char* class_name, const char* caption, DWORD style, DWORD ex_style, int x, int y,
                    int width, int height, HWND parent);

  // Messages not handled by the subclass go to DefWindowProc.
  virtual LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam);
  // Called after WM_NCDESTROY; the handle is already gone.
  virtual void HandleDestroyed() {}

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
};

// Keeps the keyboard focus on a window's controls across activation, as dialogs do: the
// control that had it when the window lost the activation gets it back, else the default
// control. Without this, activation leaves the focus on the window itself, where typed keys
// go nowhere.
class TFocusKeeper {
 public:
  // Call from the window's WndProc for every message; true when the message was handled
  // (WM_ACTIVATE on activation, WM_SETFOCUS) and must not reach DefWindowProc.
  bool Handle(HWND window, UINT msg, WPARAM wparam, HWND default_control);
  // Gives the focus to the remembered control, else the default one; false when neither can
  // take it.
  bool Restore(HWND window, HWND default_control);

 private:
  HWND saved_ = nullptr;
};

// Text of any window, ANSI.
std::string GetWindowString(HWND hwnd);

// Removes every keyboard message still queued for the calling thread.
void DiscardKeyboardInput();

// The windows are borderless and move by a press on one of their panels: the panel lets go
// of the mouse it has just captured, then the system moves the window as if its caption had
// been grabbed.
void DragByPanel(HWND window, HWND panel);

}  // namespace parlix

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

// Text of any window, ANSI.
std::string GetWindowString(HWND hwnd);

}  // namespace parlix

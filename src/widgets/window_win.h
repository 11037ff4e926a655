// One class per window: the HWND is tied to its C++ object at WM_NCCREATE and every
// message goes to the object's WndProc.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "shared/globals.h"

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

// A secondary window that exists at most once and frees itself when it is closed. The object
// lives exactly as long as its window: Current() says whether it is open, and the program-wide
// flag named by `Flag` follows it, written here and nowhere else.
template <typename T, bool TOpenWindowFlags::*Flag>
class TSingleWindow : public TWindow {
 public:
  // The open window, or null.
  static T* Current() { return current_; }

 protected:
  // Makes `form`'s window with `create`, which returns false (or leaves no handle) when it
  // could not. A refused creation frees the object and sets nothing, so the next attempt
  // starts afresh; so does one that throws. Null then, and when one is open already.
  template <typename Create>
  static T* Make(std::unique_ptr<T> form, Create&& create) {
    if (current_ != nullptr) return nullptr;
    form->creating_ = true;
    const bool made = create(*form) && form->Handle() != nullptr;
    form->creating_ = false;
    if (!made) return nullptr;
    current_ = form.get();
    OpenWindowFlags.*Flag = true;
    return form.release();
  }

  // The window is gone and the flag cleared; the object is freed right after, even when
  // this throws.
  virtual void Closed() {}

 private:
  void HandleDestroyed() final {
    // A window that dies while it is being made is freed by Make.
    if (creating_) return;
    std::unique_ptr<T> self(static_cast<T*>(this));
    if (current_ == self.get()) {
      current_ = nullptr;
      OpenWindowFlags.*Flag = false;
    }
    Closed();
  }

  static inline T* current_ = nullptr;
  bool creating_ = false;
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

// The top left corner of the monitor a window is on (the nearest one when it is on none):
// (0, 0) for the primary monitor.
POINT MonitorOrigin(HWND window);

// Text of any window, ANSI.
std::string GetWindowString(HWND hwnd);

// Removes every keyboard message still queued for the calling thread.
void DiscardKeyboardInput();

// The windows are borderless and move by a press on one of their panels: the panel lets go
// of the mouse it has just captured, then the system moves the window as if its caption had
// been grabbed.
void DragByPanel(HWND window, HWND panel);

}  // namespace parlix

// A window of the test's own: an owner for a form, another program's window in front, a
// listener for messages. Its class is registered on first use and kept for the process.
#pragma once

#include <windows.h>

namespace parlix::test {

struct TTestWindowArgs {
  // A name of the test's own; a system class ("STATIC", "EDIT") is used as it is.
  const char* class_name = "ParlixTestWindow";
  WNDPROC proc = DefWindowProcA;
  const char* caption = "";
  DWORD style = WS_POPUP;
  DWORD ex_style = 0;
  int left = 0, top = 0, width = 10, height = 10;
  HWND parent = nullptr;  // HWND_MESSAGE: a message-only window
  HBRUSH background = nullptr;
  HICON icon = nullptr;
};

HWND MakeTestWindow(const TTestWindowArgs& args = {});

// For SetWindowSubclass, with a std::vector<WPARAM> as its data: swallows each press that
// starts a window move, so the system's move loop never waits for a mouse button that is
// never released, and records the press's hit-test code.
LRESULT CALLBACK RecordMovePresses(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data);

// The same, destroyed with this object.
class TTestWindow {
 public:
  explicit TTestWindow(const TTestWindowArgs& args = {}) : hwnd_(MakeTestWindow(args)) {}
  ~TTestWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;
  HWND Handle() const { return hwnd_; }

 private:
  HWND hwnd_;
};

}  // namespace parlix::test

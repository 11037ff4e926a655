#include "support/test_window_win.h"

#include <commctrl.h>

#include <vector>

namespace parlix::test {

HWND MakeTestWindow(const TTestWindowArgs& args) {
  WNDCLASSA existing{};
  if (!GetClassInfoA(GetModuleHandleA(nullptr), args.class_name, &existing) &&
      !GetClassInfoA(nullptr, args.class_name, &existing)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = args.proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = args.class_name;
    wc.hbrBackground = args.background;
    wc.hIcon = args.icon;
    RegisterClassA(&wc);
  }
  return CreateWindowExA(args.ex_style, args.class_name, args.caption, args.style, args.left, args.top, args.width,
                         args.height, args.parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

LRESULT CALLBACK RecordMovePresses(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_NCLBUTTONDOWN) {
    reinterpret_cast<std::vector<WPARAM>*>(data)->push_back(wparam);
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

}  // namespace parlix::test

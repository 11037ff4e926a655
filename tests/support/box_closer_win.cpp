#include "support/box_closer_win.h"

#include <windows.h>

#include "support/driver_win.h"

namespace parlix::test {

BoxCloser::BoxCloser() : thread_([this] { Run(); }) {}

BoxCloser::~BoxCloser() {
  stop_ = true;
  thread_.join();
}

std::vector<std::string> BoxCloser::Texts() {
  std::lock_guard<std::mutex> guard(lock_);
  return texts_;
}

void BoxCloser::Run() {
  while (!stop_) {
    HWND box = nullptr;
    EnumWindows(
        [](HWND hwnd, LPARAM out) -> BOOL {
          DWORD pid = 0;
          GetWindowThreadProcessId(hwnd, &pid);
          if (pid == GetCurrentProcessId() && ClassName(hwnd) == "#32770" && IsWindowVisible(hwnd)) {
            *reinterpret_cast<HWND*>(out) = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
      {
        std::lock_guard<std::mutex> guard(lock_);
        texts_.push_back(MessageBoxText(box));
      }
      PressButton(box, IDOK);
      Sleep(200);
    }
    Sleep(20);
  }
}

}  // namespace parlix::test

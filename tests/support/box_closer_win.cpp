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
    HWND box = FirstVisible(TopWindowsOf(GetCurrentProcessId(), "#32770"));
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

// Drives a running Parlix Desk through one translation, as a user would: puts the sample
// text into the text area, asks for the translation and waits for the result window.
//   parlix_demo.exe [TEXT] [--config]
// Prints the translated text; exit status 0 when it arrived. With --config it then opens
// the configuration window through the menu command and waits for it.
#include <cstdio>
#include <string>

#include "support/driver_win.h"

using namespace parlix::test;

namespace {

HWND FindProcessWindow(const char* class_name) {
  return FindWindowA(class_name, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string text = argc > 1 ? argv[1] : "Hello, good morning. Thank you!";
  HWND main = nullptr;
  // The caption is set at the end of the window's creation, after its controls.
  WaitUntil([&] { return (main = FindWindowA("TMainForm", "Parlix")) != nullptr; }, 60s);
  if (main == nullptr) {
    std::fprintf(stderr, "demo: the main window did not appear\n");
    return 1;
  }
  HWND memo = nullptr;
  WaitUntil([&] { return (memo = FindChild(main, "Edit")) != nullptr; }, 10s);
  if (memo == nullptr) return 1;
  // Close the about window of a first run, if any, so the screen shows the translation.
  if (HWND about = FindProcessWindow("TAboutForm")) PostMessageA(about, WM_CLOSE, 0, 0);
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageA(main, WM_USER + 4, 0, 0);
  std::string translated;
  const bool arrived = WaitUntil(
      [&] {
        HWND result = FindProcessWindow("TTransForm");
        HWND result_memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
        if (result_memo == nullptr) return false;
        translated = WindowText(result_memo);
        return !translated.empty();
      },
      60s);
  if (!arrived) {
    std::fprintf(stderr, "demo: no translation arrived\n");
    return 1;
  }
  std::printf("%s\n", translated.c_str());
  if (argc > 2 && std::string(argv[2]) == "--config") {
    PostMessageA(main, WM_COMMAND, 104, 0);  // "Configuration..."
    if (!WaitUntil([] { return FindProcessWindow("TConfigForm") != nullptr; }, 20s)) {
      std::fprintf(stderr, "demo: the configuration window did not open\n");
      return 1;
    }
  }
  return 0;
}

#include "app/application_win.h"

#include "platform/thread_win.h"

namespace parlix {

TApplication& TApplication::Instance() {
  static TApplication app;
  static const bool hosted = (SetAppHost(&app), true);
  (void)hosted;
  return app;
}

bool TApplication::HandleMessage(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return false;
  }
  try {
    if (OnMessage && OnMessage(msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  } catch (const std::exception& e) {
    ShowException(e);
  }
  return true;
}

void TApplication::Run() {
  MSG msg;
  while (!terminated_) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      terminated_ = true;
      break;
    }
    HandleMessage(msg);
  }
}

void TApplication::ProcessMessages() {
  if (!PumpThreadMessages([this](MSG& msg) { HandleMessage(msg); })) terminated_ = true;
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ShowException(const std::exception& error) {
  MessageBoxA(main_form, error.what(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace parlix

#include "config/about_form_win.h"

#include "app/globals.h"

namespace parlix {

TAboutForm* TAboutForm::Open(HWND owner) {
  RegisterWindowClass(kAboutFormClass, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE));
  auto* form = new TAboutForm();
  OpenWindowFlags.AboutOpen = true;
  form->CreateHandle(kAboutFormClass, "About", WS_POPUP | WS_BORDER, 0, 200, 200, 300, 200, owner);
  ShowWindow(form->Handle(), SW_SHOWNORMAL);
  return form;
}

LRESULT TAboutForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_CLOSE) {
    DestroyWindow(hwnd_);
    return 0;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

void TAboutForm::HandleDestroyed() {
  OpenWindowFlags.AboutOpen = false;
  delete this;
}

}  // namespace parlix

#include "app/main_form_win.h"

#include "app/application_win.h"
#include "translate/code_cript.h"
#include "translate/literals.h"

namespace parlix {

namespace {
constexpr int kFormWidth = 250;
constexpr int kFormHeight = 230;
constexpr UINT kWmCloseMainWindow = WM_USER + 7;
}  // namespace

TMainForm::TMainForm() = default;
TMainForm::~TMainForm() = default;

void TMainForm::CreateAndShow(int show_command) {
  RegisterWindowClass(kMainFormClass, CS_DBLCLKS, CreateSolidBrush(RGB(0xE6, 0xE6, 0xE6)),
                      LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  CreateHandle(kMainFormClass, "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, kFormWidth, kFormHeight, nullptr);
  TApplication::Instance().main_form = hwnd_;
  FormCreate();
  ShowWindow(hwnd_, show_command == SW_HIDE ? SW_SHOWNORMAL : show_command);
  UpdateWindow(hwnd_);
}

void TMainForm::FormCreate() {
  memo_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 2, 22,
                          246, 113, hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowTextA(hwnd_, Unscramble(kProductNameLit).c_str());
}

void TMainForm::FormShow() {}

void TMainForm::FormCloseQuery() {}

void TMainForm::FormDestroy() {}

void TMainForm::FormActivate() {}

void TMainForm::CloseMainWindow() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TMainForm::HandleDestroyed() { PostQuitMessage(0); }

LRESULT TMainForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wparam && !shown_) {
        shown_ = true;
        FormShow();
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) FormActivate();
      break;
    case WM_CLOSE:
      FormCloseQuery();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case kWmCloseMainWindow:
      CloseMainWindow();
      return 0;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

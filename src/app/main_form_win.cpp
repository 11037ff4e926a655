#include "app/main_form_win.h"

#include <shellapi.h>

#include <fstream>
#include <sstream>

#include "app/application_win.h"
#include "app/command_line.h"
#include "app/globals.h"
#include "config/about_form_win.h"
#include "config/system_proxy_win.h"
#include "platform/profile_file_win.h"
#include "platform/shell_win.h"
#include "translate/code_cript.h"
#include "translate/literals.h"

namespace parlix {

namespace {
constexpr int kFormWidth = 250;
constexpr int kFormHeight = 230;
constexpr int kTaskbarGap = 15;
constexpr int kRightEdgeGap = 25;
}  // namespace

TMainForm* TMainForm::instance_ = nullptr;

TMainForm::TMainForm() { instance_ = this; }

TMainForm::~TMainForm() {
  if (instance_ == this) instance_ = nullptr;
}

void TMainForm::CreateAndShow(const std::string& command_line) {
  command_line_ = command_line;
  RegisterWindowClass(kMainFormClass, CS_DBLCLKS, CreateSolidBrush(RGB(0xE6, 0xE6, 0xE6)),
                      LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  CreateHandle(kMainFormClass, "", WS_POPUP | WS_CLIPCHILDREN, WS_EX_ACCEPTFILES, 0, 0, kFormWidth, kFormHeight,
               nullptr);
  TApplication::Instance().main_form = hwnd_;
  FormCreate();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

void TMainForm::FormCreate() {
  memo_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 2, 22,
                          246, 113, hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
  SettingsPath = GetDataFolder() + "parlix.ini";
  TempPath = GetTempFolder();
  ProxySettings.Enabled = false;
  ProxySettings.Address.clear();
  ProxySettings.Port.clear();
  ProxySettings.Username.clear();
  ProxySettings.Password.clear();
  ProxySettings.Authenticate = false;
  CurrentPair = kDefaultPair;
  ServiceInfo = DefaultServiceInfo();
  DragAcceptFiles(hwnd_, TRUE);
  NextClipboardViewer = SetClipboardViewer(hwnd_);
  SetWindowTextA(hwnd_, Unscramble(kProductNameLit).c_str());
  OpenWindowFlags = TOpenWindowFlags{};
  ServiceBusy = false;
  Translating = false;
}

void TMainForm::LoadSettings() {
  TProfileFile file(SettingsPath);
  TSettingsValues values = parlix::LoadSettings(
      file,
      [] {
        TDetectedProxy detected;
        detected.enabled = DetectSystemProxy("http", detected.host, detected.port);
        return detected;
      },
      ProxySettings);
  InstallGuid = values.guid;
  CurrentPair = values.current_pair;
  ProxySettings = values.proxy;
  if (values.ontop) StayontopBtClick(true);
  monitor_clp_checked_ = values.monitor_clp;
  ServiceInfo.DateShown = values.date_shown;

  if (IsFirstRun(values)) AboutBtClick();
  if (NeedsRenewal(values)) {
    if (file.Exists()) file.Delete();
    InstallGuid = NewGuidText();
    SaveSettings();
  }
}

void TMainForm::SaveSettings() {
  TProfileFile file(SettingsPath);
  TSettingsValues values;
  values.guid = InstallGuid;
  values.current_pair = CurrentPair;
  values.proxy = ProxySettings;
  values.ontop = stay_on_top_checked_;
  values.monitor_clp = monitor_clp_checked_;
  values.date_shown = ServiceInfo.DateShown;
  parlix::SaveSettings(file, values);
}

void TMainForm::FormShow() {
  LoadSettings();
  const std::optional<std::string> argument = FirstArgument(command_line_);
  if (argument && !argument->empty()) LoadMemoFromFile(*argument);
  PlaceAboveTaskbar();
  PostMessageA(hwnd_, WM_START_SERVICE_CHECK, 0, 0);
  if (argument && IsAutoStartArgument(*argument)) PostMessageA(hwnd_, WM_HIDE_TO_TRAY, 0, 0);
}

void TMainForm::LoadMemoFromFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  text << in.rdbuf();
  SetWindowTextA(memo_, text.str().c_str());
}

void TMainForm::FormCloseQuery() {
  auto delete_if_exists = [](const std::string& path) {
    if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileA(path.c_str());
  };
  if (ServiceBusy) {
    delete_if_exists(downloaded_file_);
    delete_if_exists(decoded_file_);
  }
  if (Translating) delete_if_exists(answer_file_);
  SaveSettings();
}

void TMainForm::FormDestroy() {
  ChangeClipboardChain(hwnd_, NextClipboardViewer);
}

void TMainForm::FormActivate() {
  if (stay_on_top_checked_) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainForm::AboutBtClick() {
  if (OpenWindowFlags.AboutOpen) return;
  MessageBeep(0xFFFFFFFF);
  about_ = TAboutForm::Open(hwnd_);
}

void TMainForm::StayontopBtClick(bool checked) {
  stay_on_top_checked_ = checked;
  SetWindowPos(hwnd_, checked ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainForm::PlaceAboveTaskbar() {
  RECT taskbar{};
  HWND tray = FindWindowA("Shell_TrayWnd", "");
  const int top = (tray != nullptr && GetWindowRect(tray, &taskbar)) ? taskbar.top : GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(hwnd_, nullptr, GetSystemMetrics(SM_CXSCREEN) - kFormWidth - kRightEdgeGap,
               top - kFormHeight - kTaskbarGap, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Bodies arrive with the features that own these messages.
void TMainForm::StartServiceCheck() {}
void TMainForm::ApplyServiceFile() {}
void TMainForm::ShowLanguageWindow() {}
void TMainForm::StartTranslation() {}
void TMainForm::ShowTranslation() {}

void TMainForm::ShowMainWindow() {
  if (!in_tray_) {
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
  }
}

void TMainForm::HideToTray() {
  if (in_tray_) return;
  ShowWindow(hwnd_, SW_HIDE);
  in_tray_ = true;
}

void TMainForm::CloseMainWindow() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TMainForm::ChangeClipboardChainLink(HWND removed, HWND next) {
  if (removed == NextClipboardViewer)
    NextClipboardViewer = next;
  else if (NextClipboardViewer != nullptr)
    SendMessageA(NextClipboardViewer, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(removed),
                 reinterpret_cast<LPARAM>(next));
}

void TMainForm::ForwardClipboardChange() {
  if (NextClipboardViewer != nullptr) SendMessageA(NextClipboardViewer, WM_DRAWCLIPBOARD, 0, 0);
}

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
      // An error in the close query abandons the close; the program stays open.
      FormCloseQuery();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case WM_CHANGECBCHAIN:
      ChangeClipboardChainLink(reinterpret_cast<HWND>(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_DRAWCLIPBOARD:
      ForwardClipboardChange();
      return 0;
    case WM_START_SERVICE_CHECK: StartServiceCheck(); return 0;
    case WM_APPLY_SERVICE_FILE: ApplyServiceFile(); return 0;
    case WM_SHOW_LANGUAGE_WINDOW: ShowLanguageWindow(); return 0;
    case WM_START_TRANSLATION: StartTranslation(); return 0;
    case WM_SHOW_TRANSLATION: ShowTranslation(); return 0;
    case WM_SHOW_MAIN_WINDOW: ShowMainWindow(); return 0;
    case WM_CLOSE_MAIN_WINDOW: CloseMainWindow(); return 0;
    case WM_HIDE_TO_TRAY: HideToTray(); return 0;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

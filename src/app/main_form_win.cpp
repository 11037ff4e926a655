#include "app/main_form_win.h"

#include <shellapi.h>

#include <exception>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/application_win.h"
#include "app/command_line.h"
#include "app/diagnostics_win.h"
#include "app/taskbar_win.h"
#include "config/about_form_win.h"
#include "config/config_form_win.h"
#include "config/system_proxy_win.h"
#include "net/proxy_settings.h"
#include "platform/files_win.h"
#include "platform/profile_file_win.h"
#include "platform/shell_win.h"
#include "service/service_apply_win.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "translate/lang_form_win.h"
#include "translate/request.h"
#include "translate/trans_form_win.h"
#include "translate/trans_thread_win.h"
#include "widgets/palette_win.h"

namespace parlix {

namespace {
constexpr int kFormWidth = 250;
constexpr int kFormHeight = 230;
// A dropped or named file is read whole into memory and into the text area, of which only
// the first 2 KiB are ever sent. Far more than any text a person means to translate, and
// small enough that a huge file cannot exhaust the memory.
constexpr std::int64_t kMaxLoadedFileSize = 16 * 1024 * 1024;
// The text area's left edge inside its panel: the result window lines its own up with it.
constexpr int kMemoLeftInPanel = 2;

}  // namespace

TMainForm* TMainForm::instance_ = nullptr;

TMainForm::TMainForm() { instance_ = this; }

TMainForm::~TMainForm() {
  if (instance_ == this) instance_ = nullptr;
}

void TMainForm::CreateAndShow(const std::string& command_line) {
  command_line_ = command_line;
  RegisterWindowClass(kMainFormClass, CS_DBLCLKS, nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  // No taskbar button: the program is reached through its window and tray icon. A tool
  // window has none on Windows; Wine's taskbar ignores that style and shows a button for
  // every visible window without an owner, so the window also gets a hidden owner.
  taskbar_owner_.Reset(CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       GetModuleHandleA(nullptr), nullptr));
  CreateHandle(kMainFormClass, "", WS_POPUP | WS_CLIPCHILDREN, WS_EX_ACCEPTFILES | WS_EX_TOOLWINDOW, 0, 0, kFormWidth,
               kFormHeight, taskbar_owner_.Get());
  TApplication::Instance().main_form = hwnd_;
  // Set up from the window's design values before FormCreate runs: the component hooks the
  // window and adds the icon at once.
  utils_menu_ = std::make_unique<TUtilsMenu>(hwnd_);
  tray_vis_ = std::make_unique<TTrayVis>(hwnd_);
  tray_vis_->Trayicon.SetToolTip("Parlix, click to open");
  tray_vis_->Trayicon.PopupMenu = utils_menu_->UtilsPopup();
  tray_vis_->OnShowPopupMenu = [this](TTrayVis&, HMENU, POINT at) {
    RunMenuCommand(utils_menu_->Track(at, stay_on_top_checked_, monitor_clp_checked_));
  };
  tray_vis_->OnTrayicon = [this](TTrayVis&) { TrayVisTrayicon(); };
  tray_vis_->OnTrayLeftClick = [this](TTrayVis&) { TrayVisTrayLeftClick(); };
  tray_vis_->OnTrayRestore = [this](TTrayVis&) { TrayVisTrayRestore(); };
  tray_animation_ = std::make_unique<TTrayAnimation>(hwnd_, *tray_vis_);
  tray_animation_->SetTrayIconFrame(0);
  tray_vis_->Trayicon.SetAlwaysActive(true);
  FormCreate();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

void TMainForm::FormCreate() {
  CreateComponents();
  SettingsPath = GetDataFolder() + "parlix.ini";
  TempPath = GetTempFolder();
  ProxySettings.Enabled = false;
  ProxySettings.Address.clear();
  ProxySettings.Port.clear();
  ProxySettings.Username.clear();
  ProxySettings.Password.clear();
  ProxySettings.Authenticate = false;
  tray_vis_->UseSystemHandCursor(-21, reinterpret_cast<LPCSTR>(IDC_HAND));
  CurrentPair = kDefaultPair;
  ServiceInfo = DefaultServiceInfo();
  DragAcceptFiles(hwnd_, TRUE);
  TApplication::Instance().OnMessage = [this](MSG& msg) { return InterceptAltF4(msg); };
  clipboard_.OnChange = [this] {
    if (monitor_clp_checked_ && IsClipboardFormatAvailable(CF_TEXT)) {
      // A copy made inside the program, or during a translation, starts nothing.
      if (!translation_.Translating && !TClipboardWatcher::CopiedHere()) {
        SetWindowTextA(controls_.memo, "");
        SendMessageA(controls_.memo, WM_PASTE, 0, 0);
        PostMessageA(hwnd_, WM_START_TRANSLATION, 0, 0);
      }
    } else {
      UpdateMemoHint();
    }
  };
  clipboard_.Join(hwnd_);
  SetWindowTextA(hwnd_, Unscramble(kProductNameLit).c_str());
  tray_animation_->SetTrayIconFrame(0);
  OpenWindowFlags = TOpenWindowFlags{};
  ServiceBusy = false;
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
  EngineSettings = values.engine;
  if (values.ontop) SetStayOnTop(true);
  monitor_clp_checked_ = values.monitor_clp;
  ServiceInfo.DateShown = values.date_shown;
  ShowCurrentPair();

  if (IsFirstRun(values)) AboutBtClick();
  if (NeedsRenewal(values)) {
    if (file.Exists()) file.Delete();
    InstallGuid = NewGuidText();
    // A file that cannot be renewed (read-only, say) is reported, and the start goes on
    // with the values read: the service check and the window's place come after this.
    try {
      SaveSettings();
    } catch (const std::exception& e) {
      TApplication::Instance().ShowException(e);
    }
  }
}

void TMainForm::SaveSettings() {
  TProfileFile file(SettingsPath);
  TSettingsValues values;
  values.guid = InstallGuid;
  values.current_pair = CurrentPair;
  values.proxy = ProxySettings;
  values.engine = EngineSettings;
  values.ontop = stay_on_top_checked_;
  values.monitor_clp = monitor_clp_checked_;
  values.date_shown = ServiceInfo.DateShown;
  parlix::SaveSettings(file, values);
}

void TMainForm::FormShow() {
  LoadSettings();
  const std::optional<std::string> argument = FirstArgument(command_line_);
  if (argument && !argument->empty()) LoadMemoFromFile(*argument);
  PlaceAboveTaskbar(hwnd_);
  tray_vis_->SetTaskbarButtonHidden(true);
  PostMessageA(hwnd_, WM_START_SERVICE_CHECK, 0, 0);
  if (argument && IsAutoStartArgument(*argument)) PostMessageA(hwnd_, WM_HIDE_TO_TRAY, 0, 0);
}

void TMainForm::LoadMemoFromFile(const std::string& path) {
  if (!FileExists(path)) return;
  const std::optional<std::string> text = ReadWholeFile(path, kMaxLoadedFileSize);
  if (!text) {
    if (FileSizeOf(path) > kMaxLoadedFileSize) {
      MessageBoxA(hwnd_, ("The file is too large to load:\r\n" + path).c_str(),
                  TApplication::Instance().Title().c_str(), MB_OK | MB_ICONINFORMATION);
    }
    return;
  }
  SetWindowTextA(controls_.memo, text->c_str());
}

void TMainForm::FormCloseQuery() {
  {
    // Whether or not stopping succeeds, the service's files go.
    struct DeleteServiceFiles {
      TMainForm& form;
      ~DeleteServiceFiles() {
        form.service_check_.DeleteTempFiles();
      }
    } delete_service_files{*this};
    if (ServiceBusy) service_check_.Stop();
    ServiceBusy = false;
  }
  translation_.End();
  // An open configuration window closes the way it always does, keeping what it shows.
  if (TConfigForm* config = TConfigForm::Current()) SendMessageA(config->Handle(), WM_CLOSE, 0, 0);
  SaveSettings();
}

void TMainForm::FormDestroy() {
  // Its close callback reaches into this window's buttons: close it while they exist.
  if (TLangForm* languages = TLangForm::Current()) DestroyWindow(languages->Handle());
  tray_animation_.reset();
  TApplication::Instance().OnMessage = nullptr;
  clipboard_.Leave();
  controls_.memo_brush.Reset();
  controls_.title_image.Reset();
}

void TMainForm::RestoreBtClick() { TrayVisTrayLeftClick(); }

void TMainForm::TrayVisTrayLeftClick() {
  PlaceAboveTaskbar(hwnd_);
  if (tray_vis_->InTray())
    tray_vis_->RestoreFromTray();
  else
    PostMessageA(hwnd_, WM_SHOW_MAIN_WINDOW, 0, 0);
}

void TMainForm::TrayVisTrayicon() {
  if (TAboutForm* about = TAboutForm::Current()) ShowWindow(about->Handle(), SW_HIDE);
  if (TTransForm* result = TTransForm::Current()) ShowWindow(result->Handle(), SW_HIDE);
}

void TMainForm::TrayVisTrayRestore() {
  if (TAboutForm* about = TAboutForm::Current()) ShowWindow(about->Handle(), SW_SHOWNA);
  if (TTransForm* result = TTransForm::Current()) ShowWindow(result->Handle(), SW_SHOWNA);
  // Activated while it was still being shown, the window may not have the keyboard yet in
  // the window system (under Wine the X focus can stay on the tray): once it is up, it is
  // brought to the front again, as WM_USER+6 does, so the text area surely gets the keys.
  PostMessageA(hwnd_, WM_SHOW_MAIN_WINDOW, 0, 0);
}

bool TMainForm::InterceptAltF4(MSG& msg) {
  if (msg.message != WM_SYSKEYDOWN || msg.wParam != VK_F4) return false;
  tray_vis_->MinimizeToTray();
  return true;
}

TTranslationView TMainForm::TranslationView() {
  TTranslationView view;
  view.Window = [this] { return hwnd_; };
  view.SetBusy = [this](bool idle) {
    EnableWindow(controls_.memo, idle ? TRUE : FALSE);
    controls_.languages_bt->SetEnabled(idle);
    controls_.translate_bt->SetEnabled(idle);
    if (!tray_animation_) return;
    if (idle)
      tray_animation_->Stop();
    else
      tray_animation_->Start();
  };
  view.ShowStatus = [this](const std::string& text) {
    if (!text.empty()) {
      controls_.wait_label->SetText(text);
      // An engine's words may not fit the one line: they take a second one above it
      // rather than being cut (the error box shows them whole as well).
      const bool two_lines = controls_.wait_label->TextLines() > 1;
      MoveWindow(controls_.wait_label->Handle(), kWaitLabelLeft, two_lines ? 0 : kWaitLabelTop, kWaitLabelWidth,
                 two_lines ? 2 * kWaitLabelHeight : kWaitLabelHeight, TRUE);
      controls_.wait_panel->SetVisible(true);
      SetWindowPos(controls_.wait_panel->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
      controls_.wait_panel->SetVisible(false);
      controls_.wait_label->SetText("");
    }
  };
  view.PlaceResult = [this](TTransForm& result) {
    result.Place(hwnd_, kMemoLeftInPanel, tray_vis_->InTray(), TaskbarTop());
  };
  view.AnswerArrived = [this] { PostMessageA(hwnd_, WM_SHOW_TRANSLATION, 0, 0); };
  view.ResultShown = [this] { PostMessageA(hwnd_, WM_SHOW_MAIN_WINDOW, 0, 0); };
  view.SessionEnding = [this] { return ending_session_; };
  return view;
}

void TMainForm::StartServiceCheck() {
  service_check_.OnDecoded = [this](const std::string&) { PostMessageA(hwnd_, WM_APPLY_SERVICE_FILE, 0, 0); };
  service_check_.OnEnded = [this] { ServiceBusy = false; };
  ServiceBusy = true;
  service_check_.Start(ProxySettings, [this] { return translation_.MakeTempFileName(); });
  ServiceBusy = service_check_.Busy();
}

void TMainForm::ApplyServiceFile() {
  TServiceUiWin ui(hwnd_);
  ui.OnAddProductsMenuItem = [this] { utils_menu_->AddProductsMenuItem(); };
  ui.OnSetAdvButton = [this](const std::string& caption, const std::string& hint, int color) {
    controls_.adv_bt->SetText(caption);
    controls_.hints->Set(controls_.adv_bt->Handle(), hint);
    controls_.adv_bt->SetFontColor(static_cast<COLORREF>(color));
  };
  parlix::ApplyServiceFile(service_check_.DecodedFile(), ui, translation_.Random);
}

void TMainForm::ShowLanguageWindow() {
  if (TLangForm::Current() != nullptr) return;
  TLangFormEvents events;
  events.OnPairChosen = [this](int pair) {
    CurrentPair = pair;
    ShowCurrentPair();
  };
  events.OnClosed = [this] {
    if (controls_.languages_bt != nullptr && controls_.languages_bt->Handle() != nullptr) controls_.languages_bt->SetEnabled(true);
  };
  // The language button's place inside the centre panel: the window opens just above it.
  if (TLangForm::Open(hwnd_, POINT{11, 122}, CurrentPair, std::move(events)) != nullptr)
    controls_.languages_bt->SetEnabled(false);
}

void TMainForm::ShowMainWindow() {
  if (!tray_vis_->InTray()) tray_vis_->BringOwnerToFront(true, false, false);
  if (TTransForm* result = TTransForm::Current())
    SetWindowPos(result->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (tray_vis_->StayOnTopState()) tray_vis_->SetStayOnTop(true);
  SetForegroundWindow(hwnd_);
}

void TMainForm::FormDropFiles(HDROP drop) {
  struct FinishDrop {
    HDROP drop;
    ~FinishDrop() { DragFinish(drop); }
  } finish{drop};
  if (translation_.Translating) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  SetWindowTextA(controls_.memo, "");
  if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    char name[256] = {};
    if (DragQueryFileA(drop, 0, name, 255) > 0) LoadMemoFromFile(name);
  }
  SetCursor(previous);
  SetForegroundWindow(hwnd_);
}

void TMainForm::HandleDestroyed() {
  taskbar_owner_.Reset();
  PostQuitMessage(0);
}

LRESULT TMainForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == DiagnosticsMessage()) return AnswerDiagnostics(wparam);
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wparam && !shown_) {
        shown_ = true;
        FormShow();
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && stay_on_top_checked_) SetStayOnTop(true);
      if (controls_.focus_keeper.Handle(hwnd_, msg, wparam, controls_.memo)) return 0;
      break;
    case WM_SETFOCUS:
      controls_.focus_keeper.Handle(hwnd_, msg, wparam, controls_.memo);
      return 0;
    case WM_QUERYENDSESSION:
      // The session ends whatever happens here: an error box now would hold up the logoff,
      // and the workers' files are deleted even when a worker cannot be stopped.
      ending_session_ = true;
      try {
        FormCloseQuery();
      } catch (const std::exception&) {
      }
      return TRUE;
    case WM_ENDSESSION:
      // The settings were saved at the query; the program ends with the session.
      if (wparam)
        DestroyWindow(hwnd_);
      else
        ending_session_ = false;  // another program refused: the session goes on
      return 0;
    case WM_CLOSE:
      // An error in the close query leaves this handler before the window is destroyed:
      // the close is abandoned and the program stays open.
      FormCloseQuery();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lparam) == controls_.memo && HIWORD(wparam) == EN_CHANGE)
        MemoChange();
      else if (lparam == 0 && HIWORD(wparam) == 0)
        RunMenuCommand(LOWORD(wparam));  // a menu item chosen
      return 0;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lparam) == controls_.memo) {
        SetBkColor(reinterpret_cast<HDC>(wparam), kMemoColor);
        return reinterpret_cast<LRESULT>(controls_.memo_brush.Get());
      }
      break;
    case WM_TIMER:
      if (wparam == TTrayAnimation::kTimerId && tray_animation_) tray_animation_->TrayTimerTimer();
      return 0;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
      if (utils_menu_ && utils_menu_->HandleOwnerDraw(msg, lparam)) return TRUE;
      break;
    case WM_CHANGECBCHAIN:
    case WM_DRAWCLIPBOARD:
      clipboard_.Handle(msg, wparam, lparam);
      return 0;
    case WM_DROPFILES:
      FormDropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_START_SERVICE_CHECK: StartServiceCheck(); return 0;
    case WM_APPLY_SERVICE_FILE: ApplyServiceFile(); return 0;
    case WM_SHOW_LANGUAGE_WINDOW: ShowLanguageWindow(); return 0;
    case WM_START_TRANSLATION:
      translation_.Start(TrimText(GetWindowString(controls_.memo)), CurrentPair);
      return 0;
    case WM_SHOW_TRANSLATION: translation_.ShowTranslation(); return 0;
    case WM_SHOW_MAIN_WINDOW: ShowMainWindow(); return 0;
    case WM_CLOSE_MAIN_WINDOW: SendMessageA(hwnd_, WM_CLOSE, 0, 0); return 0;
    case WM_HIDE_TO_TRAY: tray_vis_->MinimizeToTray(); return 0;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

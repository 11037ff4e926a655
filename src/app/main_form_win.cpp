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
  taskbar_owner_ = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  CreateHandle(kMainFormClass, "", WS_POPUP | WS_CLIPCHILDREN, WS_EX_ACCEPTFILES | WS_EX_TOOLWINDOW, 0, 0, kFormWidth,
               kFormHeight, taskbar_owner_);
  TApplication::Instance().main_form = hwnd_;
  CreateTrayVis();
  FormCreate();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

// Set up from the window's design values before FormCreate runs: the component hooks the
// window and adds the icon at once.
void TMainForm::CreateTrayVis() {
  CreateMenu();
  tray_vis_ = std::make_unique<TTrayVis>(hwnd_);
  tray_vis_->Trayicon.SetToolTip("Parlix, click to open");
  tray_vis_->Trayicon.PopupMenu = utils_popup_.Get();
  tray_vis_->OnShowPopupMenu = [this](TTrayVis&, HMENU, POINT at) { ShowUtilsPopupAt(at); };
  tray_vis_->OnTrayicon = [this](TTrayVis&) { TrayVisTrayicon(); };
  tray_vis_->OnTrayLeftClick = [this](TTrayVis&) { TrayVisTrayLeftClick(); };
  tray_vis_->OnTrayRestore = [this](TTrayVis&) { TrayVisTrayRestore(); };
  tray_frames_[0] = LoadTrayIconFrame(0);
  tray_frames_[1] = LoadTrayIconFrame(1);
  tray_vis_->Trayicon.SetIcon(tray_frames_[0].Get());
  tray_vis_->Trayicon.SetAlwaysActive(true);
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
  NextClipboardViewer = SetClipboardViewer(hwnd_);
  SetWindowTextA(hwnd_, Unscramble(kProductNameLit).c_str());
  SetTrayIconFrame(0);
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
  PlaceAboveTaskbar();
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
  SetWindowTextA(memo_, text->c_str());
}

void TMainForm::FormCloseQuery() {
  {
    // Whether or not stopping succeeds, the service's files go.
    struct DeleteServiceFiles {
      TMainForm& form;
      ~DeleteServiceFiles() {
        form.service_check_.DeleteTempFiles();
        DeleteIfExists(form.decoded_file_);
      }
    } delete_service_files{*this};
    if (ServiceBusy) service_check_.Stop();
    ServiceBusy = false;
  }
  if (Translating) {
    // Whether or not stopping succeeds, the answer file goes.
    struct DeleteAnswer {
      const std::string& path;
      ~DeleteAnswer() { DeleteIfExists(path); }
    } delete_answer{answer_file_};
    StopTranslation();
  }
  // An open configuration window closes the way it always does, keeping what it shows.
  if (TConfigForm* config = TConfigForm::Current()) SendMessageA(config->Handle(), WM_CLOSE, 0, 0);
  SaveSettings();
}

void TMainForm::EndSessionQuery() {
  // The session ends whatever happens here: an error box now would hold up the logoff, and
  // the workers' files are deleted even when a worker cannot be stopped.
  ending_session_ = true;
  try {
    FormCloseQuery();
  } catch (const std::exception&) {
  }
}

void TMainForm::FormDestroy() {
  // Its close callback reaches into this window's buttons: close it while they exist.
  if (TLangForm* languages = TLangForm::Current()) DestroyWindow(languages->Handle());
  KillTimer(hwnd_, kTrayTimerId);
  TApplication::Instance().OnMessage = nullptr;
  ChangeClipboardChain(hwnd_, NextClipboardViewer);
  memo_brush_.Reset();
  title_image_.Reset();
  utils_popup_.Reset();
}

void TMainForm::FormActivate() {
  if (stay_on_top_checked_) SetStayOnTop(true);
}

void TMainForm::RestoreBtClick() { TrayVisTrayLeftClick(); }

void TMainForm::TrayVisTrayLeftClick() {
  PlaceAboveTaskbar();
  if (InTray())
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

void TMainForm::PlaceAboveTaskbar() { parlix::PlaceAboveTaskbar(hwnd_); }

void TMainForm::SetTrayIconFrame(int frame) {
  if (frame < 0 || frame > 1) return;
  tray_frame_ = frame;
  if (tray_vis_ != nullptr) tray_vis_->Trayicon.SetIcon(tray_frames_[frame].Get());
}

void TMainForm::StartServiceCheck() {
  service_check_.OnDecoded = [this](const std::string& decoded_file) {
    decoded_file_ = decoded_file;
    PostMessageA(hwnd_, WM_APPLY_SERVICE_FILE, 0, 0);
  };
  service_check_.OnEnded = [this] { ServiceBusy = false; };
  ServiceBusy = true;
  service_check_.Start(ProxySettings, [this] { return MakeTempFileName(); });
  ServiceBusy = service_check_.Busy();
}

void TMainForm::ApplyServiceFile() {
  TServiceUiWin ui(hwnd_);
  ui.OnAddProductsMenuItem = [this] { AddProductsMenuItem(); };
  ui.OnSetAdvButton = [this](const std::string& caption, const std::string& hint, int color) {
    adv_bt_->SetText(caption);
    hints_->Set(adv_bt_->Handle(), hint);
    adv_bt_->SetFontColor(static_cast<COLORREF>(color));
  };
  parlix::ApplyServiceFile(decoded_file_, ui, Random);
}

void TMainForm::ShowLanguageWindow() {
  if (TLangForm::Current() != nullptr) return;
  TLangFormEvents events;
  events.OnPairChosen = [this](int pair) {
    CurrentPair = pair;
    ShowCurrentPair();
  };
  events.OnClosed = [this] {
    if (languages_bt_ != nullptr && languages_bt_->Handle() != nullptr) languages_bt_->SetEnabled(true);
  };
  // The language button's place inside the centre panel: the window opens just above it.
  if (TLangForm::Open(hwnd_, POINT{11, 122}, CurrentPair, std::move(events)) != nullptr)
    languages_bt_->SetEnabled(false);
}

void TMainForm::ShowMainWindow() {
  if (!InTray()) tray_vis_->BringOwnerToFront(true, false, false);
  if (TTransForm* result = TTransForm::Current())
    SetWindowPos(result->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (tray_vis_->StayOnTopState()) tray_vis_->SetStayOnTop(true);
  SetForegroundWindow(hwnd_);
}

void TMainForm::HideToTray() { tray_vis_->MinimizeToTray(); }

void TMainForm::CloseMainWindow() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TMainForm::ChangeClipboardChainLink(HWND removed, HWND next) {
  if (removed == NextClipboardViewer)
    NextClipboardViewer = next;
  else if (NextClipboardViewer != nullptr)
    SendMessageA(NextClipboardViewer, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(removed),
                 reinterpret_cast<LPARAM>(next));
}

namespace {

// One of the program's windows is the system's active window.
bool ApplicationIsActive() {
  DWORD pid = 0;
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return false;
  GetWindowThreadProcessId(foreground, &pid);
  return pid == GetCurrentProcessId();
}

// Under Wine, text copied in a program outside Wine (a Linux program on the same X display)
// reaches the clipboard through Wine's clipboard manager, which then owns it; and Wine still
// counts this program as the active one, since the X window that has the focus is none of
// Wine's. Such a copy is not the program's own. No window of this class exists on Windows.
bool CopiedOutsideWine() {
  HWND owner = GetClipboardOwner();
  char name[64] = {};
  return owner != nullptr && GetClassNameA(owner, name, sizeof(name)) > 0 &&
         std::string_view(name) == "__wine_clipboard_manager";
}

}  // namespace

void TMainForm::ClipboardChanged() {
  if (monitor_clp_checked_ && IsClipboardFormatAvailable(CF_TEXT)) {
    // A copy made inside the program, or during a translation, starts nothing.
    if (!Translating && (!ApplicationIsActive() || CopiedOutsideWine())) {
      SetWindowTextA(memo_, "");
      SendMessageA(memo_, WM_PASTE, 0, 0);
      PostMessageA(hwnd_, WM_START_TRANSLATION, 0, 0);
    }
  } else {
    UpdateMemoHint();
  }
  if (NextClipboardViewer != nullptr) SendMessageA(NextClipboardViewer, WM_DRAWCLIPBOARD, 0, 0);
}

void TMainForm::FormDropFiles(HDROP drop) {
  struct FinishDrop {
    HDROP drop;
    ~FinishDrop() { DragFinish(drop); }
  } finish{drop};
  if (Translating) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  SetWindowTextA(memo_, "");
  if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    char name[256] = {};
    if (DragQueryFileA(drop, 0, name, 255) > 0) LoadMemoFromFile(name);
  }
  SetCursor(previous);
  SetForegroundWindow(hwnd_);
}

void TMainForm::HandleDestroyed() {
  if (taskbar_owner_ != nullptr) DestroyWindow(taskbar_owner_);
  taskbar_owner_ = nullptr;
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
      if (LOWORD(wparam) != WA_INACTIVE) FormActivate();
      if (focus_keeper_.Handle(hwnd_, msg, wparam, memo_)) return 0;
      break;
    case WM_SETFOCUS:
      focus_keeper_.Handle(hwnd_, msg, wparam, memo_);
      return 0;
    case WM_QUERYENDSESSION:
      EndSessionQuery();
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
      if (reinterpret_cast<HWND>(lparam) == memo_ && HIWORD(wparam) == EN_CHANGE)
        MemoChange();
      else if (lparam == 0 && HIWORD(wparam) == 0)
        RunMenuCommand(LOWORD(wparam));  // a menu item chosen
      return 0;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lparam) == memo_) {
        SetBkColor(reinterpret_cast<HDC>(wparam), kMemoColor);
        return reinterpret_cast<LRESULT>(memo_brush_.Get());
      }
      break;
    case WM_TIMER:
      if (wparam == kTrayTimerId) TrayTimerTimer();
      return 0;
    case WM_MEASUREITEM:
      if (MeasureMenuItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lparam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (DrawMenuItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam))) return TRUE;
      break;
    case WM_CHANGECBCHAIN:
      ChangeClipboardChainLink(reinterpret_cast<HWND>(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_DRAWCLIPBOARD:
      ClipboardChanged();
      return 0;
    case WM_DROPFILES:
      FormDropFiles(reinterpret_cast<HDROP>(wparam));
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

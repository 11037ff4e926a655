// The main window: life cycle, layout, keys, commands and private messages. What has a seam
// of its own lives apart: the translation (TTranslationSession), the clipboard chain
// (TClipboardWatcher), the tray animation (TTrayAnimation) and the menu (TUtilsMenu).
// Its handlers live in two files by concern:
//   main_form_win.cpp            life cycle, settings, message dispatch, tray and clipboard
//   main_form_layout_win.cpp     components, painting, text area, menu commands
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/settings.h"
#include "service/srvc_thread_win.h"
#include "app/utils_menu_win.h"
#include "translate/translation_session_win.h"
#include "widgets/clipboard_watcher_win.h"
#include "widgets/controls_win.h"
#include "widgets/images_win.h"
#include "widgets/tray_animation_win.h"
#include "widgets/tray_vis_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kMainFormClass[] = "TMainForm";

// Private messages of the main window, all posted with wParam = lParam = 0.
inline constexpr UINT WM_START_SERVICE_CHECK = WM_USER + 1;
inline constexpr UINT WM_APPLY_SERVICE_FILE = WM_USER + 2;
inline constexpr UINT WM_SHOW_LANGUAGE_WINDOW = WM_USER + 3;
inline constexpr UINT WM_START_TRANSLATION = WM_USER + 4;
inline constexpr UINT WM_SHOW_TRANSLATION = WM_USER + 5;
inline constexpr UINT WM_SHOW_MAIN_WINDOW = WM_USER + 6;
inline constexpr UINT WM_CLOSE_MAIN_WINDOW = WM_USER + 7;
inline constexpr UINT WM_HIDE_TO_TRAY = WM_USER + 8;

// The wait panel's status line, inside the panel: one line, or two above it for long words.
inline constexpr int kWaitLabelLeft = 10;
inline constexpr int kWaitLabelTop = 13;
inline constexpr int kWaitLabelWidth = 190;
inline constexpr int kWaitLabelHeight = 13;

// The window's components: the children are destroyed with the window, the objects with the form.
struct TMainFormControls {
  std::unique_ptr<TControl> top_panel, center_panel, wait_panel, wait_label, cancel_label, bevel1;
  std::unique_ptr<TControl> languages_bt, lang_paint, translate_bt, minimize_bt, adv_bt, donate_bt;
  HWND memo = nullptr;
  TFocusKeeper focus_keeper;  // the memo has the focus whenever the window is activated
  UniqueGdiObject memo_brush;
  UniqueGdiObject title_image;
  std::unique_ptr<THints> hints;
};

class TMainForm : public TWindow {
 public:
  TMainForm();
  ~TMainForm() override;

  static TMainForm* Instance() { return instance_; }

  // Creates the window (runs FormCreate) and shows it (runs FormShow).
  void CreateAndShow(const std::string& command_line);

  // State read by other windows and by the workers' completions.
  bool ServiceBusy = false;
  int CurrentPair = 1;
  TTranslationSession& Translation() { return translation_; }
  TClipboardWatcher& ClipboardWatcher() { return clipboard_; }

  HWND Memo() const { return controls_.memo; }
  bool StayOnTopChecked() const { return stay_on_top_checked_; }
  bool MonitorClpChecked() const { return monitor_clp_checked_; }
  TTrayVis* TrayVis() const { return tray_vis_.get(); }
  int TrayIconFrame() const { return tray_animation_ ? tray_animation_->Frame() : 0; }

  void LoadSettings();
  void SaveSettings();

  void SelectPair(int index);
  // Repaints the pair label after CurrentPair changed.
  void ShowCurrentPair();
  void UpdateMemoHint();

  // Commands of the menu.
  void AboutBtClick();
  void RestoreBtClick();
  // The tray icon's events.
  void TrayVisTrayLeftClick();
  void TrayVisTrayicon();
  void TrayVisTrayRestore();
  // The application's message hook: Alt+F4 sends the main window to the tray.
  bool InterceptAltF4(MSG& msg);

  HMENU UtilsPopup() const { return utils_menu_->UtilsPopup(); }
  TXPMenu* XPMenu1() const { return utils_menu_->XPMenu1(); }
  std::string MemoHint() const { return controls_.hints->Get(controls_.memo); }
  HWND HintWindow() const { return controls_.hints->Handle(); }
  HWND LangPaintHandle() const { return controls_.lang_paint->Handle(); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void HandleDestroyed() override;

 private:
  friend LRESULT CALLBACK MemoSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  void FormCreate();
  void CreateComponents();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  // The translation's view of this window: the busy state, the wait panel, the result's place.
  TTranslationView TranslationView();

  // Handlers of the private messages.
  void StartServiceCheck();
  void ApplyServiceFile();
  void ShowLanguageWindow();
  void ShowMainWindow();

  // Components' events.
  void MemoChange();
  void MemoDblClick();
  // True when the key was one of the text area's commands.
  bool MemoKeyDown(WPARAM key);
  // A command of UtilsPopup, chosen there or sent as WM_COMMAND.
  void RunMenuCommand(UINT command);
  void SetStayOnTop(bool on);
  void ConfigurationBtClick();

  void LoadMemoFromFile(const std::string& path);
  void FormDropFiles(HDROP drop);

  static TMainForm* instance_;

  std::string command_line_;
  // Hidden; owning the main window keeps it off Wine's taskbar.
  UniqueWindow taskbar_owner_;
  bool ending_session_ = false;  // the session ends: no box may wait for the user
  bool shown_ = false;
  bool stay_on_top_checked_ = false;
  bool monitor_clp_checked_ = false;

  TMainFormControls controls_;
  std::unique_ptr<TUtilsMenu> utils_menu_;
  std::unique_ptr<TTrayVis> tray_vis_;
  std::unique_ptr<TTrayAnimation> tray_animation_;
  TClipboardWatcher clipboard_;
  // The background fetch of the service file, once per run.
  TServiceCheck service_check_;
  // Last, so that it goes first: a worker stopped at destruction still finds the controls.
  TTranslationSession translation_{TranslationView()};
};

}  // namespace parlix

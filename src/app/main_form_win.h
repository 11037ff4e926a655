// The main window: life cycle, layout, keys, commands, private messages, and the
// translation's busy state. Its handlers live in several files by concern:
//   main_form_win.cpp            life cycle, settings, message dispatch
//   main_form_layout_win.cpp     components, painting, text area, menu commands
//   main_form_translate_win.cpp  starting, stopping and finishing translations
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/settings.h"
#include "platform/worker_owner_win.h"
#include "service/srvc_thread_win.h"
#include "translate/request.h"
#include "widgets/controls_win.h"
#include "widgets/images_win.h"
#include "widgets/tray_vis_win.h"
#include "widgets/window_win.h"
#include "widgets/xp_menu_win.h"

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

// Command identifiers of the items of UtilsPopup.
enum TMenuCommand : UINT {
  kRestoreBt = 100,
  kStayontopBt,
  kMonitorclpBt,
  kGoogleWebpageBt,
  kConfigurationBt,
  kExitBt,
  kAboutBt,
  kMoreProductsBt,
};

class TAboutForm;
class TTransForm;
class TTransThread;

class TMainForm : public TWindow {
 public:
  TMainForm();
  ~TMainForm() override;

  static TMainForm* Instance() { return instance_; }

  // Creates the window (runs FormCreate) and shows it (runs FormShow).
  void CreateAndShow(const std::string& command_line);

  HWND Memo() const { return memo_; }

  // State read by other windows and by the workers' completions.
  bool Translating = false;
  bool ServiceBusy = false;
  int CurrentPair = 1;
  HWND NextClipboardViewer = nullptr;
  TTransThread* TransWorker = nullptr;  // the running worker, owned by trans_owner_ or its own thread
  // The pseudo-random generator behind temporary file names.
  PseudoRandom Random;

  bool StayOnTopChecked() const { return stay_on_top_checked_; }
  bool MonitorClpChecked() const { return monitor_clp_checked_; }
  bool InTray() const { return tray_vis_ != nullptr && tray_vis_->InTray(); }
  TTrayVis* TrayVis() const { return tray_vis_.get(); }
  int TrayIconFrame() const { return tray_frame_; }
  const std::string& AnswerFileName() const { return answer_file_; }

  void LoadSettings();
  void SaveSettings();

  void SelectPair(int index);
  // Repaints the pair label after CurrentPair changed.
  void ShowCurrentPair();
  void UpdateMemoHint();

  // The translation's busy state and the wait panel.
  void SetBusy(bool enabled);
  void ShowStatus(const std::string& text);
  void TranslationEnded();
  void WorkerTerminated();
  void StopTranslation();
  void TranslationDone(int result_code, int status);
  // The wait panel's words and the error box for a translation that brought none.
  void ShowFailure(const std::string& message);

  // A fresh temporary file name that no file has yet.
  std::string MakeTempFileName();

  // Commands of the menu.
  void AboutBtClick();
  void RestoreBtClick();
  // The tray icon's events.
  void TrayVisTrayLeftClick();
  void TrayVisTrayicon();
  void TrayVisTrayRestore();
  // The application's message hook: Alt+F4 sends the main window to the tray.
  bool InterceptAltF4(MSG& msg);

  static TTransForm* ResultForm();
  HMENU UtilsPopup() const { return utils_popup_.Get(); }
  TXPMenu* XPMenu1() const { return xp_menu1_.get(); }
  std::string MemoHint() const { return hints_->Get(memo_); }
  HWND HintWindow() const { return hints_->Handle(); }
  HWND LangPaintHandle() const { return lang_paint_->Handle(); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void HandleDestroyed() override;

 private:
  friend LRESULT CALLBACK MemoSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  void FormCreate();
  void CreateComponents();
  void CreateMenu();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  void FormActivate();
  // The end of the Windows session: the closing path, which must not hold the session up.
  void EndSessionQuery();

  // Handlers of the private messages.
  void StartServiceCheck();
  void ApplyServiceFile();
  void ShowLanguageWindow();
  void StartTranslation();
  void ShowTranslation();
  void ShowMainWindow();
  void CloseMainWindow();
  void HideToTray();

  // Components' events.
  void TopPanelMouseDown(int button);
  void MemoChange();
  void MemoDblClick();
  // True when the key was one of the text area's commands.
  bool MemoKeyDown(WPARAM key);
  void CancelLabelClick();
  void MinimizeBtClick();
  void AddProductsMenuItem();
  void ShowUtilsPopup();
  void ShowUtilsPopupAt(POINT at);
  void SetMenuItemImage(UINT command, int image);
  bool MeasureMenuItem(MEASUREITEMSTRUCT& item);
  bool DrawMenuItem(const DRAWITEMSTRUCT& item);
  void CreateTrayVis();
  void RunMenuCommand(UINT command);
  void StayontopBtClick();
  void SetStayOnTop(bool on);
  void MonitorclpBtClick();
  void GoogleWebpageBtClick();
  void ConfigurationBtClick();
  void ExitBtClick();
  void LangPaintPaint(HDC dc, const RECT& rect);
  void FitPairLabel();

  void TrayTimerTimer();
  void SetTrayIconFrame(int frame);

  void LoadMemoFromFile(const std::string& path);
  void PlaceAboveTaskbar();
  void ChangeClipboardChainLink(HWND removed, HWND next);
  void ClipboardChanged();
  void FormDropFiles(HDROP drop);
  bool ExtractAndShow(const std::string& answer);
  void ShowResult(const std::string& text);

  static TMainForm* instance_;

  std::string command_line_;
  HWND taskbar_owner_ = nullptr;
  bool ending_session_ = false;  // the session ends: no box may wait for the user  // hidden; owning the window keeps it off Wine's taskbar
  bool shown_ = false;
  bool stay_on_top_checked_ = false;
  bool monitor_clp_checked_ = false;

  // Components (children are destroyed with the window; the objects with the form).
  std::unique_ptr<TControl> top_panel_, center_panel_, wait_panel_, wait_label_, cancel_label_, bevel1_;
  std::unique_ptr<TControl> languages_bt_, lang_paint_, translate_bt_, minimize_bt_, adv_bt_, donate_bt_;
  HWND memo_ = nullptr;
  TFocusKeeper focus_keeper_;  // Memo has the focus whenever the window is activated
  UniqueGdiObject memo_brush_;
  UniqueGdiObject title_image_;
  std::unique_ptr<THints> hints_;
  UniqueMenu utils_popup_;
  UniqueImageList menu_images_;
  std::unique_ptr<TXPMenu> xp_menu1_;
  std::unique_ptr<TTrayVis> tray_vis_;
  UniqueIcon tray_frames_[2];

  // TrayTimer: animates the tray icon while a translation runs; its tag is the next frame.
  static constexpr UINT_PTR kTrayTimerId = 1;
  static constexpr UINT kTrayTimerInterval = 250;
  int tray_timer_tag_ = 0;
  bool tray_timer_on_ = false;
  int tray_frame_ = 0;


  // The background fetch of the service file, once per run.
  TServiceCheck service_check_;
  // Files of the workers, deleted at close when they still exist.
  std::string answer_file_;
  std::string decoded_file_;
  // The engine and pair of the translation in progress: the answer is read as they say,
  // whatever the configuration window changed meanwhile.
  TEngineSettings request_engine_;
  int request_pair_ = 0;
  // Last, so that it goes first: a worker stopped at destruction still finds the controls.
  TWorkerOwner trans_owner_;
};

}  // namespace parlix

// The main window: life cycle, private messages and the state other windows read.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/settings.h"
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

class TAboutForm;

class TMainForm : public TWindow {
 public:
  TMainForm();
  ~TMainForm() override;

  static TMainForm* Instance() { return instance_; }

  // Creates the window (runs FormCreate) and shows it (runs FormShow).
  void CreateAndShow(const std::string& command_line);

  HWND Memo() const { return memo_; }

  // State read by other windows and workers' completions.
  bool Translating = false;
  bool ServiceBusy = false;
  int CurrentPair = 1;
  HWND NextClipboardViewer = nullptr;

  // Check marks of the two check items of the command menu.
  bool StayOnTopChecked() const { return stay_on_top_checked_; }
  bool MonitorClpChecked() const { return monitor_clp_checked_; }
  bool InTray() const { return in_tray_; }

  void LoadSettings();
  void SaveSettings();

  // Opens the about window as the About command does (a beep, then the window), once.
  void AboutBtClick();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void HandleDestroyed() override;

 private:
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  void FormActivate();

  // Handlers of the private messages.
  void StartServiceCheck();
  void ApplyServiceFile();
  void ShowLanguageWindow();
  void StartTranslation();
  void ShowTranslation();
  void ShowMainWindow();
  void CloseMainWindow();
  void HideToTray();

  void StayontopBtClick(bool checked);
  void LoadMemoFromFile(const std::string& path);
  void PlaceAboveTaskbar();
  void ChangeClipboardChainLink(HWND removed, HWND next);
  void ForwardClipboardChange();

  static TMainForm* instance_;

  std::string command_line_;
  HWND memo_ = nullptr;
  bool shown_ = false;
  bool in_tray_ = false;
  bool stay_on_top_checked_ = false;
  bool monitor_clp_checked_ = false;
  TAboutForm* about_ = nullptr;  // frees itself when closed; valid while AboutOpen
  // Files of the workers, deleted at close when they still exist.
  std::string answer_file_;
  std::string downloaded_file_;
  std::string decoded_file_;
};

}  // namespace parlix

// The main window.
#pragma once

#include <windows.h>

#include <string>

#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kMainFormClass[] = "TMainForm";

class TMainForm : public TWindow {
 public:
  TMainForm();
  ~TMainForm() override;

  // Creates the window (runs FormCreate) and shows it (runs FormShow).
  void CreateAndShow(int show_command);

  HWND Memo() const { return memo_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void HandleDestroyed() override;

 private:
  void FormCreate();
  void FormShow();
  // Runs the close query; an error inside it abandons the close.
  void FormCloseQuery();
  void FormDestroy();
  void FormActivate();

  void CloseMainWindow();

  HWND memo_ = nullptr;
  bool shown_ = false;
};

}  // namespace parlix

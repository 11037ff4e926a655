// The result window: the translated text, always on top, copied by a double click.
#pragma once

#include <memory>
#include <string>

#include "platform/handles_win.h"
#include "translate/result_place.h"
#include "widgets/controls_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kTransFormClass[] = "TTransForm";
// The result window's close has a fixed number that other programs may post.
inline constexpr UINT WM_CLOSE_RESULT_WINDOW = WM_USER + 7;

class TTransForm : public TSingleWindow<TTransForm, &TOpenWindowFlags::ResultOpen> {
 public:
  // Creates the window owned by `owner` (hidden) and sets ResultOpen; null when it could not
  // be made or one is open already. The object frees itself when the window is closed, and
  // clears ResultOpen then.
  static TTransForm* Create(HWND owner);

  HWND Memo() const { return memo_; }
  void SetText(const std::string& text);
  std::string Text() const;
  // Places the window by the rule of the main window's state (left of it, or above the
  // taskbar when the main window is in the tray).
  void Place(HWND main_window, int memo_left_in_panel, bool main_in_tray, int taskbar_top);

  void MemoDblClick();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  TTransForm() = default;
  void CreateComponents();
  void TopPanelMouseDown(int button);
  void CloseResultWindow();

  std::unique_ptr<TControl> top_panel_, close_bt_, center_panel_;
  HWND memo_ = nullptr;
  UniqueGdiObject memo_brush_;
  TFocusKeeper focus_keeper_;  // the text has the focus whenever the window is activated
  UniqueGdiObject title_image_;
  std::unique_ptr<THints> hints_;
};

}  // namespace parlix

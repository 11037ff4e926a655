// The language window: twelve pairs with a radio button each, a small borderless pop-up
// that closes as soon as a pair is chosen or it loses activation.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "widgets/controls_win.h"
#include "widgets/images_win.h"
#include "widgets/over_paint_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kLangFormClass[] = "TLangForm";
inline constexpr int kLangFormWidth = 200;
inline constexpr int kLangFormHeight = 280;
// The window's own close, posted so that it is never destroyed inside one of its handlers.
// In the WM_APP range: the WM_USER values are the main window's fixed commands, and a
// stray post to the wrong window must not be taken for one of them.
inline constexpr UINT WM_CLOSE_LANGUAGE_WINDOW = WM_APP + 1;

struct TLangFormEvents {
  // The user chose a pair (0..11): make it current and repaint the main label. The window
  // lets pending messages run and closes itself afterwards.
  std::function<void(int pair)> OnPairChosen;
  // The window has closed, whichever way (choice, close button, lost activation, owner
  // gone): enable the language button again. LanguagesOpen is already false here.
  std::function<void()> OnClosed;
};

class TLangForm : public TSingleWindow<TLangForm, &TOpenWindowFlags::LanguagesOpen> {
 public:
  static constexpr int kPairCount = 12;

  // Opens the window owned by main_window, placed from the main window's rect and the
  // language button's offset inside its panel, with current_pair's radio button checked;
  // sets LanguagesOpen and brings the window to the front. Null when one is open already or
  // it could not be made. The object frees itself when the window closes.
  static TLangForm* Open(HWND main_window, POINT button_offset, int current_pair, TLangFormEvents events);

  // Checks row pair's radio button and unchecks the others; outside 0..11 nothing changes.
  void CheckPairButton(int pair);
  // The row whose radio button is checked, or -1.
  int CheckedPair() const;
  // Closes the window (the close steps run once, however often this is called).
  void Close();

  // Components, for the main window's tests and this window's own.
  HWND PairButton(int pair) const;
  HWND PairLabel(int pair) const;
  HWND CenterPanel() const { return center_panel_ ? center_panel_->Handle() : nullptr; }
  HWND CloseButton() const { return close_bt_ ? close_bt_->Handle() : nullptr; }
  std::string Hint(HWND control) const { return hints_ ? hints_->Get(control) : std::string(); }

  // Handlers, public so that a radio button's subclass can reach them.
  bool FormKeyDown(WPARAM key);
  void LangClick(int pair, HWND button);
  void CenterPanelMouseDown(int button);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void Closed() override;

 private:
  explicit TLangForm(TLangFormEvents events) : events_(std::move(events)) {}
  void CreateComponents();
  void CreatePairButton(int pair);
  void Place(HWND main_window, POINT button_offset);
  void ChoosePair(int pair);
  void FormDeactivate();
  void LangPaintPaint(int pair, HDC dc);
  void CloseBtPaint(HDC dc, const RECT& rect);

  TLangFormEvents events_;
  // Cleared when the window is gone; a handler that lets messages run checks it afterwards.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool closing_ = false;
  std::unique_ptr<TControl> center_panel_, close_bt_;
  std::array<HWND, kPairCount> lang_{};
  std::array<std::unique_ptr<TOverPaint>, kPairCount> lang_paint_;
  UniqueGdiObject top_image_;
  UniqueGdiObject back_brush_;
  UniqueImageList flags_;
  std::unique_ptr<THints> hints_;
  TFocusKeeper focus_keeper_;  // the checked row has the focus whenever the window is activated
};

}  // namespace parlix

// The about window.
#pragma once

#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kAboutFormClass[] = "TAboutForm";

class TAboutForm : public TWindow {
 public:
  // Creates and shows the window owned by `owner`, sets AboutOpen. The object frees
  // itself when the window is closed, and clears AboutOpen then.
  static TAboutForm* Open(HWND owner);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void HandleDestroyed() override;

 private:
  TAboutForm() = default;
};

}  // namespace parlix

// Reading what is on the screen, real key presses, and the process's GDI object count.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "support/dib_canvas_win.h"

namespace parlix::test {

// A copy of a rectangle of the screen, read back by screen coordinates.
class TScreenShot {
 public:
  explicit TScreenShot(const RECT& area);
  bool Ok() const { return canvas_ && canvas_->Ok(); }
  // CLR_INVALID outside the area.
  COLORREF Pixel(int x, int y) const;
  // Writes the area as a 24-bit BMP file.
  bool SaveBmp(const std::string& path) const;

 private:
  RECT area_;
  std::unique_ptr<TDibCanvas> canvas_;
};

// Bits per pixel of the screen.
int ScreenBitsPerPixel();

// Presses and releases a key through the system's input queue, as a keyboard does.
void PressKey(WORD vk);

// GDI objects the process holds now. Where the system does not count them, every handle
// slot is asked for its object type.
int GdiObjectCount();

// Runs open() on this thread (it shows a popup menu and returns when the menu closes). On
// another thread, once a popup menu window is visible and drawn() holds, while_open runs
// with the menu window; the menu is then closed with Escape if it is still open. False when
// no menu was seen drawn within the time limit.
bool WhileMenuOpen(const std::function<void()>& open, const std::function<bool()>& drawn,
                   const std::function<void(HWND)>& while_open);

}  // namespace parlix::test

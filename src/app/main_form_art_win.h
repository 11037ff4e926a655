// The pictures of the main window: title strip, button images, flags of the pair label.
#pragma once

#include <windows.h>

#include "widgets/images_win.h"

namespace parlix {

// The gradient of a title strip, as a bitmap the caller owns.
HBITMAP CreateTitleGradientBitmap(COLORREF corner, COLORREF base, int width, int height);
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
// A button's strip of 16x16 images (normal, then disabled); shared for the program's life.
HBITMAP LoadButtonImages(TButtonImage which);
// The pair label: flags, names and, with the key, "F1".."F12".
void PaintPairLabel(HDC dc, int pair, bool with_key);

}  // namespace parlix

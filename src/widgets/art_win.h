// Pictures the windows share: drawing a bitmap, and the buttons' image strips.
#pragma once

#include <windows.h>

#include "widgets/images_win.h"

namespace parlix {

// Draws the whole bitmap with its top left at x, y; nothing for a null bitmap.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
// A button's strip of 16x16 images (normal, then disabled); shared for the program's life.
HBITMAP LoadButtonImages(TButtonImage which);

}  // namespace parlix

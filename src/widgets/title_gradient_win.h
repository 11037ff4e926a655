// Paints the title strips' gradient into a bitmap.
#pragma once

#include <windows.h>

#include "platform/handles_win.h"

namespace parlix {

// A new 24-bit bitmap of width x height holding the gradient from the corner colour at the
// top left to the base colour (both COLORREF, 0xBBGGRR). Empty when a side is not positive
// or the bitmap cannot be made.
UniqueGdiObject PaintTitleGradient(COLORREF corner, COLORREF base, int width, int height);

}  // namespace parlix

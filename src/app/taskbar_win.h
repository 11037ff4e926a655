// Window placement above the taskbar.
#pragma once

#include <windows.h>

namespace parlix {

// The top edge of the taskbar in screen pixels; the screen height when there is no
// usable taskbar window.
int TaskbarTop();

// Puts a window 15 pixels above the taskbar and 25 pixels from the screen's right edge.
void PlaceAboveTaskbar(HWND window);

}  // namespace parlix

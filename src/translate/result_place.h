// Where the result window goes, relative to the main window or, when that is in the tray,
// to the taskbar.
#pragma once

namespace parlix {

struct TWindowPos {
  int left;
  int top;
};

// The top left corner of the monitor the main window is on: (0, 0) for the primary one, left
// of or above it for a monitor there.
struct TScreenOrigin {
  int left = 0;
  int top = 0;
};

// Left of the main window with the tops aligned; above the taskbar at the right edge when
// the main window is in the tray; never above or left of the main window's monitor (10 in
// instead).
TWindowPos ResultWindowPosition(bool main_in_tray, int main_left, int main_top, int memo_left, int width, int height,
                                int screen_width, int taskbar_top, TScreenOrigin monitor = {});

}  // namespace parlix

#include "translate/result_place.h"

namespace parlix {

TWindowPos ResultWindowPosition(bool main_in_tray, int main_left, int main_top, int memo_left, int width, int height,
                                int screen_width, int taskbar_top, TScreenOrigin monitor) {
  TWindowPos pos{};
  if (main_in_tray) {
    // The taskbar and its notification area are on the primary monitor.
    pos.top = taskbar_top - height - 50;
    pos.left = screen_width - width - 50;
    monitor = {};
  } else {
    pos.top = main_top;
    pos.left = main_left + memo_left - width - 10;
  }
  // Measured from the main window's monitor, not the primary one: a main window on a monitor
  // left of the primary keeps its result window beside it instead of sending it across.
  if (pos.top < monitor.top) pos.top = monitor.top + 10;
  if (pos.left < monitor.left) pos.left = monitor.left + 10;
  return pos;
}

}  // namespace parlix

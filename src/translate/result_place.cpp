#include "translate/result_place.h"

namespace parlix {

TWindowPos ResultWindowPosition(bool main_in_tray, int main_left, int main_top, int memo_left, int width, int height,
                                int screen_width, int taskbar_top) {
  TWindowPos pos{};
  if (main_in_tray) {
    pos.top = taskbar_top - height - 50;
    pos.left = screen_width - width - 50;
  } else {
    pos.top = main_top;
    pos.left = main_left + memo_left - width - 10;
  }
  if (pos.top < 0) pos.top = 10;
  if (pos.left < 0) pos.left = 10;
  return pos;
}

}  // namespace parlix

#include "translate/lang_place.h"

namespace parlix {

namespace {
constexpr int kOverlap = 4;
constexpr int kScreenMargin = 10;
}  // namespace

TWindowPos LanguageWindowPosition(int main_left, int main_top, int button_left, int button_top, int width,
                                  int height, TScreenOrigin monitor) {
  TWindowPos pos{main_left + button_left - width + kOverlap, main_top + button_top - height + kOverlap};
  if (pos.top < monitor.top) pos.top = monitor.top + kScreenMargin;
  if (pos.left < monitor.left) pos.left = monitor.left + kScreenMargin;
  return pos;
}

}  // namespace parlix

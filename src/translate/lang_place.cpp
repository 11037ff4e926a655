#include "translate/lang_place.h"

namespace parlix {

namespace {
constexpr int kOverlap = 4;
constexpr int kScreenMargin = 10;
}  // namespace

TWindowPos LanguageWindowPosition(int main_left, int main_top, int button_left, int button_top, int width,
                                  int height) {
  TWindowPos pos{main_left + button_left - width + kOverlap, main_top + button_top - height + kOverlap};
  if (pos.top < 0) pos.top = kScreenMargin;
  if (pos.left < 0) pos.left = kScreenMargin;
  return pos;
}

}  // namespace parlix

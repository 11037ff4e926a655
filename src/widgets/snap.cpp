#include "widgets/snap.h"

namespace parlix {

namespace {

bool Between(int low, int value, int high) { return low < value && value < high; }

}  // namespace

TSnapRect SnapToScreenEdges(const TMargin& margin, TSnapRect r, int screen_width, int screen_height, int width,
                            int height) {
  if ((margin.Magnetic && Between(margin.LeftMin, r.left, margin.LeftMax)) ||
      (margin.AlwaysOnScreen && r.left < 0)) {
    r.left = 0;
    r.right = width;
  }
  if ((margin.Magnetic && Between(margin.TopMin, r.top, margin.TopMax)) || (margin.AlwaysOnScreen && r.top < 0)) {
    r.top = 0;
    r.bottom = height;
  }
  if ((margin.Magnetic && Between(screen_height - margin.BottomMax, r.bottom, screen_height - margin.BottomMin)) ||
      (margin.AlwaysOnScreen && r.bottom > screen_height)) {
    r.bottom = screen_height;
    r.top = screen_height - height;
  }
  if ((margin.Magnetic && Between(screen_width - margin.RightMax, r.right, screen_width - margin.RightMin)) ||
      (margin.AlwaysOnScreen && r.right > screen_width)) {
    r.right = screen_width;
    r.left = screen_width - width;
  }
  return r;
}

int AdjustHitTest(const TMargin& margin, int answer) {
  if (margin.Enabled && margin.NoMove && answer == kHitCaption) return kHitNowhere;
  return answer;
}

}  // namespace parlix

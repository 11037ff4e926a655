// Screen-edge snapping of a window being dragged (the tray component's margin settings).
#pragma once

namespace parlix {

// Edges snap when they come strictly between Min and Max of their edge (Magnetic), or when
// they leave the screen (AlwaysOnScreen). Min and Max are measured inwards from the edge.
struct TMargin {
  bool Enabled = false;
  bool Magnetic = false;
  bool NoMove = false;  // the caption can no longer be grabbed to move the window
  int LeftMin = -5;
  int LeftMax = 7;
  int RightMin = -5;
  int RightMax = 7;
  int TopMin = -5;
  int TopMax = 7;
  int BottomMin = -5;
  int BottomMax = 7;
  bool AlwaysOnScreen = false;
};

struct TSnapRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const TSnapRect&, const TSnapRect&) = default;
};

// The proposed window rectangle after snapping to a screen of screen_width x screen_height,
// for a window of width x height. Left, top, bottom and right are tested in that order, each
// on the rectangle the previous test left. Does not look at Enabled.
TSnapRect SnapToScreenEdges(const TMargin& margin, TSnapRect proposed, int screen_width, int screen_height,
                            int width, int height);

// Hit-test values of WM_NCHITTEST used here.
inline constexpr int kHitNowhere = 0;
inline constexpr int kHitCaption = 2;

// The hit-test answer after the margin's NoMove rule: a caption becomes nowhere.
int AdjustHitTest(const TMargin& margin, int answer);

}  // namespace parlix

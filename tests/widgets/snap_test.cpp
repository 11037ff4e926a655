#include <gtest/gtest.h>

#include <tuple>

#include "widgets/snap.h"

namespace parlix {
namespace {

constexpr int kScreenW = 1280;
constexpr int kScreenH = 800;
constexpr int kW = 250;
constexpr int kH = 230;

TSnapRect At(int left, int top) { return TSnapRect{left, top, left + kW, top + kH}; }

TMargin Magnetic() { return {.Enabled = true, .Magnetic = true}; }

TSnapRect Snap(const TMargin& m, TSnapRect r) { return SnapToScreenEdges(m, r, kScreenW, kScreenH, kW, kH); }

TEST(SnapDefaults, AsThePublishedDefaults) {
  const TMargin m;
  EXPECT_EQ(std::tie(m.Enabled, m.Magnetic, m.NoMove, m.AlwaysOnScreen), std::tuple(false, false, false, false));
  EXPECT_EQ(std::tie(m.LeftMin, m.LeftMax, m.RightMin, m.RightMax, m.TopMin, m.TopMax, m.BottomMin, m.BottomMax),
            std::tuple(-5, 7, -5, 7, -5, 7, -5, 7));
}

// With the defaults an edge within -4..6 pixels of the screen's edge jumps onto it; -5 and 7
// are outside the open interval and stay.
TEST(SnapMagnetic, LeftEdgeWindow) {
  const TMargin m = Magnetic();
  for (int x = -4; x <= 6; ++x) EXPECT_EQ(Snap(m, At(x, 300)), At(0, 300)) << x;
  EXPECT_EQ(Snap(m, At(7, 300)), At(7, 300));
  EXPECT_EQ(Snap(m, At(-5, 300)), At(-5, 300));
  EXPECT_EQ(Snap(m, At(400, 300)), At(400, 300));
}

TEST(SnapMagnetic, TopEdgeWindow) {
  const TMargin m = Magnetic();
  for (int y = -4; y <= 6; ++y) EXPECT_EQ(Snap(m, At(500, y)), At(500, 0)) << y;
  EXPECT_EQ(Snap(m, At(500, 7)), At(500, 7));
  EXPECT_EQ(Snap(m, At(500, -5)), At(500, -5));
}

// The right edge snaps when it lies in SW-6..SW+4, the bottom edge in SH-6..SH+4.
TEST(SnapMagnetic, RightAndBottomEdgeWindows) {
  const TMargin m = Magnetic();
  for (int right = kScreenW - 6; right <= kScreenW + 4; ++right)
    EXPECT_EQ(Snap(m, At(right - kW, 300)), At(kScreenW - kW, 300)) << right;
  EXPECT_EQ(Snap(m, At(kScreenW - 7 - kW, 300)), At(kScreenW - 7 - kW, 300));
  EXPECT_EQ(Snap(m, At(kScreenW + 5 - kW, 300)), At(kScreenW + 5 - kW, 300));
  for (int bottom = kScreenH - 6; bottom <= kScreenH + 4; ++bottom)
    EXPECT_EQ(Snap(m, At(500, bottom - kH)), At(500, kScreenH - kH)) << bottom;
  EXPECT_EQ(Snap(m, At(500, kScreenH - 7 - kH)), At(500, kScreenH - 7 - kH));
  EXPECT_EQ(Snap(m, At(500, kScreenH + 5 - kH)), At(500, kScreenH + 5 - kH));
}

TEST(SnapMagnetic, CornerSnapsBothWays) {
  const TMargin m = Magnetic();
  EXPECT_EQ(Snap(m, At(3, -2)), At(0, 0));
  EXPECT_EQ(Snap(m, At(kScreenW - kW + 2, kScreenH - kH - 3)), At(kScreenW - kW, kScreenH - kH));
}

TEST(SnapMagnetic, OwnMarginsPerEdge) {
  TMargin m = Magnetic();
  m.LeftMin = 0;
  m.LeftMax = 20;
  EXPECT_EQ(Snap(m, At(19, 300)), At(0, 300));
  EXPECT_EQ(Snap(m, At(0, 300)), At(0, 300));    // already there
  EXPECT_EQ(Snap(m, At(-1, 300)), At(-1, 300));  // outside on this side
  m.RightMin = 10;
  m.RightMax = 30;
  // Right edge inside (SW-30, SW-10) only.
  EXPECT_EQ(Snap(m, At(kScreenW - 15 - kW, 300)), At(kScreenW - kW, 300));
  EXPECT_EQ(Snap(m, At(kScreenW - 5 - kW, 300)), At(kScreenW - 5 - kW, 300));
}

// The rectangle takes the window's current size, whatever size the proposal had.
TEST(SnapMagnetic, SizeComesFromTheWindow) {
  const TMargin m = Magnetic();
  const TSnapRect odd{3, 300, 3 + 100, 300 + 40};
  EXPECT_EQ(Snap(m, odd), (TSnapRect{0, 300, kW, 340}));
}

TEST(SnapAlwaysOnScreen, PullsBackWhateverTheDistance) {
  const TMargin m{.Enabled = true, .AlwaysOnScreen = true};
  EXPECT_EQ(Snap(m, At(-300, 200)), At(0, 200));
  EXPECT_EQ(Snap(m, At(200, -300)), At(200, 0));
  EXPECT_EQ(Snap(m, At(kScreenW, 200)), At(kScreenW - kW, 200));
  EXPECT_EQ(Snap(m, At(200, kScreenH + 10)), At(200, kScreenH - kH));
  // Inside the screen, even close to an edge, nothing moves when not magnetic.
  EXPECT_EQ(Snap(m, At(3, 3)), At(3, 3));
  EXPECT_EQ(Snap(m, At(0, 0)), At(0, 0));
  EXPECT_EQ(Snap(m, At(kScreenW - kW, kScreenH - kH)), At(kScreenW - kW, kScreenH - kH));
}

// Bottom runs after top and right after left, so a window larger than the screen ends up
// flush with the bottom and right edges.
TEST(SnapAlwaysOnScreen, LaterEdgesWinForOversizedWindows) {
  const TMargin m{.AlwaysOnScreen = true};
  const int w = 1400;
  const int h = 900;
  const TSnapRect r = SnapToScreenEdges(m, TSnapRect{-10, -10, -10 + w, -10 + h}, kScreenW, kScreenH, w, h);
  EXPECT_EQ(r, (TSnapRect{kScreenW - w, kScreenH - h, kScreenW, kScreenH}));
}

TEST(SnapOff, NeitherRuleNothingMoves) {
  const TMargin m{.Enabled = true};
  for (TSnapRect r : {At(3, 3), At(-300, -300), At(kScreenW, kScreenH)}) EXPECT_EQ(Snap(m, r), r);
}

TEST(SnapHitTest, NoMoveTurnsTheCaptionIntoNowhere) {
  TMargin m;
  EXPECT_EQ(AdjustHitTest(m, kHitCaption), kHitCaption);
  m.NoMove = true;
  EXPECT_EQ(AdjustHitTest(m, kHitCaption), kHitCaption);  // not enabled
  m.Enabled = true;
  EXPECT_EQ(AdjustHitTest(m, kHitCaption), kHitNowhere);
  EXPECT_EQ(AdjustHitTest(m, 1), 1);    // HTCLIENT stays
  EXPECT_EQ(AdjustHitTest(m, 17), 17);  // HTBOTTOMRIGHT stays
  m.NoMove = false;
  EXPECT_EQ(AdjustHitTest(m, kHitCaption), kHitCaption);
}

}  // namespace
}  // namespace parlix

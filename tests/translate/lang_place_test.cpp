#include <gtest/gtest.h>

#include "translate/lang_place.h"

namespace parlix {
namespace {

// The main window's language button sits at 11, 122 inside its centre panel; the language
// window is 200 x 280.
constexpr int kButtonLeft = 11;
constexpr int kButtonTop = 122;
constexpr int kWidth = 200;
constexpr int kHeight = 280;

TEST(LanguageWindowPosition, LowerRightCornerJustPastTheButtonOffset) {
  const TWindowPos pos = LanguageWindowPosition(900, 500, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(pos.left, 715);
  EXPECT_EQ(pos.top, 346);
  // The corner lands 15 right of and 126 below the main window's top left corner.
  EXPECT_EQ(pos.left + kWidth - 900, 15);
  EXPECT_EQ(pos.top + kHeight - 500, 126);
}

TEST(LanguageWindowPosition, OtherButtonOffsetsAndSizesMoveTheCornerWithThem) {
  const TWindowPos pos = LanguageWindowPosition(600, 600, 40, 10, 100, 50);
  EXPECT_EQ(pos.left, 544);
  EXPECT_EQ(pos.top, 564);
}

TEST(LanguageWindowPosition, NearTheTopLeftCornerStartsAtTen) {
  const TWindowPos corner = LanguageWindowPosition(0, 0, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(corner.left, 10);
  EXPECT_EQ(corner.top, 10);

  // Each side is mended on its own.
  const TWindowPos only_top = LanguageWindowPosition(800, 20, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(only_top.left, 615);
  EXPECT_EQ(only_top.top, 10);
  const TWindowPos only_left = LanguageWindowPosition(20, 700, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(only_left.left, 10);
  EXPECT_EQ(only_left.top, 546);
}

TEST(LanguageWindowPosition, ZeroIsOnTheScreenAndKept) {
  // 185 + 11 - 200 + 4 == 0 and 154 + 122 - 280 + 4 == 0: exactly at the edge is not below it.
  const TWindowPos edge = LanguageWindowPosition(185, 154, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(edge.left, 0);
  EXPECT_EQ(edge.top, 0);
  const TWindowPos one_past = LanguageWindowPosition(184, 153, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(one_past.left, 10);
  EXPECT_EQ(one_past.top, 10);
}

}  // namespace
}  // namespace parlix

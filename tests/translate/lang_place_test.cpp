#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "translate/lang_place.h"

namespace parlix {
namespace {

// The main window's language button sits at 11, 122 inside its centre panel; the language
// window is 200 x 280.
constexpr int kButtonLeft = 11;
constexpr int kButtonTop = 122;
constexpr int kWidth = 200;
constexpr int kHeight = 280;

struct TScreen {
  int width, height;
};
constexpr TScreen kScreens[] = {{640, 480}, {800, 600}, {1280, 800}, {1920, 1080}, {3840, 2160}};

struct TOffset {
  int x, y;
};

// How far the window's lower right corner reaches past the button's top left corner.
TOffset CornerPastButton(int main_left, int main_top, int button_left, int button_top, int width, int height) {
  const TWindowPos pos = LanguageWindowPosition(main_left, main_top, button_left, button_top, width, height);
  return TOffset{pos.left + width - (main_left + button_left), pos.top + height - (main_top + button_top)};
}

TEST(LanguageWindowPosition, LowerRightCornerJustPastTheButtonOffset) {
  for (const TScreen& screen : kScreens) {
    SCOPED_TRACE(screen.width);
    // Where the program puts its main window: the lower right of the screen.
    const int main_left = screen.width - 275, main_top = screen.height - 300;
    const TWindowPos pos = LanguageWindowPosition(main_left, main_top, kButtonLeft, kButtonTop, kWidth, kHeight);
    // Above and left of the button, overlapping its corner by a few pixels, so it reads
    // as coming out of it.
    const TOffset past = CornerPastButton(main_left, main_top, kButtonLeft, kButtonTop, kWidth, kHeight);
    EXPECT_GT(past.x, 0);
    EXPECT_LE(past.x, 5);
    EXPECT_EQ(past.y, past.x);
    EXPECT_GE(pos.left, 0);
    EXPECT_GE(pos.top, 0);
    EXPECT_LE(pos.left + kWidth, screen.width);
    EXPECT_LE(pos.top + kHeight, screen.height);
  }
}

TEST(LanguageWindowPosition, OtherButtonOffsetsAndSizesMoveTheCornerWithThem) {
  const TOffset usual = CornerPastButton(900, 500, kButtonLeft, kButtonTop, kWidth, kHeight);
  const struct {
    int button_left, button_top, width, height;
  } layouts[] = {{40, 10, 100, 50}, {0, 0, 300, 300}, {120, 200, 150, 90}};
  for (const auto& l : layouts) {
    const TOffset past = CornerPastButton(600, 600, l.button_left, l.button_top, l.width, l.height);
    EXPECT_EQ(past.x, usual.x) << l.button_left;
    EXPECT_EQ(past.y, usual.y) << l.button_top;
  }
}

TEST(LanguageWindowPosition, NearTheTopLeftCornerStartsAtTen) {
  const TWindowPos corner = LanguageWindowPosition(0, 0, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(std::tie(corner.left, corner.top), std::tuple(10, 10));

  // Each side is mended on its own: the other stays where it would be anyway.
  const TWindowPos free = LanguageWindowPosition(800, 700, kButtonLeft, kButtonTop, kWidth, kHeight);
  const TWindowPos only_top = LanguageWindowPosition(800, 20, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(std::tie(only_top.left, only_top.top), std::tuple(free.left, 10));
  const TWindowPos only_left = LanguageWindowPosition(20, 700, kButtonLeft, kButtonTop, kWidth, kHeight);
  EXPECT_EQ(std::tie(only_left.left, only_left.top), std::tuple(10, free.top));
}

TEST(LanguageWindowPosition, ZeroIsOnTheScreenAndKept) {
  // Moving the main window left and up one pixel at a time, the window follows it to the
  // very edge of the screen before it is put ten pixels in: a place that starts exactly at
  // the edge is on the screen.
  int lowest_left = 10000, lowest_top = 10000;
  for (int main = 400; main >= 0; --main) {
    const TWindowPos pos = LanguageWindowPosition(main, main, kButtonLeft, kButtonTop, kWidth, kHeight);
    const TWindowPos next = LanguageWindowPosition(main - 1, main - 1, kButtonLeft, kButtonTop, kWidth, kHeight);
    if (next.left != pos.left - 1) lowest_left = std::min(lowest_left, pos.left);
    if (next.top != pos.top - 1) lowest_top = std::min(lowest_top, pos.top);
  }
  EXPECT_EQ(lowest_left, 0);
  EXPECT_EQ(lowest_top, 0);
  EXPECT_EQ(LanguageWindowPosition(0, 0, kButtonLeft, kButtonTop, kWidth, kHeight).left, 10);
}

}  // namespace
}  // namespace parlix

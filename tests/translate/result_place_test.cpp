#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "translate/lang_place.h"
#include "translate/result_place.h"

namespace parlix {
namespace {

constexpr int kWidth = 250, kHeight = 170;  // the result window
constexpr int kMainWidth = 250, kMemoLeft = 2;

struct TScreen {
  int width, taskbar_top;
};
// Small, usual and large screens, with taskbars of different heights.
constexpr TScreen kScreens[] = {{640, 450}, {800, 570}, {1280, 780}, {1920, 1040}, {3840, 2100}};

void ExpectOnScreen(const TWindowPos& pos, const TScreen& screen) {
  EXPECT_GE(pos.left, 0);
  EXPECT_GE(pos.top, 0);
  EXPECT_LE(pos.left + kWidth, screen.width);
  EXPECT_LE(pos.top + kHeight, screen.taskbar_top);
}

TEST(ResultWindowPosition, LeftOfTheMainWindowWithTopsAligned) {
  for (const TScreen& screen : kScreens) {
    // Where the program puts its main window: the right edge, above the taskbar.
    const int main_left = screen.width - kMainWidth - 25, main_top = screen.taskbar_top - 230 - 15;
    SCOPED_TRACE(screen.width);
    const TWindowPos pos =
        ResultWindowPosition(false, main_left, main_top, kMemoLeft, kWidth, kHeight, screen.width, screen.taskbar_top);
    EXPECT_EQ(pos.top, main_top);
    // Beside it, not over it, and close enough to read as belonging to it.
    EXPECT_LE(pos.left + kWidth, main_left);
    EXPECT_LE(main_left - (pos.left + kWidth), 10);
    ExpectOnScreen(pos, screen);
    // Moved with the main window, it keeps its place beside it.
    const TWindowPos higher = ResultWindowPosition(false, main_left - 100, main_top - 100, kMemoLeft, kWidth, kHeight,
                                                   screen.width, screen.taskbar_top);
    EXPECT_EQ(std::tie(higher.left, higher.top), std::tuple(pos.left - 100, pos.top - 100));
  }
}

TEST(ResultWindowPosition, NearTheLeftEdgeStartsAtTen) {
  for (const TScreen& screen : kScreens) {
    SCOPED_TRACE(screen.width);
    // No room left of the main window: the window starts ten pixels in, tops still aligned.
    const TWindowPos pos = ResultWindowPosition(false, 100, 300, kMemoLeft, kWidth, kHeight, screen.width,
                                                screen.taskbar_top);
    EXPECT_EQ(std::tie(pos.left, pos.top), std::tuple(10, 300));
    // A main window partly above the screen: the result window starts ten pixels down.
    const TWindowPos above = ResultWindowPosition(false, 100, -40, kMemoLeft, kWidth, kHeight, screen.width,
                                                  screen.taskbar_top);
    EXPECT_EQ(above.top, 10);
    ExpectOnScreen(above, screen);
  }
}

TEST(ResultWindowPosition, InTheTrayFiftyPixelsFromEdgeAndTaskbar) {
  for (const TScreen& screen : kScreens) {
    SCOPED_TRACE(screen.width);
    // Wherever the hidden main window was left, the window stands by the notification area.
    for (const int main_left : {5, screen.width / 2, screen.width - 10}) {
      const TWindowPos pos =
          ResultWindowPosition(true, main_left, 5, kMemoLeft, kWidth, kHeight, screen.width, screen.taskbar_top);
      EXPECT_EQ(screen.width - (pos.left + kWidth), 50);
      EXPECT_EQ(screen.taskbar_top - (pos.top + kHeight), 50);
      ExpectOnScreen(pos, screen);
    }
  }
}

// A main window moved onto a monitor left of or above the primary one: its windows stay on
// that monitor beside it, and only that monitor's edge pulls them in.
TEST(ResultWindowPosition, OnAMonitorLeftOfOrAboveThePrimaryTheWindowsStayBesideTheMain) {
  for (const TScreenOrigin monitor : {TScreenOrigin{-1920, 0}, TScreenOrigin{0, -1080}, TScreenOrigin{-1280, -200}}) {
    SCOPED_TRACE(std::to_string(monitor.left) + "," + std::to_string(monitor.top));
    const int main_left = monitor.left + 900, main_top = monitor.top + 500;
    const TWindowPos result =
        ResultWindowPosition(false, main_left, main_top, kMemoLeft, kWidth, kHeight, 1920, 1040, monitor);
    EXPECT_EQ(std::tie(result.left, result.top), std::tuple(main_left + kMemoLeft - kWidth - 10, main_top));
    const TWindowPos languages = LanguageWindowPosition(main_left, main_top, 11, 122, 200, 280, monitor);
    EXPECT_EQ(std::tie(languages.left, languages.top), std::tuple(main_left + 11 - 200 + 4, main_top + 122 - 280 + 4));
    // At that monitor's own top left corner, both start 10 pixels in from it.
    const TWindowPos cornered =
        ResultWindowPosition(false, monitor.left, monitor.top - 20, kMemoLeft, kWidth, kHeight, 1920, 1040, monitor);
    const TWindowPos cornered_languages = LanguageWindowPosition(monitor.left, monitor.top, 11, 122, 200, 280, monitor);
    for (const TWindowPos& pos : {cornered, cornered_languages})
      EXPECT_EQ(std::tie(pos.left, pos.top), std::tuple(monitor.left + 10, monitor.top + 10));
  }
  // In the tray the window goes by the notification area, on the primary monitor.
  const TWindowPos tray = ResultWindowPosition(true, -1000, 300, kMemoLeft, kWidth, kHeight, 1920, 1040, {-1920, 0});
  EXPECT_EQ(tray.left, 1920 - kWidth - 50);
}

}  // namespace
}  // namespace parlix

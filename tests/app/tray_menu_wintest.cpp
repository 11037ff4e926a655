// The tray menu as the user meets it: opened by the tray icon's right button, drawn by the
// main window's menu renderer, worked with the keyboard, and read back from the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "app/main_form_win.h"
#include "support/driver_win.h"
#include "support/main_form_fixture_win.h"
#include "support/screen_win.h"
#include "widgets/tray_vis_win.h"
#include "widgets/xp_menu.h"

namespace parlix {
namespace {

using test::TScreenShot;
using test::WaitUntil;
using namespace std::chrono_literals;

enum : UINT { kPosRestore, kPosStayOnTop, kPosMonitor, kPosGoogle, kPosConfiguration, kPosExit, kPosAbout };

class TrayMenuTest : public test::MainFormFixture {
 protected:
  void SetUp() override {
    MainFormFixture::SetUp();
    ASSERT_NE(form_->XPMenu1(), nullptr);
    SetCursorPos(700, 200);
  }
  // The right button released over the tray icon; the menu runs inside this call.
  bool OpenFromTray(const std::function<void(HWND)>& while_open) {
    const int before = form_->XPMenu1()->ItemsDrawn();
    const int items = GetMenuItemCount(form_->UtilsPopup());
    return test::WhileMenuOpen(
        [&] { SendMessageA(form_->Handle(), TrayCallbackMessage(), 0, WM_RBUTTONUP); },
        [&] { return form_->XPMenu1()->ItemsDrawn() - before >= items; }, while_open);
  }
  bool Highlighted(UINT position) const {
    return (GetMenuState(form_->UtilsPopup(), position, MF_BYPOSITION) & MF_HILITE) != 0;
  }
  RECT ItemRect(UINT position) const {
    RECT r{};
    GetMenuItemRect(nullptr, form_->UtilsPopup(), position, &r);
    return r;
  }
};

TEST_F(TrayMenuTest, DrawnByTheRendererAndWorkedWithTheKeyboard) {
  SendMessageA(form_->Handle(), WM_COMMAND, kStayontopBt, 0);
  ASSERT_TRUE(form_->StayOnTopChecked());
  std::unique_ptr<TScreenShot> shot;
  RECT items[7] = {};
  bool selected = false, reselected = false;
  ASSERT_TRUE(OpenFromTray([&](HWND menu) {
    // Down five times: the first press selects "Restore Parlix", the fifth "Configuration...".
    for (int i = 0; i < 5; ++i) test::PressKey(VK_DOWN);
    selected = WaitUntil([&] { return Highlighted(kPosConfiguration); }, 5s);
    Sleep(300);
    for (UINT pos = 0; pos < 7; ++pos) items[pos] = ItemRect(pos);
    shot = std::make_unique<TScreenShot>(test::WindowRect(menu));
    // Up to "Stay on-top" and Enter: the menu closes and the command runs.
    for (int i = 0; i < 3; ++i) test::PressKey(VK_UP);
    reselected = WaitUntil([&] { return Highlighted(kPosStayOnTop); }, 5s);
    test::PressKey(VK_RETURN);
    WaitUntil([&] { return !IsWindowVisible(menu); }, 5s);
  }));
  ASSERT_TRUE(selected);
  ASSERT_TRUE(reselected);
  ASSERT_TRUE(shot && shot->Ok());
  // Chosen with the keyboard, "Stay on-top" acted as it always has.
  EXPECT_FALSE(form_->StayOnTopChecked());
  EXPECT_FALSE(GetWindowLongA(form_->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);

  const auto at = [&](UINT pos, int dx, int dy) {
    const RECT& r = items[pos];
    return shot->Pixel(dx >= 0 ? r.left + dx : r.right + dx, dy >= 0 ? r.top + dy : r.bottom + dy);
  };
  if (const char* path = std::getenv("PARLIX_MENU_SHOT")) {
    EXPECT_TRUE(shot->SaveBmp(path));
  }
  // Seven items of the same height, each above its 16-pixel image.
  for (UINT pos = 0; pos < 7; ++pos) {
    EXPECT_EQ(items[pos].bottom - items[pos].top, items[0].bottom - items[0].top) << pos;
    EXPECT_GE(items[pos].bottom - items[pos].top, 20) << pos;
  }
  if (test::ScreenBitsPerPixel() < 24) GTEST_SKIP() << "exact colours need a true-colour display";

  // The icon column's gradient, on the second row of "Exit": v = 1 at the left edge, 4 next
  // to it, 85 at 28 pixels in, and the cap of 96 in the text area.
  EXPECT_EQ(at(kPosExit, 0, 1), 0xC1C1C1u);
  EXPECT_EQ(at(kPosExit, 1, 1), Lighten(clSilver, 4));
  EXPECT_EQ(at(kPosExit, 28, 1), 0xF6F6F6u);
  EXPECT_EQ(at(kPosExit, 60, 1), 0xFCFCFCu);

  // "Configuration..." selected: framed in 0xFFAC80 on every side, filled with 0xF5DBAF.
  EXPECT_EQ(at(kPosConfiguration, 60, 1), 0xFFAC80u);
  EXPECT_EQ(at(kPosConfiguration, 60, -1), 0xFFAC80u);
  EXPECT_EQ(at(kPosConfiguration, 0, 8), 0xFFAC80u);
  EXPECT_EQ(at(kPosConfiguration, -1, 8), 0xFFAC80u);
  EXPECT_EQ(at(kPosConfiguration, -4, 3), 0xF5DBAFu);
  EXPECT_EQ(at(kPosConfiguration, 30, 2), 0xF5DBAFu);
  // Its first row still belongs to the gradient, not the frame.
  EXPECT_EQ(at(kPosConfiguration, 60, 0), 0xFCFCFCu);

  // The checked "Stay on-top": its image in a box outlined in 0xFFAC80 and filled with the
  // selection colour lightened by 75.
  EXPECT_EQ(at(kPosStayOnTop, 1, 10), 0xFFAC80u);
  EXPECT_EQ(at(kPosStayOnTop, 20, 10), 0xFFAC80u);
  EXPECT_EQ(at(kPosStayOnTop, 10, 2), 0xFFAC80u);
  EXPECT_EQ(at(kPosStayOnTop, 2, 3), Lighten(0xF5DBAF, 75));
  // The unchecked "Translate from clipboard" has no box: the gradient there.
  EXPECT_EQ(at(kPosMonitor, 1, 10), Lighten(clSilver, 4));

  // The default item's text gets four extra passes, each in a darkened shade of the gradient
  // under it: shades with green two steps above red and blue, which plain black text on the
  // neutral greys never makes.
  const auto darkened_shades = [&](UINT pos) {
    int count = 0;
    const RECT& r = items[pos];
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left + 29; x < r.right - 4; ++x) {
        const COLORREF c = shot->Pixel(x, y);
        if (GetRValue(c) == GetBValue(c) && GetGValue(c) == GetRValue(c) + 2) ++count;
      }
    return count;
  };
  EXPECT_GT(darkened_shades(kPosRestore), 20);
  EXPECT_EQ(darkened_shades(kPosGoogle), 0);
  EXPECT_EQ(darkened_shades(kPosExit), 0);
}

TEST_F(TrayMenuTest, ProductsItemAddedLaterIsDrawnLikeTheOthers) {
  ServiceInfo.ProdUrl = "http://127.0.0.1:1/products.htm";
  SendMessageA(form_->Handle(), WM_USER + 2, 0, 0);  // a service file applied: the item is added
  ASSERT_EQ(GetMenuItemCount(form_->UtilsPopup()), 8);
  RECT added{}, exit{};
  ASSERT_TRUE(OpenFromTray([&](HWND) {
    added = ItemRect(7);
    exit = ItemRect(kPosExit);
  }));
  EXPECT_TRUE(form_->XPMenu1()->Hooked(form_->UtilsPopup(), 7));
  EXPECT_EQ(added.bottom - added.top, exit.bottom - exit.top);
}

TEST_F(TrayMenuTest, GdiObjectsStayFlatAcrossAHundredOpenings) {
  ASSERT_TRUE(OpenFromTray([](HWND) {}));
  const int after_first = test::GdiObjectCount();
  ASSERT_GT(after_first, 0);
  int opened = 1;
  for (; opened < 100; ++opened)
    if (!OpenFromTray([](HWND) {})) break;
  EXPECT_EQ(opened, 100);
  const int after_all = test::GdiObjectCount();
  std::printf("GDI objects after the first opening: %d, after %d: %d\n", after_first, opened, after_all);
  EXPECT_EQ(after_all, after_first);
}

}  // namespace
}  // namespace parlix

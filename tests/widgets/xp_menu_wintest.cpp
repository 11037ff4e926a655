// The menu renderer on a menu of every kind of item, opened for real and read back from the
// screen. Run on a deep display and on a shallow one: the test reads the screen's depth and
// expects the gradient and the faded images only where the renderer must draw them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "app/xp_menu1_win.h"
#include "support/driver_win.h"
#include "support/screen_win.h"
#include "support/test_window_win.h"
#include "widgets/images_win.h"
#include "widgets/xp_menu_win.h"

namespace parlix {
namespace {

using test::TScreenShot;
using test::WaitUntil;
using namespace std::chrono_literals;

enum : UINT { kPlain = 1, kCheckedImage, kTick, kFaded, kDisabled, kChild, kLater };
// Positions in the menu.
enum : UINT { kPosPlain, kPosCheckedImage, kPosSeparator, kPosTick, kPosFaded, kPosDisabled, kPosSub };

TXPMenu* g_renderer = nullptr;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (g_renderer != nullptr) {
    if (msg == WM_MEASUREITEM && g_renderer->MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lparam))) return TRUE;
    if (msg == WM_DRAWITEM && g_renderer->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam))) return TRUE;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

// Exact on a true-colour screen; within a step of a 5- or 6-bit channel on a 16-bit one; on
// a palette screen, the palette's nearest colour.
bool Close(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
COLORREF OnScreen(COLORREF color) {
  HDC screen = GetDC(nullptr);
  const COLORREF nearest = GetNearestColor(screen, color);
  ReleaseDC(nullptr, screen);
  return nearest;
}
#define EXPECT_COLOR(actual, expected)                                                                        \
  EXPECT_PRED3(Close, actual, OnScreen(static_cast<COLORREF>(expected)), tolerance_)                          \
      << std::hex << "got 0x" << (actual) << " want 0x" << OnScreen(static_cast<COLORREF>(expected))

class XPMenuScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = test::MakeTestWindow({.class_name = "XPMenuTestOwner", .proc = OwnerProc, .caption = "owner",
                                   .style = WS_POPUP | WS_VISIBLE, .width = 40, .height = 40});
    ASSERT_NE(owner_, nullptr);
    images_ = LoadMenuImages();
    ASSERT_TRUE(images_);
    menu_ = CreatePopupMenu();
    sub_ = CreatePopupMenu();
    AppendMenuA(sub_, MF_STRING, kChild, "Child");
    AppendMenuA(menu_, MF_STRING, kPlain, "Plain");
    AppendMenuA(menu_, MF_STRING | MF_CHECKED, kCheckedImage, "Checked with image");
    AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu_, MF_STRING | MF_CHECKED, kTick, "Checked without image");
    AppendMenuA(menu_, MF_STRING, kFaded, "Faded");
    AppendMenuA(menu_, MF_STRING | MF_GRAYED, kDisabled, "Disabled");
    AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(sub_), "Submenu");
    SetMenuItemImageIndex(menu_, kPlain, kMenuImageRestore);
    SetMenuItemImageIndex(menu_, kCheckedImage, kMenuImageExit);
    SetMenuItemImageIndex(menu_, kFaded, kMenuImageExit);
    SetMenuItemImageIndex(menu_, kDisabled, kMenuImageConfiguration);
    SetMenuItemImageIndex(sub_, kChild, kMenuImageAbout);
    renderer_ = std::make_unique<TXPMenu>(owner_);
    SetUpXPMenu1(*renderer_);
    renderer_->AddMenu(menu_, images_.Get());
    renderer_->SetActive(true);
    g_renderer = renderer_.get();
    const char* expected = std::getenv("PARLIX_EXPECT_SCREEN_BITS");
    bits_ = test::ScreenBitsPerPixel();
    if (expected != nullptr) {
      ASSERT_EQ(bits_, std::atoi(expected)) << "the display is not what this run is for";
    }
    deep_ = bits_ > 15;
    tolerance_ = bits_ >= 24 ? 0 : 8;
  }
  void TearDown() override {
    g_renderer = nullptr;
    renderer_.reset();
    if (menu_ != nullptr) DestroyMenu(menu_);
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  bool OwnerDrawn(HMENU menu, UINT position) const {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    return (info.fType & MFT_OWNERDRAW) != 0;
  }
  // Opens the menu at (200, 150) and runs check with the menu open, every item drawn.
  bool Open(const std::function<void(HWND)>& check) {
    const int before = renderer_->ItemsDrawn();
    const int items = GetMenuItemCount(menu_);
    return test::WhileMenuOpen(
        [&] {
          SetForegroundWindow(owner_);
          TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, 200, 150, 0, owner_, nullptr);
        },
        [&] { return renderer_->ItemsDrawn() - before >= items; }, check);
  }
  // In screen coordinates while the menu is open (a popup's rectangles are its window's).
  RECT ItemRect(UINT position) const {
    RECT r{};
    GetMenuItemRect(nullptr, menu_, position, &r);
    return r;
  }
  // The image as the renderer paints it before fading, from the image list on the column colour.
  COLORREF ImagePixel(int index, int x, int y) const {
    test::TDibCanvas canvas(16, 16, 0xC0C0C0);
    ImageList_DrawEx(images_.Get(), index, canvas.Dc(), 0, 0, 16, 16, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    return canvas.Pixel(x, y);
  }
  // A pixel of the image that is not the column colour, as (x, y).
  POINT OpaquePixel(int index) const {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if (ImagePixel(index, x, y) != 0xC0C0C0) return {x, y};
    return {-1, -1};
  }

  HWND owner_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU sub_ = nullptr;
  UniqueImageList images_;
  std::unique_ptr<TXPMenu> renderer_;
  int bits_ = 0;
  bool deep_ = true;
  int tolerance_ = 0;
};

TEST_F(XPMenuScreen, AttachesAtEveryDepthDetachesAndLeavesOthersItemsAlone) {
  for (UINT pos = 0; pos < 7; ++pos) EXPECT_TRUE(renderer_->Hooked(menu_, pos)) << pos;
  EXPECT_TRUE(renderer_->Hooked(sub_, 0));
  // Still read back by their captions.
  char text[64] = {};
  GetMenuStringA(menu_, kPosFaded, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ(text, "Faded");

  renderer_->SetActive(false);
  for (UINT pos = 0; pos < 7; ++pos) EXPECT_FALSE(OwnerDrawn(menu_, pos)) << pos;
  EXPECT_FALSE(OwnerDrawn(sub_, 0));

  // An item somebody else draws stays theirs, unless the renderer is told to override.
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE;
  info.fType = MFT_OWNERDRAW;
  SetMenuItemInfoA(menu_, kPosPlain, TRUE, &info);
  renderer_->SetActive(true);
  EXPECT_FALSE(renderer_->Hooked(menu_, kPosPlain));
  EXPECT_TRUE(renderer_->Hooked(menu_, kPosFaded));
  // Detaching hands back only what the renderer hooked itself.
  renderer_->SetActive(false);
  EXPECT_TRUE(OwnerDrawn(menu_, kPosPlain));
  EXPECT_FALSE(OwnerDrawn(menu_, kPosFaded));
  renderer_->SetActive(true);
  renderer_->SetOverrideOwnerDraw(true);
  EXPECT_TRUE(renderer_->Hooked(menu_, kPosPlain));
}

TEST_F(XPMenuScreen, ItemAddedLaterIsHookedOnceASiblingIsDrawn) {
  AppendMenuA(menu_, MF_STRING, kLater, "Added later");
  const UINT later = static_cast<UINT>(GetMenuItemCount(menu_) - 1);
  EXPECT_FALSE(renderer_->Hooked(menu_, later));
  ASSERT_TRUE(Open([](HWND) {}));
  EXPECT_TRUE(renderer_->Hooked(menu_, later));
  // And drawn by the renderer at the next opening, at its measured height.
  const int before = renderer_->ItemsDrawn();
  RECT rect{}, sibling{};
  ASSERT_TRUE(Open([&](HWND) {
    rect = ItemRect(later);
    sibling = ItemRect(kPosFaded);
  }));
  EXPECT_GE(renderer_->ItemsDrawn() - before, GetMenuItemCount(menu_));
  EXPECT_EQ(rect.bottom - rect.top, sibling.bottom - sibling.top);
  EXPECT_GT(rect.bottom - rect.top, 4);
}

TEST_F(XPMenuScreen, DrawsEveryKindOfItem) {
  std::unique_ptr<TScreenShot> shot;
  RECT items[7] = {};
  RECT window{};
  ASSERT_TRUE(Open([&](HWND menu) {
    const int drawn = renderer_->ItemsDrawn();
    test::PressKey(VK_DOWN);  // selects the first item
    WaitUntil([&] { return renderer_->ItemsDrawn() > drawn; }, 5s);
    Sleep(200);
    for (UINT pos = 0; pos < 7; ++pos) items[pos] = ItemRect(pos);
    window = test::WindowRect(menu);
    shot = std::make_unique<TScreenShot>(window);
  }));
  ASSERT_TRUE(shot && shot->Ok());
  for (const RECT& r : items) ASSERT_TRUE(r.left >= window.left && r.bottom <= window.bottom && r.right > r.left);
  const auto at = [&](UINT pos, int dx, int dy) {
    const RECT& r = items[pos];
    return shot->Pixel(dx >= 0 ? r.left + dx : r.right + dx, dy >= 0 ? r.top + dy : r.bottom + dy);
  };

  // Measured: 4 pixels for the separator, the others taller than their 16-pixel images.
  EXPECT_EQ(items[kPosSeparator].bottom - items[kPosSeparator].top, 4);
  EXPECT_GE(items[kPosPlain].bottom - items[kPosPlain].top, 20);

  // The separator: one line from 7 pixels into the text area to the end, two rows down.
  EXPECT_EQ(at(kPosSeparator, 24 + 7, 2), at(kPosSeparator, -3, 2));
  EXPECT_NE(at(kPosSeparator, 24 + 6, 2), at(kPosSeparator, 24 + 7, 2));
  EXPECT_NE(at(kPosSeparator, 40, 1), at(kPosSeparator, 40, 2));

  // The icon column and the text area: a gradient on a deep display, flat colours otherwise.
  if (deep_) {
    EXPECT_NE(at(kPosFaded, 0, 1), at(kPosFaded, 23, 1));
    EXPECT_NE(at(kPosFaded, 23, 1), at(kPosFaded, 60, 1));
  } else {
    EXPECT_EQ(at(kPosFaded, 0, 1), at(kPosFaded, 23, 1));
    EXPECT_EQ(at(kPosFaded, 28, 1), at(kPosFaded, 60, 1));
    EXPECT_EQ(at(kPosFaded, 28, 1), at(kPosFaded, -3, 1));
  }

  // The image of an unselected item is faded on a deep display only; a checked item shows the
  // same image as it is.
  int same = 0, opaque = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (ImagePixel(kMenuImageExit, x, y) == 0xC0C0C0) continue;
      ++opaque;
      if (at(kPosFaded, 3 + x, 4 + y) == at(kPosCheckedImage, 3 + x, 4 + y)) ++same;
    }
  ASSERT_GT(opaque, 20);
  if (deep_)
    EXPECT_LT(same, opaque / 4) << "faded";
  else
    EXPECT_EQ(same, opaque) << "unfaded";

  if (const char* path = std::getenv("PARLIX_MENU_SHOT")) {
    EXPECT_TRUE(shot->SaveBmp(path));
  }
  if (bits_ < 16) return;  // a palette display shows the colours below only roughly

  // The selected first item: framed in 0xFFAC80 from its second row to its last, filled 0xF5DBAF.
  EXPECT_COLOR(at(kPosPlain, 60, 1), 0xFFAC80);
  EXPECT_COLOR(at(kPosPlain, 60, -1), 0xFFAC80);
  EXPECT_COLOR(at(kPosPlain, 0, 8), 0xFFAC80);
  EXPECT_COLOR(at(kPosPlain, -1, 8), 0xFFAC80);
  EXPECT_COLOR(at(kPosPlain, -4, 3), 0xF5DBAF);
  EXPECT_COLOR(at(kPosPlain, 30, 2), 0xF5DBAF);

  // The checked item with an image: its box outlined in the border colour, filled with the
  // checked-area colour, and its image unfaded in the box at (3, 4).
  EXPECT_COLOR(at(kPosCheckedImage, 1, 10), 0xFFAC80);
  EXPECT_COLOR(at(kPosCheckedImage, 20, 10), 0xFFAC80);
  EXPECT_COLOR(at(kPosCheckedImage, 10, 2), 0xFFAC80);
  EXPECT_COLOR(at(kPosCheckedImage, 2, 3), 0xFDF6EB);
  const POINT exit = OpaquePixel(kMenuImageExit);
  EXPECT_COLOR(at(kPosCheckedImage, 3 + exit.x, 4 + exit.y), ImagePixel(kMenuImageExit, exit.x, exit.y));

  // The checked item without an image: a 10 x 10 box centred in the 24-pixel column, outlined
  // in the check-mark colour (clHighlight).
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  const int tick_height = items[kPosTick].bottom - items[kPosTick].top + 1;
  const int box_top = (tick_height - 10) / 2;
  EXPECT_COLOR(at(kPosTick, 7, box_top + 5), highlight);
  EXPECT_COLOR(at(kPosTick, 16, box_top + 5), highlight);
  EXPECT_COLOR(at(kPosTick, 11, box_top), highlight);

  EXPECT_COLOR(at(kPosSeparator, 24 + 7, 2), 0x808080);

  // The gradient's columns: v = 1, 4, 85 and the cap of 96.
  EXPECT_COLOR(at(kPosFaded, 0, 1), 0xC1C1C1);
  EXPECT_COLOR(at(kPosFaded, 1, 1), Lighten(clSilver, 4));
  EXPECT_COLOR(at(kPosFaded, 28, 1), 0xF6F6F6);
  EXPECT_COLOR(at(kPosFaded, 60, 1), 0xFCFCFC);
  // Faded by 30, and the disabled item's image grey.
  EXPECT_COLOR(at(kPosFaded, 3 + exit.x, 4 + exit.y), Lighten(ImagePixel(kMenuImageExit, exit.x, exit.y), 30));
  const POINT gear = OpaquePixel(kMenuImageConfiguration);
  ASSERT_GE(gear.x, 0);
  EXPECT_COLOR(at(kPosDisabled, 3 + gear.x, 4 + gear.y), Grey(ImagePixel(kMenuImageConfiguration, gear.x, gear.y), 90));
}

TEST_F(XPMenuScreen, DisabledItemIsNeitherFramedNorShowsItsImageWhenSelected) {
  if (!deep_) {
    GTEST_SKIP() << "without the gradient a selected disabled item keeps its last drawing";
  }
  std::unique_ptr<TScreenShot> shot;
  RECT item{};
  bool selected = false;
  ASSERT_TRUE(Open([&](HWND menu) {
    // Five presses: past the separator and onto the disabled item.
    for (int i = 0; i < 5; ++i) test::PressKey(VK_DOWN);
    WaitUntil([&] { return (GetMenuState(menu_, kPosDisabled, MF_BYPOSITION) & MF_HILITE) != 0; }, 5s);
    Sleep(200);
    selected = (GetMenuState(menu_, kPosDisabled, MF_BYPOSITION) & MF_HILITE) != 0;
    item = ItemRect(kPosDisabled);
    shot = std::make_unique<TScreenShot>(test::WindowRect(menu));
  }));
  ASSERT_TRUE(selected);
  ASSERT_TRUE(shot && shot->Ok());
  const std::vector<int> v = GradientSteps(0, 80, 24);
  // No frame: the gradient's own colour where the frame's top line would be.
  EXPECT_COLOR(shot->Pixel(item.left + 60, item.top + 1), Lighten(clSilver, v[60]));
  // No image: the column's colour where the gear's opaque pixel would be.
  const POINT gear = OpaquePixel(kMenuImageConfiguration);
  ASSERT_GE(gear.x, 0);
  EXPECT_COLOR(shot->Pixel(item.left + 3 + gear.x, item.top + 4 + gear.y), Lighten(clSilver, v[3 + gear.x]));
}

}  // namespace
}  // namespace parlix

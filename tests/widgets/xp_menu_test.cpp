#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "widgets/xp_menu.h"

namespace parlix {
namespace {

TEST(XPMenuColor, LightenRoundsHalvesToEvenAndCapsAt100) {
  // 0xF5DBAF by 75: 175 + 60, 219 + 27, 245 + round(7.5) = 245 + 8.
  EXPECT_EQ(Lighten(0xF5DBAF, 75), 0xFDF6EBu);
  // By 50: 175 + 40, 219 + 18, 245 + 5.
  EXPECT_EQ(Lighten(0xF5DBAF, 50), 0xFAEDD7u);
  // Halves: 254 + round(0.5) = 254, 250 + round(2.5) = 252, 252 + round(1.5) = 254.
  EXPECT_EQ(Lighten(0xFCFAFE, 50), 0xFEFCFEu);
  // 0 + round(127.5) = 128.
  EXPECT_EQ(Lighten(0x000000, 50), 0x808080u);
  EXPECT_EQ(Lighten(0x123456, 0), 0x123456u);
  EXPECT_EQ(Lighten(0x123456, 100), 0xFFFFFFu);
  EXPECT_EQ(Lighten(0x123456, 250), 0xFFFFFFu);
}

TEST(XPMenuColor, DarkenSparesTwoStepsOfGreenAndClamps) {
  EXPECT_EQ(Darken(0x808080, 10), 0x767876u);
  EXPECT_EQ(Darken(0xF5DBAF, 50), 0xC3AB7Du);  // 175-50, 219-48, 245-50
  EXPECT_EQ(Darken(0x050505, 10), 0x000000u);
  // A negative amount lightens; green still gets its two extra steps.
  EXPECT_EQ(Darken(0x404040, -40), 0x686A68u);
  EXPECT_EQ(Darken(0xFAFAFA, -40), 0xFFFFFFu);
}

TEST(XPMenuColor, GreyAveragesAddsAndCaps) {
  EXPECT_EQ(Grey(0x0000FF, 90), 0xAFAFAFu);  // 255 div 3 + 90 = 175
  EXPECT_EQ(Grey(0x020100, 0), 0x010101u);   // 3 div 3
  EXPECT_EQ(Grey(0xFFFFFF, 90), 0xF0F0F0u);  // capped at 240
  EXPECT_EQ(Grey(0x000000, 500), 0x646464u);  // n capped at 100
}

TEST(XPMenuColor, BitmapOperationsTreatEveryPixelAlikeAcrossRuns) {
  const std::vector<TXPColor> source = {0xFF00FF, 0xFF00FF, 0x0000C0, 0xFF00FF, 0x0000C0, 0x0000C0, 0x000000};
  std::vector<TXPColor> faded = source;
  FadePixels(faded, 30);
  std::vector<TXPColor> greyed = source;
  GreyPixels(greyed, 90);
  for (std::size_t i = 0; i < source.size(); ++i) {
    EXPECT_EQ(faded[i], Lighten(source[i], 30)) << i;
    EXPECT_EQ(greyed[i], Grey(source[i], 90)) << i;
  }
  // Magenta faded by 30: 255, 0 + round(76.5) = 76, 255.
  EXPECT_EQ(faded[0], 0xFF4CFFu);
}

TEST(XPMenuColor, ShadowCoversAllButTheBottomLeftColour) {
  const TXPColor t = 0xFF00FF;
  // 3 x 2, row by row from the top; the bottom-left pixel is transparent.
  const std::vector<TXPColor> pixels = {t, 0x000001, t, t, t, 0xFFFFFF};
  EXPECT_EQ(ShadowPoints(pixels, 3, 2), (std::vector<TXPPoint>{{1, 0}, {2, 1}}));
  EXPECT_TRUE(ShadowPoints(pixels, 4, 2).empty());  // fewer pixels than the size says
  EXPECT_TRUE(ShadowPoints({}, 0, 0).empty());
}

TEST(XPMenuGradient, IconColumnRisesByThreeThenByOneToTheCap) {
  for (int left : {0, 7}) {
    const std::vector<int> v = GradientSteps(left, left + 150, 24);
    ASSERT_EQ(v.size(), 150u);
    // Column 28 (x = L + 28) is the last of the steep part; the cap comes eleven pixels later.
    for (const auto& [x, step] :
         {std::pair{0, 1}, {1, 4}, {27, 82}, {28, 85}, {29, 86}, {38, 95}, {39, 96}, {40, 96}, {149, 96}})
      EXPECT_EQ(v[x], step) << x;
  }
  // A narrower column shortens the steep part.
  const std::vector<int> narrow = GradientSteps(0, 25, 16);
  EXPECT_EQ(narrow[20], 61);  // 1 + 20 * 3
  EXPECT_EQ(narrow[21], 62);
  EXPECT_TRUE(GradientSteps(5, 5, 24).empty());

  const std::vector<TXPColor> columns = GradientColumns(clSilver, 0, 50, 24);
  EXPECT_EQ(columns[0], 0xC1C1C1u);   // 192 + round(0.63)
  EXPECT_EQ(columns[28], 0xF6F6F6u);  // 192 + round(53.55)
  EXPECT_EQ(columns[39], 0xFCFCFCu);  // 192 + round(60.48)
  EXPECT_EQ(columns[49], 0xFCFCFCu);
}

TXPColor FakeSystemColor(int index) {
  switch (index) {
    case 4: return 0xFFFFFF;   // menu
    case 7: return 0x000000;   // menu text
    case 13: return 0x6A240A;  // highlight
    case 15: return 0xD4D0C8;  // button face
    case 16: return 0x808080;  // button shadow
    default: return 0x0000FF;
  }
}

TXPProperties ProgramProperties() {
  return {.Color = 0xC7C7C7, .IconBackColor = clSilver, .MenuBarColor = clGray, .SelectColor = 0xF5DBAF,
          .SelectBorderColor = 0xFFAC80, .SelectFontColor = clBlack, .DisabledColor = clGray,
          .SeparatorColor = clGray, .CheckedColor = clHighlight, .UseSystemColors = false, .Gradient = true,
          .AutoDetect = true};
}

TEST(XPMenuColors, DeepAndShallowDisplaysWithTheProgramsValues) {
  const TXPColors deep = ResolveColors(ProgramProperties(), clMenuText, 16, FakeSystemColor);
  EXPECT_TRUE(deep.deep);
  EXPECT_EQ(std::tie(deep.background, deep.icon, deep.select, deep.select_border, deep.checked, deep.checked_selected),
            std::tuple(0xC7C7C7u, 0xC0C0C0u, 0xF5DBAFu, 0xFFAC80u, 0xFDF6EBu, 0xFAEDD7u));
  EXPECT_EQ(deep.check_mark, 0x6A240Au);  // clHighlight resolved
  // The border is darken(0xD4D0C8, 90), the shadow darken(0xD4D0C8, 76).
  EXPECT_EQ(std::pair(deep.menu_border, deep.menu_shadow), std::pair(0x7A786Eu, 0x88867Cu));

  const TXPColors shallow = ResolveColors(ProgramProperties(), clMenuText, 15, FakeSystemColor);
  EXPECT_FALSE(shallow.deep);
  EXPECT_EQ(std::tie(shallow.background, shallow.checked, shallow.checked_selected, shallow.menu_border,
                     shallow.menu_shadow),
            std::tuple(0xC7C7C7u, 0xFFFFFFu, 0xC0C0C0u, 0x808080u, 0x808080u));
}

TEST(XPMenuColors, SystemColoursReplaceTheProperties) {
  TXPProperties p = ProgramProperties();
  p.UseSystemColors = true;
  const TXPColors deep = ResolveColors(p, 0x102030, 32, FakeSystemColor);
  EXPECT_EQ(std::tie(deep.select_font, deep.background, deep.icon, deep.select, deep.select_border, deep.menu_bar,
                     deep.separator, deep.checked),
            std::tuple(0x102030u, Lighten(0xD4D0C8, 86), Lighten(0xD4D0C8, 16), Lighten(0x6A240A, 68), 0x6A240Au,
                       0xFFFFFFu, Lighten(0x808080, 25), Lighten(0x6A240A, 75)));
  const TXPColors shallow = ResolveColors(p, clMenuText, 8, FakeSystemColor);
  EXPECT_EQ(std::tie(shallow.select_font, shallow.background, shallow.icon, shallow.select, shallow.checked_selected,
                     shallow.disabled),
            std::tuple(0x000000u, 0xFFFFFFu, 0xD4D0C8u, 0xFFFFFFu, 0xFFFFFFu, 0x808080u));
}

TEST(XPMenuFont, OnlyTheOldSystemFontIsRenamed) {
  EXPECT_EQ(MenuFontName("MS Sans Serif"), "Tahoma");
  EXPECT_EQ(MenuFontName("Segoe UI"), "Segoe UI");
  EXPECT_EQ(MenuFontName("ms sans serif"), "ms sans serif");
}

TEST(XPMenuMeasure, TextImageAndSeparator) {
  EXPECT_EQ(MeasureText("Exit", ""), "Exit");
  EXPECT_EQ(MeasureText("Open", "Ctrl+O"), "OpenCtrl+OWWW");
  EXPECT_EQ(MeasureText("-", "Ctrl+O"), "");

  TXPMeasureInput in{.text_width = 100, .text_height = 13, .image_width = 16, .image_height = 16};
  // 100 + max(16, 24) + 10; 13 + round(9.75).
  EXPECT_EQ(MeasureItem(in, {0, 16}), (TXPSize{134, 23}));
  // The offered size wins when larger.
  EXPECT_EQ(MeasureItem(in, {200, 30}), (TXPSize{200, 30}));
  // 14 + round(10.5) = 24: the half goes to the even 10.
  in.text_height = 14;
  EXPECT_EQ(MeasureItem(in, {0, 0}).height, 24);
  // A tall image sets the floor: 30 + 4.
  in.image_height = 30;
  in.image_width = 40;
  EXPECT_EQ(MeasureItem(in, {0, 0}), (TXPSize{150, 34}));
  // The "&" takes no room of its own.
  in.has_ampersand = true;
  in.ampersand_width = 7;
  EXPECT_EQ(MeasureItem(in, {0, 0}).width, 143);

  EXPECT_EQ(MeasureItem({.separator = true, .text_height = 13}, {0, 16}), (TXPSize{34, 4}));
}

TXPItemState Item(const char* caption) {
  TXPItemState s;
  s.caption = caption;
  s.has_image = true;
  s.image_width = s.image_height = 16;
  return s;
}

// An item of the tray menu as the system hands it over: 150 wide, 23 high, at y = 46.
constexpr TXPRect kItemRect{0, 46, 150, 69};
constexpr int kWHeight = 13;

TEST(XPMenuLayout, ItemWithImageOnADeepDisplay) {
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, Item("Exit"), kItemRect, kWHeight);
  EXPECT_FALSE(l.separator);
  EXPECT_EQ(std::tie(l.item, l.icon, l.check, l.text_area, l.gradient_area),
            std::tuple(TXPRect{0, 46, 150, 70}, TXPRect{0, 46, 24, 70}, TXPRect{1, 48, 21, 68},
                       TXPRect{24, 46, 150, 70}, TXPRect{0, 46, 152, 70}));
  EXPECT_TRUE(l.gradient);
  EXPECT_FALSE(l.fill_plain);
  EXPECT_FALSE(l.draw_selection);
  EXPECT_EQ(l.check_kind, TXPCheck::kNone);
  EXPECT_EQ(l.image_look, TXPImageLook::kFaded);
  EXPECT_EQ(l.image_at, (TXPPoint{3, 50}));  // Il + 3, It + 4
  EXPECT_EQ(l.text, " Exit");
  EXPECT_TRUE(l.draw_text);
  EXPECT_EQ(l.text_color, TXPItemLayout::TextColor::kFont);
  EXPECT_EQ(l.text_rect, (TXPRect{29, 51, 150, 70}));  // (24 - 13) div 2 = 5 down
  EXPECT_TRUE(l.default_passes.empty());
  EXPECT_TRUE(l.shortcut_text.empty());

  // A wider image starts two pixels in; a narrower one is centred less one.
  TXPItemState wide = Item("Exit");
  wide.image_width = 30;
  EXPECT_EQ(LayoutPopupItem(ProgramProperties(), true, wide, kItemRect, kWHeight).image_at, (TXPPoint{2, 50}));
  TXPItemState narrow = Item("Exit");
  narrow.image_width = 9;
  EXPECT_EQ(LayoutPopupItem(ProgramProperties(), true, narrow, kItemRect, kWHeight).image_at, (TXPPoint{6, 50}));
}

TEST(XPMenuLayout, ShallowDisplayFillsFlatAndDoesNotFade) {
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), false, Item("Exit"), kItemRect, kWHeight);
  EXPECT_FALSE(l.gradient);
  EXPECT_TRUE(l.fill_plain);
  EXPECT_EQ(l.image_look, TXPImageLook::kPlain);
  // Gradient off on a deep display: flat too.
  TXPProperties flat = ProgramProperties();
  flat.Gradient = false;
  EXPECT_TRUE(LayoutPopupItem(flat, true, Item("Exit"), kItemRect, kWHeight).fill_plain);
}

TEST(XPMenuLayout, SelectedItemIsFramedAndItsImageRaised) {
  TXPItemState s = Item("Configuration...");
  s.selected = true;
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, s, kItemRect, kWHeight);
  EXPECT_TRUE(l.draw_selection);
  EXPECT_EQ(l.selection, (TXPRect{0, 47, 150, 69}));
  EXPECT_EQ(l.image_look, TXPImageLook::kRaisedWithShadow);
  EXPECT_EQ(l.image_at, (TXPPoint{2, 49}));
  EXPECT_EQ(l.shadow_at, (TXPPoint{4, 51}));
  EXPECT_EQ(l.text_color, TXPItemLayout::TextColor::kSelect);
  // A flat menu's frame stops one pixel short on the right; no frame without DrawSelect.
  TXPProperties p = ProgramProperties();
  p.FlatMenu = true;
  EXPECT_EQ(LayoutPopupItem(p, true, s, kItemRect, kWHeight).selection.right, 149);
  p.DrawSelect = false;
  EXPECT_FALSE(LayoutPopupItem(p, true, s, kItemRect, kWHeight).draw_selection);
}

TEST(XPMenuLayout, CheckedItemsWithAndWithoutImage) {
  TXPItemState with_image = Item("Stay on-top");
  with_image.checked = true;
  TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, with_image, kItemRect, kWHeight);
  EXPECT_EQ(l.check_kind, TXPCheck::kBoxWithImage);
  EXPECT_FALSE(l.check_selected_area);
  EXPECT_EQ(l.check, (TXPRect{1, 48, 21, 68}));
  // The image sits in its box unfaded and in place, also when selected.
  EXPECT_EQ(l.image_look, TXPImageLook::kPlain);
  EXPECT_EQ(l.image_at, (TXPPoint{3, 50}));
  with_image.selected = true;
  l = LayoutPopupItem(ProgramProperties(), true, with_image, kItemRect, kWHeight);
  EXPECT_TRUE(l.check_selected_area);
  EXPECT_EQ(l.image_look, TXPImageLook::kPlain);
  EXPECT_EQ(l.image_at, (TXPPoint{3, 50}));

  TXPItemState no_image;
  no_image.caption = "Option";
  no_image.checked = true;
  l = LayoutPopupItem(ProgramProperties(), true, no_image, kItemRect, kWHeight);
  EXPECT_EQ(l.check_kind, TXPCheck::kBoxWithTick);
  // A 10 x 10 square centred in the 24 x 24 column: (24 - 10) div 2 = 7 each way.
  EXPECT_EQ(l.check, (TXPRect{7, 53, 17, 63}));
  EXPECT_EQ(l.image_look, TXPImageLook::kNone);
  // Odd room: (25 - 10) div 2 = 7, rounded toward zero.
  l = LayoutPopupItem(ProgramProperties(), true, no_image, {0, 0, 150, 24}, kWHeight);
  EXPECT_EQ(l.check, (TXPRect{7, 7, 17, 17}));

  no_image.radio = true;
  EXPECT_EQ(LayoutPopupItem(ProgramProperties(), true, no_image, kItemRect, kWHeight).check_kind, TXPCheck::kRadio);
  with_image.radio = true;
  EXPECT_EQ(LayoutPopupItem(ProgramProperties(), true, with_image, kItemRect, kWHeight).check_kind,
            TXPCheck::kRadioWithImage);
}

TEST(XPMenuLayout, DisabledItemNeitherHighlightsNorShowsItsImageWhenSelected) {
  TXPItemState s = Item("Configuration...");
  s.enabled = false;
  s.is_default = true;  // a disabled default item gets no extra weight
  TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, s, kItemRect, kWHeight);
  EXPECT_EQ(l.image_look, TXPImageLook::kGreyed);
  EXPECT_EQ(l.text_color, TXPItemLayout::TextColor::kDisabled);
  EXPECT_TRUE(l.draw_text);
  EXPECT_TRUE(l.default_passes.empty());
  s.selected = true;
  l = LayoutPopupItem(ProgramProperties(), true, s, kItemRect, kWHeight);
  EXPECT_FALSE(l.draw_selection);
  EXPECT_EQ(l.image_look, TXPImageLook::kNone);
  EXPECT_FALSE(l.draw_text);
  EXPECT_EQ(l.text_color, TXPItemLayout::TextColor::kDisabled);
  // On a shallow display the old drawing is left as it is.
  EXPECT_FALSE(LayoutPopupItem(ProgramProperties(), false, s, kItemRect, kWHeight).fill_plain);
}

TEST(XPMenuLayout, SeparatorIsALineSevenPixelsIntoTheTextArea) {
  TXPItemState s;
  s.caption = "-";
  // The system gives it the 4 pixels it measured.
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, s, {0, 69, 150, 73}, kWHeight);
  EXPECT_TRUE(l.separator);
  EXPECT_EQ(l.item, (TXPRect{0, 69, 150, 74}));
  EXPECT_EQ(l.line_left, 24 + 7);
  EXPECT_EQ(l.line_right, 150);
  EXPECT_EQ(l.line_y, 69 + 2);  // round(5 / 2) = 2, the half to even
  EXPECT_FALSE(l.draw_text);
}

TEST(XPMenuLayout, DefaultItemGetsFourDarkerPassesAndShortcutSitsRight) {
  TXPItemState s = Item("Restore Parlix");
  s.is_default = true;
  s.shortcut = "Ctrl+R";
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, s, {0, 0, 150, 23}, kWHeight);
  const TXPRect t = l.text_rect;
  EXPECT_EQ(t, (TXPRect{29, 5, 150, 24}));
  EXPECT_EQ(l.default_passes, (std::vector<TXPTextPass>{{{30, 5, 150, 24}, 30}, {{30, 7, 151, 24}, 30},
                                                         {{29, 6, 150, 24}, 40}, {{30, 6, 151, 24}, 60}}));
  EXPECT_EQ(l.shortcut_text, "Ctrl+R ");
  EXPECT_EQ(l.shortcut_rect, (TXPRect{29, 5, 140, 24}));
}

TEST(XPMenuLayout, OwnBitmapWiderThanTheColumnPushesTheText) {
  TXPItemState s;
  s.caption = "Wide";
  s.own_bitmap_width = s.image_width = 30;
  const TXPItemLayout l = LayoutPopupItem(ProgramProperties(), true, s, kItemRect, kWHeight);
  EXPECT_EQ(l.text_area.left, 34);
  EXPECT_EQ(l.image_at, (TXPPoint{2, 50}));
}

TEST(XPMenuRounding, HalvesToEvenBothSigns) {
  EXPECT_EQ(RoundHalfEven(5, 2), 2);
  EXPECT_EQ(RoundHalfEven(7, 2), 4);
  EXPECT_EQ(RoundHalfEven(-5, 2), -2);
  EXPECT_EQ(RoundHalfEven(-7, 2), -4);
  EXPECT_EQ(RoundHalfEven(751, 100), 8);
  EXPECT_EQ(RoundHalfEven(-751, 100), -8);
}

}  // namespace
}  // namespace parlix

// The menu renderer's arithmetic: colour operations, the icon column's gradient, the size of
// an item and every rectangle of drawing one popup item. No drawing happens here; the
// Windows side (xp_menu_win.*) paints what these functions lay out.
//
// Only popup items, left to right, are laid out: the program's one menu is a popup. There
// is no menu-bar item, no flat-border repainting and no right-to-left mirroring.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parlix {

// Colours are 0xBBGGRR. A value with the top byte 0xFF names a system colour by the index
// in its low byte, as the framework stores clBtnFace and its kin.
using TXPColor = std::uint32_t;

inline constexpr TXPColor kSystemColorFlag = 0xFF000000;
inline constexpr TXPColor SystemColor(int index) { return kSystemColorFlag | static_cast<TXPColor>(index); }
inline constexpr bool IsSystemColor(TXPColor color) { return (color & 0xFF000000) == kSystemColorFlag; }
inline constexpr int SystemColorIndex(TXPColor color) { return static_cast<int>(color & 0xFF); }

// The system colour indices (the COLOR_* values of the platform).
inline constexpr TXPColor clInactiveCaption = SystemColor(3);
inline constexpr TXPColor clMenu = SystemColor(4);
inline constexpr TXPColor clMenuText = SystemColor(7);
inline constexpr TXPColor clHighlight = SystemColor(13);
inline constexpr TXPColor clBtnFace = SystemColor(15);
inline constexpr TXPColor clBtnShadow = SystemColor(16);
inline constexpr TXPColor clBlack = 0x000000;
inline constexpr TXPColor clGray = 0x808080;
inline constexpr TXPColor clSilver = 0xC0C0C0;
inline constexpr TXPColor clWhite = 0xFFFFFF;

// Each channel c becomes c + round((255 - c) * p / 100), halves to even; p is capped at 100.
TXPColor Lighten(TXPColor color, int percent);
// red - n, green - n + 2, blue - n, each clamped to 0..255; a negative n lightens.
TXPColor Darken(TXPColor color, int amount);
// The grey (v, v, v) with v = (r + g + b) div 3 + n, n capped at 100, v capped at 240.
TXPColor Grey(TXPColor color, int amount);

// Per-pixel operations over an image's pixels (0xBBGGRR each); a new colour is computed
// only where a pixel differs from the one before it.
void FadePixels(std::vector<TXPColor>& pixels, int percent);
void GreyPixels(std::vector<TXPColor>& pixels, int amount);
// The pixels (i, j) of a width x height image, row by row from the top, that a shadow
// paints: all but those in the bottom-left pixel's colour.
struct TXPPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TXPPoint&, const TXPPoint&) = default;
};
std::vector<TXPPoint> ShadowPoints(const std::vector<TXPColor>& pixels, int width, int height);

// The icon column's gradient over the columns [left, right): the step value v of each
// column, and the colour lighten(icon column colour, v).
inline constexpr int kGradientCap = 96;
std::vector<int> GradientSteps(int left, int right, int icon_width);
std::vector<TXPColor> GradientColumns(TXPColor icon_color, int left, int right, int icon_width);

// The colours one item is drawn with, resolved at the start of every item's drawing.
struct TXPProperties {
  TXPColor Color = clBtnFace;
  TXPColor IconBackColor = clBtnFace;
  TXPColor MenuBarColor = clBtnFace;
  TXPColor SelectColor = clHighlight;
  TXPColor SelectBorderColor = clHighlight;
  TXPColor SelectFontColor = clMenuText;
  TXPColor DisabledColor = clInactiveCaption;
  TXPColor SeparatorColor = clBtnFace;
  TXPColor CheckedColor = clHighlight;
  int IconWidth = 24;
  bool DrawSelect = true;
  bool UseSystemColors = true;
  bool OverrideOwnerDraw = false;
  bool Gradient = false;
  bool FlatMenu = false;
  bool AutoDetect = false;
};

struct TXPColors {
  bool deep = false;  // more than 15 bits per pixel
  TXPColor background = 0, icon = 0, select = 0, select_border = 0, select_font = 0, menu_bar = 0, disabled = 0,
           check_mark = 0, separator = 0, checked = 0, checked_selected = 0, menu_border = 0, menu_shadow = 0;
};

// Turns a system colour into RGB; plain colours pass through.
using TSystemColorFn = TXPColor (*)(int index);
TXPColor ToRgb(TXPColor color, TSystemColorFn system);

// font_color is the renderer's font colour (as given, it may be a system colour); the results
// are all RGB, before the device's nearest-colour mapping.
TXPColors ResolveColors(const TXPProperties& props, TXPColor font_color, int bits_per_pixel, TSystemColorFn system);

// The font name the system menu font is used under.
std::string MenuFontName(const std::string& system_name);

// Measuring one item. Text sizes come from the renderer's font.
struct TXPMeasureInput {
  bool separator = false;
  int text_width = 0;        // of the caption, plus shortcut text and "WWW" when it has one
  int ampersand_width = 0;   // subtracted when the text holds an "&"
  bool has_ampersand = false;
  int text_height = 0;
  int image_width = 0;       // 0 without an image
  int image_height = 0;
  int icon_width = 24;
};
struct TXPSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const TXPSize&, const TXPSize&) = default;
};
// The text measured: the caption, with the shortcut text and "WWW" after it when there is one;
// empty for a separator ("-").
std::string MeasureText(const std::string& caption, const std::string& shortcut);
TXPSize MeasureItem(const TXPMeasureInput& in, TXPSize offered);

// The layout of one popup item. Rectangles are [left, right) x [top, bottom).
struct TXPRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const TXPRect&, const TXPRect&) = default;
};

struct TXPItemState {
  std::string caption;
  std::string shortcut;  // empty without one
  bool selected = false;
  bool enabled = true;
  bool checked = false;
  bool radio = false;
  bool is_default = false;
  bool has_image = false;      // an image from the menu's image list
  int image_width = 0;         // of that image, or of the item's own bitmap
  int image_height = 0;
  int own_bitmap_width = 0;    // the item's own bitmap, 0 without one
};

struct TXPTextPass {
  TXPRect rect;
  int darken = 0;  // the canvas pixel at the rect's top-left corner, darkened by this much
  friend bool operator==(const TXPTextPass&, const TXPTextPass&) = default;
};

enum class TXPCheck { kNone, kRadio, kRadioWithImage, kBoxWithImage, kBoxWithTick };
enum class TXPImageLook { kNone, kPlain, kFaded, kGreyed, kRaisedWithShadow };

struct TXPItemLayout {
  bool separator = false;
  TXPRect item;       // the item's rectangle, one pixel longer downwards
  TXPRect icon;       // the icon column
  TXPRect check;      // the check box
  TXPRect text_area;  // right of the icon column
  bool gradient = false;
  TXPRect gradient_area;  // the item widened by 2 to the right
  bool fill_plain = false;  // fill item with the background, icon column with its colour
  bool draw_selection = false;
  TXPRect selection;  // filled with the selection colour and outlined in the border colour
  TXPCheck check_kind = TXPCheck::kNone;
  bool check_selected_area = false;  // the checked area colour when selected
  // The image: where it goes, how it looks, and its shadow's place when raised.
  TXPImageLook image_look = TXPImageLook::kNone;
  TXPPoint image_at;
  TXPPoint shadow_at;
  // The separator line: from (line_left, line_y) to line_right, the end excluded.
  int line_left = 0, line_right = 0, line_y = 0;
  // The text: " " + caption, left-aligned in text_rect; the default item's extra passes come
  // first; the shortcut text + " " is right-aligned in shortcut_rect.
  std::string text;
  bool draw_text = false;
  TXPRect text_rect;
  std::vector<TXPTextPass> default_passes;
  enum class TextColor { kFont, kSelect, kDisabled } text_color = TextColor::kFont;
  std::string shortcut_text;
  TXPRect shortcut_rect;
};

// r is the item rectangle the system gives; w_height is the height of "W" in the font.
TXPItemLayout LayoutPopupItem(const TXPProperties& props, bool deep, const TXPItemState& item, TXPRect r,
                              int w_height);

// numerator / denominator rounded to the nearest integer, halves to even (denominator > 0).
int RoundHalfEven(long long numerator, long long denominator);

}  // namespace parlix

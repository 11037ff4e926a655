#include "widgets/xp_menu.h"

#include <algorithm>

namespace parlix {

namespace {

int Channel(TXPColor color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

TXPColor Rgb(int r, int g, int b) {
  const auto clamp = [](int c) { return static_cast<TXPColor>(std::clamp(c, 0, 255)); };
  return clamp(r) | (clamp(g) << 8) | (clamp(b) << 16);
}

int LightenChannel(int c, int percent) { return c + RoundHalfEven(static_cast<long long>(255 - c) * percent, 100); }

template <typename Op>
void MapPixels(std::vector<TXPColor>& pixels, Op op) {
  // Images are mostly runs of one colour: reuse the last result while the pixel repeats.
  bool have_last = false;
  TXPColor last_in = 0, last_out = 0;
  for (TXPColor& pixel : pixels) {
    if (!have_last || pixel != last_in) {
      last_in = pixel;
      last_out = op(pixel);
      have_last = true;
    }
    pixel = last_out;
  }
}

}  // namespace

int RoundHalfEven(long long numerator, long long denominator) {
  long long q = numerator / denominator;
  long long r = numerator % denominator;
  if (r < 0) {  // floor division, so the remainder is in [0, denominator)
    q -= 1;
    r += denominator;
  }
  if (2 * r > denominator || (2 * r == denominator && (q & 1) != 0)) ++q;
  return static_cast<int>(q);
}

TXPColor Lighten(TXPColor color, int percent) {
  percent = std::min(percent, 100);
  return Rgb(LightenChannel(Channel(color, 0), percent), LightenChannel(Channel(color, 8), percent),
             LightenChannel(Channel(color, 16), percent));
}

TXPColor Darken(TXPColor color, int amount) {
  // Green keeps two steps more than the others: the darkened colours lean a little green.
  return Rgb(Channel(color, 0) - amount, Channel(color, 8) - amount + 2, Channel(color, 16) - amount);
}

TXPColor Grey(TXPColor color, int amount) {
  amount = std::min(amount, 100);
  const int v = std::clamp((Channel(color, 0) + Channel(color, 8) + Channel(color, 16)) / 3 + amount, 0, 240);
  return Rgb(v, v, v);
}

void FadePixels(std::vector<TXPColor>& pixels, int percent) {
  MapPixels(pixels, [percent](TXPColor c) { return Lighten(c, percent); });
}

void GreyPixels(std::vector<TXPColor>& pixels, int amount) {
  MapPixels(pixels, [amount](TXPColor c) { return Grey(c, amount); });
}

std::vector<TXPPoint> ShadowPoints(const std::vector<TXPColor>& pixels, int width, int height) {
  std::vector<TXPPoint> points;
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return points;
  const TXPColor transparent = pixels[static_cast<std::size_t>(height - 1) * static_cast<std::size_t>(width)];
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i)
      if (pixels[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)] !=
          transparent)
        points.push_back({i, j});
  return points;
}

std::vector<int> GradientSteps(int left, int right, int icon_width) {
  std::vector<int> steps;
  if (right <= left) return steps;
  steps.reserve(static_cast<std::size_t>(right - left));
  int v = 0;
  for (int x = left; x < right; ++x) {
    v += (left < x && x < left + icon_width + 5) ? 3 : 1;
    v = std::min(v, kGradientCap);
    steps.push_back(v);
  }
  return steps;
}

std::vector<TXPColor> GradientColumns(TXPColor icon_color, int left, int right, int icon_width) {
  std::vector<TXPColor> columns;
  for (int v : GradientSteps(left, right, icon_width)) columns.push_back(Lighten(icon_color, v));
  return columns;
}

TXPColor ToRgb(TXPColor color, TSystemColorFn system) {
  if (!IsSystemColor(color)) return color & 0xFFFFFF;
  return system != nullptr ? system(SystemColorIndex(color)) & 0xFFFFFF : 0;
}

TXPColors ResolveColors(const TXPProperties& props, TXPColor font_color, int bits_per_pixel, TSystemColorFn system) {
  const auto rgb = [system](TXPColor c) { return ToRgb(c, system); };
  TXPColors c;
  c.deep = bits_per_pixel > 15;
  c.background = rgb(props.Color);
  c.icon = rgb(props.IconBackColor);
  c.select = rgb(props.SelectColor);
  c.select_border = rgb(props.SelectBorderColor);
  c.select_font = rgb(props.SelectFontColor);
  c.menu_bar = rgb(props.MenuBarColor);
  c.disabled = rgb(props.DisabledColor);
  c.check_mark = rgb(props.CheckedColor);
  c.separator = rgb(props.SeparatorColor);
  const TXPColor face = rgb(clBtnFace);
  const TXPColor shadow = rgb(clBtnShadow);
  const TXPColor highlight = rgb(clHighlight);
  if (c.deep) {
    c.checked = Lighten(c.select, 75);
    c.checked_selected = Lighten(c.select, 50);
    c.menu_border = Darken(face, 90);
    c.menu_shadow = Darken(face, 76);
  } else {
    c.checked = clWhite;
    c.checked_selected = clSilver;
    c.menu_border = shadow;
    c.menu_shadow = shadow;
  }
  if (!props.UseSystemColors) return c;
  c.select_font = rgb(font_color);
  c.select_border = highlight;
  c.check_mark = highlight;
  if (c.deep) {
    c.background = Lighten(face, 86);
    c.icon = Lighten(face, 16);
    c.select = Lighten(highlight, 68);
    c.menu_bar = rgb(clMenu);
    c.disabled = Lighten(shadow, 10);
    c.separator = Lighten(shadow, 25);
    c.checked = Lighten(highlight, 75);
    c.checked_selected = Lighten(highlight, 50);
  } else {
    c.background = clWhite;
    c.icon = face;
    c.select = clWhite;
    c.menu_bar = face;
    c.disabled = shadow;
    c.separator = shadow;
    c.checked = clWhite;
    c.checked_selected = clWhite;
  }
  return c;
}

std::string MenuFontName(const std::string& system_name) {
  return system_name == "MS Sans Serif" ? "Tahoma" : system_name;
}

std::string MeasureText(const std::string& caption, const std::string& shortcut) {
  if (caption == "-") return {};
  // The three letters reserve the gap between the caption and its shortcut.
  return shortcut.empty() ? caption : caption + shortcut + "WWW";
}

TXPSize MeasureItem(const TXPMeasureInput& in, TXPSize offered) {
  TXPSize size = offered;
  const int text_width = in.text_width - (in.has_ampersand ? in.ampersand_width : 0);
  const int width = text_width + std::max(in.image_width, in.icon_width) + 10;
  if (width > size.width) size.width = width;
  if (in.separator) {
    size.height = 4;
    return size;
  }
  int height = in.text_height + RoundHalfEven(static_cast<long long>(in.text_height) * 3, 4);
  height = std::max(height, in.image_height + 4);
  if (height > size.height) size.height = height;
  return size;
}

TXPItemLayout LayoutPopupItem(const TXPProperties& props, bool deep, const TXPItemState& item, TXPRect r,
                              int w_height) {
  TXPItemLayout out;
  out.separator = item.caption == "-";
  // One pixel further down: the selection frame's bottom line then falls on the item's last row.
  out.item = {r.left, r.top, r.right, r.bottom + 1};
  const TXPRect& R = out.item;
  out.icon = {R.left, R.top, R.left + props.IconWidth, R.bottom};
  const TXPRect& I = out.icon;
  if (item.has_image) {
    out.check = {I.left + 1, I.top + 2, I.right - 3, I.bottom - 2};
  } else {
    const int left = I.left + (I.Width() - 10) / 2;
    const int top = I.top + (I.Height() - 10) / 2;
    out.check = {left, top, left + 10, top + 10};
  }
  int text_left = R.left + props.IconWidth;
  if (props.IconWidth < item.own_bitmap_width) text_left = R.left + item.own_bitmap_width + 4;
  out.text_area = {text_left, R.top, R.right, R.bottom};
  const TXPRect& X = out.text_area;

  out.gradient = deep && props.Gradient;
  if (out.gradient)
    out.gradient_area = {R.left, R.top, R.right + 2, R.bottom};
  else
    out.fill_plain = item.enabled || !item.selected;

  out.draw_selection = item.selected && props.DrawSelect && item.enabled;
  if (out.draw_selection) out.selection = {R.left, R.top + 1, R.right - (props.FlatMenu ? 1 : 0), R.bottom - 1};

  if (item.checked) {
    if (item.radio)
      out.check_kind = item.has_image ? TXPCheck::kRadioWithImage : TXPCheck::kRadio;
    else
      out.check_kind = item.has_image ? TXPCheck::kBoxWithImage : TXPCheck::kBoxWithTick;
    out.check_selected_area = item.selected;
  }

  const bool has_picture = item.has_image || item.own_bitmap_width > 0;
  if (has_picture) {
    const int w = item.image_width;
    const int top = I.top + 4;
    const int left = w <= props.IconWidth ? I.left + (props.IconWidth - w) / 2 - 1 : I.left + 2;
    out.image_at = {left, top};
    if (!item.enabled) {
      out.image_look = item.selected ? TXPImageLook::kNone : TXPImageLook::kGreyed;
    } else if (item.selected && !item.checked) {
      out.image_look = TXPImageLook::kRaisedWithShadow;
      out.image_at = {left - 1, top - 1};
      out.shadow_at = {left + 1, top + 1};
    } else if (!item.selected && !item.checked && deep) {
      out.image_look = TXPImageLook::kFaded;
    } else {
      out.image_look = TXPImageLook::kPlain;
    }
  }

  if (out.separator) {
    out.line_left = X.left + 7;
    out.line_right = X.right;
    out.line_y = X.top + RoundHalfEven(X.Height(), 2);
    return out;
  }

  out.text = " " + item.caption;
  if (item.selected) out.text_color = TXPItemLayout::TextColor::kSelect;
  if (!item.enabled) out.text_color = TXPItemLayout::TextColor::kDisabled;
  const int top = X.top + (X.Height() - w_height) / 2;
  out.text_rect = {X.left + 5, top, X.right, X.bottom};
  const TXPRect& t = out.text_rect;
  if (item.is_default && item.enabled) {
    // Drawn first, each in a darker shade of what is already under it, to give the text weight.
    out.default_passes = {
        {{t.left + 1, t.top, t.right, t.bottom}, 30},
        {{t.left + 1, t.top + 2, t.right + 1, t.bottom}, 30},
        {{t.left, t.top + 1, t.right, t.bottom}, 40},
        {{t.left + 1, t.top + 1, t.right + 1, t.bottom}, 60},
    };
  }
  out.draw_text = item.enabled || !item.selected;
  if (!item.shortcut.empty()) {
    out.shortcut_text = item.shortcut + " ";
    out.shortcut_rect = {t.left, t.top, X.right - 10, t.bottom};
  }
  return out;
}

}  // namespace parlix

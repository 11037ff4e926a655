#include "widgets/xp_menu_win.h"

#include <algorithm>

namespace parlix {

namespace {

// Captions longer than this are cut when read back from the menu.
constexpr int kMaxCaption = 256;
// Menus nested deeper than this are not walked (a menu can hang in itself).
constexpr int kMaxMenuDepth = 16;
// Items with no command of their own (separators) are keyed by position, marked thus.
constexpr UINT kPositionKey = 0x80000000u;

TXPColor SystemColorRgb(int index) { return GetSysColor(index); }

COLORREF Nearest(HDC dc, TXPColor color) { return GetNearestColor(dc, color & 0xFFFFFF); }

// Fills without making a brush: an opaque empty text run paints its rectangle.
void FillSolid(HDC dc, const TXPRect& r, COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const RECT rect{r.left, r.top, r.right, r.bottom};
  SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, "", 0, nullptr);
}

// The outline a pen of width 1 draws around the rectangle.
void Outline(HDC dc, const TXPRect& r, COLORREF color) {
  FillSolid(dc, {r.left, r.top, r.right, r.top + 1}, color);
  FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, color);
  FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, color);
  FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, color);
}

// A pen and a brush selected into a device context for the life of this object.
class TPenAndBrush {
 public:
  TPenAndBrush(HDC dc, COLORREF pen, COLORREF brush)
      : dc_(dc), pen_(CreatePen(PS_SOLID, 1, pen)), brush_(CreateSolidBrush(brush)) {
    old_pen_ = SelectObject(dc_, pen_.Get());
    old_brush_ = SelectObject(dc_, brush_.Get());
  }
  TPenAndBrush(const TPenAndBrush&) = delete;
  TPenAndBrush& operator=(const TPenAndBrush&) = delete;
  ~TPenAndBrush() {
    SelectObject(dc_, old_pen_);
    SelectObject(dc_, old_brush_);
  }

 private:
  HDC dc_;
  UniqueGdiObject pen_, brush_;
  HGDIOBJ old_pen_ = nullptr, old_brush_ = nullptr;
};

// An image of the list painted on the icon column's colour, as pixels 0xBBGGRR row by row.
std::vector<TXPColor> ImagePixels(HIMAGELIST images, int index, int width, int height, COLORREF back) {
  std::vector<TXPColor> pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  // A temporary bitmap for this item alone, freed before the item is done.
  UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return pixels;
  const UniqueMemoryDC memory_dc(CreateCompatibleDC(nullptr));
  const HDC dc = memory_dc.Get();
  if (dc == nullptr) return pixels;
  HGDIOBJ old = SelectObject(dc, bitmap.Get());
  FillSolid(dc, {0, 0, width, height}, back);
  ImageList_DrawEx(images, index, dc, 0, 0, width, height, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t v = p[i];  // 0x00RRGGBB in memory order B, G, R
    pixels.push_back(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
  }
  SelectObject(dc, old);
  return pixels;
}

// Paints every pixel not in the bottom-left pixel's colour at (x, y) in its own colour, or
// all of them in one colour for a shadow.
void PaintTransparent(HDC dc, const std::vector<TXPColor>& pixels, int width, int height, int x, int y,
                      const COLORREF* single) {
  for (const TXPPoint& at : ShadowPoints(pixels, width, height)) {
    const TXPColor c = pixels[static_cast<std::size_t>(at.y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(at.x)];
    SetPixelV(dc, x + at.x, y + at.y, single != nullptr ? *single : Nearest(dc, c));
  }
}

void DrawTick(HDC dc, const TXPRect& k) {
  // Five short strokes, two pixels thick, down to the lower left third and up to the top right.
  UniqueGdiObject pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  HGDIOBJ old = SelectObject(dc, pen.Get());
  const int x = k.left + 2, y = k.top + 4;
  for (int i = 0; i < 2; ++i) {
    MoveToEx(dc, x, y + i, nullptr);
    LineTo(dc, x + 2, y + 2 + i);
    LineTo(dc, x + 6, y - 2 + i);
  }
  MoveToEx(dc, x + 1, y + 2, nullptr);
  LineTo(dc, x + 2, y + 3);
  SelectObject(dc, old);
}

void DrawTextIn(HDC dc, const std::string& text, const TXPRect& r, COLORREF color, UINT format) {
  RECT rect{r.left, r.top, r.right, r.bottom};
  SetTextColor(dc, color);
  DrawTextExA(dc, const_cast<char*>(text.c_str()), static_cast<int>(text.size()), &rect, format, nullptr);
}

}  // namespace

void SetMenuItemImageIndex(HMENU menu, UINT command, int image) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_DATA;
  info.dwItemData = static_cast<ULONG_PTR>(image + 1);
  SetMenuItemInfoA(menu, command, FALSE, &info);
}

int MenuItemImageIndex(HMENU menu, UINT item, bool by_position) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_DATA;
  if (!GetMenuItemInfoA(menu, item, by_position ? TRUE : FALSE, &info)) return kNoMenuImage;
  return static_cast<int>(info.dwItemData) - 1;
}

struct TXPMenu::TItemInfo {
  TXPItemState state;
  int image = kNoMenuImage;
  HIMAGELIST images = nullptr;
  bool separator = false;
};

TXPMenu::TXPMenu(HWND owner) : owner_(owner) { ChooseSystemFont(); }

TXPMenu::~TXPMenu() { Detach(); }

void TXPMenu::AddMenu(HMENU menu, HIMAGELIST images) {
  menus_.emplace_back(menu, images);
  if (active_) AttachMenu(menu, images);
}

void TXPMenu::SetActive(bool active) {
  Detach();
  active_ = active;
  if (active_) Attach();
  RedrawMenuBar();
}

void TXPMenu::SetFont(const std::string& name, int height, TXPColor color) {
  font_name_ = name;
  font_height_ = height;
  font_color_ = color;
  MakeFont();
  RedrawMenuBar();
}

void TXPMenu::SetMenuBarColor(TXPColor color) {
  props_.MenuBarColor = color;
  RedrawMenuBar();
}

void TXPMenu::SetUseSystemColors(bool on) {
  props_.UseSystemColors = on;
  RedrawMenuBar();
}

void TXPMenu::SetOverrideOwnerDraw(bool on) {
  props_.OverrideOwnerDraw = on;
  if (active_) SetActive(true);
}

void TXPMenu::MenuItemInserted() {
  if (props_.AutoDetect) SetActive(true);
}

void TXPMenu::RedrawMenuBar() {
  if (owner_ != nullptr && GetMenu(owner_) != nullptr) DrawMenuBar(owner_);
}

void TXPMenu::ChooseSystemFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font_name_ = MenuFontName(metrics.lfMenuFont.lfFaceName);
    font_height_ = metrics.lfMenuFont.lfHeight;
  } else {
    font_name_ = "Tahoma";
    font_height_ = -11;
  }
  font_color_ = clMenuText;
  MakeFont();
}

void TXPMenu::MakeFont() {
  LOGFONTA lf{};
  lf.lfHeight = font_height_;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, font_name_.c_str(), LF_FACESIZE);
  font_.Reset(CreateFontIndirectA(&lf));
}

TXPMenu::TItemKey TXPMenu::KeyOf(HMENU menu, UINT position, UINT id) {
  return TItemKey{menu, id != 0 ? id : (kPositionKey | position)};
}

void TXPMenu::Attach() {
  known_.clear();
  for (const auto& [menu, images] : menus_) AttachMenu(menu, images);
}

void TXPMenu::AttachMenu(HMENU menu, HIMAGELIST images) { HookItems(menu, images); }

// Hooks every item of the menu and its submenus that draws itself the system's way: either
// it was never ours, or it was added since. Items another party draws stay theirs unless
// OverrideOwnerDraw is set.
void TXPMenu::HookItems(HMENU root, HIMAGELIST images) {
  std::vector<std::pair<HMENU, int>> stack{{root, 0}};
  while (!stack.empty()) {
    const auto [menu, depth] = stack.back();
    stack.pop_back();
    if (std::none_of(known_.begin(), known_.end(), [m = menu](const auto& k) { return k.first == m; }))
      known_.emplace_back(menu, images);
    const int count = GetMenuItemCount(menu);
    for (int pos = 0; pos < count; ++pos) {
      MENUITEMINFOA info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
      if (!GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info)) continue;
      const TItemKey key = KeyOf(menu, static_cast<UINT>(pos), info.hSubMenu != nullptr ? 0 : info.wID);
      const bool ours = hooked_.count(key) != 0;
      const bool others = (info.fType & MFT_OWNERDRAW) != 0 && !ours;
      if (!ours && (!others || props_.OverrideOwnerDraw)) {
        info.fMask = MIIM_FTYPE;
        info.fType |= MFT_OWNERDRAW;
        SetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info);
        hooked_.insert(key);
      }
      if (info.hSubMenu != nullptr && depth + 1 < kMaxMenuDepth) stack.emplace_back(info.hSubMenu, depth + 1);
    }
  }
}

void TXPMenu::Detach() {
  for (const TItemKey& key : hooked_) {
    if (!IsMenu(key.menu)) continue;
    const bool by_position = (key.id & kPositionKey) != 0 || key.id == 0;
    const UINT item = by_position ? (key.id & ~kPositionKey) : key.id;
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoA(key.menu, item, by_position ? TRUE : FALSE, &info)) continue;
    info.fType &= ~static_cast<UINT>(MFT_OWNERDRAW);
    SetMenuItemInfoA(key.menu, item, by_position ? TRUE : FALSE, &info);
  }
  hooked_.clear();
}

bool TXPMenu::Hooked(HMENU menu, UINT position) const {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
  if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return false;
  const bool keyed = hooked_.count(KeyOf(menu, position, info.hSubMenu != nullptr ? 0 : info.wID)) != 0;
  return keyed && (info.fType & MFT_OWNERDRAW) != 0;
}

HIMAGELIST TXPMenu::ImagesOf(HMENU menu) const {
  for (const auto& [m, images] : known_)
    if (m == menu) return images;
  return nullptr;
}

HMENU TXPMenu::FindMenuOf(UINT id) const {
  for (const auto& [menu, images] : known_) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID;
    const int count = GetMenuItemCount(menu);
    for (int pos = 0; pos < count; ++pos)
      if (GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info) && info.wID == id) return menu;
  }
  return nullptr;
}

bool TXPMenu::ReadItem(HMENU menu, UINT command, TItemInfo& out) const {
  char text[kMaxCaption] = {};
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_DATA;
  info.dwTypeData = text;
  info.cch = sizeof(text) - 1;
  if (!GetMenuItemInfoA(menu, command, FALSE, &info)) return false;
  text[sizeof(text) - 1] = '\0';
  const std::string caption = (info.fType & MFT_SEPARATOR) != 0 ? std::string("-") : std::string(text);
  // A shortcut is written after a tab.
  const std::size_t tab = caption.find('\t');
  out.state.caption = caption.substr(0, tab);
  out.state.shortcut = tab == std::string::npos ? std::string() : caption.substr(tab + 1);
  out.separator = out.state.caption == "-";
  out.state.enabled = (info.fState & MFS_DISABLED) == 0;
  out.state.checked = (info.fState & MFS_CHECKED) != 0;
  out.state.is_default = (info.fState & MFS_DEFAULT) != 0;
  out.state.radio = (info.fType & MFT_RADIOCHECK) != 0;
  out.images = ImagesOf(menu);
  out.image = static_cast<int>(info.dwItemData) - 1;
  out.state.has_image = out.images != nullptr && out.image != kNoMenuImage && out.image >= 0 &&
                        out.image < ImageList_GetImageCount(out.images);
  if (out.state.has_image) ImageList_GetIconSize(out.images, &out.state.image_width, &out.state.image_height);
  return true;
}

bool TXPMenu::MeasureItem(MEASUREITEMSTRUCT& item) {
  if (item.CtlType != ODT_MENU || !active_) return false;
  HMENU menu = FindMenuOf(item.itemID);
  TItemInfo info;
  if (menu == nullptr || !ReadItem(menu, item.itemID, info)) return false;
  const UniqueMemoryDC memory_dc(CreateCompatibleDC(nullptr));
  const HDC dc = memory_dc.Get();
  if (dc == nullptr) return false;
  HGDIOBJ old_font = SelectObject(dc, font_.Get());
  const std::string text = MeasureText(info.state.caption, info.state.shortcut);
  TXPMeasureInput in;
  in.separator = info.separator;
  in.icon_width = props_.IconWidth;
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  in.text_width = size.cx;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  in.text_height = text.empty() ? metrics.tmHeight : size.cy;
  in.has_ampersand = text.find('&') != std::string::npos;
  if (in.has_ampersand) {
    GetTextExtentPoint32A(dc, "&", 1, &size);
    in.ampersand_width = size.cx;
  }
  if (info.state.has_image) {
    in.image_width = info.state.image_width;
    in.image_height = info.state.image_height;
  }
  SelectObject(dc, old_font);
  const TXPSize measured =
      parlix::MeasureItem(in, {static_cast<int>(item.itemWidth), static_cast<int>(item.itemHeight)});
  item.itemWidth = static_cast<UINT>(measured.width);
  item.itemHeight = static_cast<UINT>(measured.height);
  return true;
}

bool TXPMenu::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_MENU || !active_) return false;
  HMENU menu = reinterpret_cast<HMENU>(item.hwndItem);
  TItemInfo info;
  if (!IsMenu(menu) || !ReadItem(menu, item.itemID, info)) return false;
  info.state.selected = (item.itemState & ODS_SELECTED) != 0;
  HDC dc = item.hDC;
  const int saved = SaveDC(dc);

  const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  TXPColors colors = ResolveColors(props_, font_color_, bits, SystemColorRgb);
  if (props_.UseSystemColors) ChooseSystemFont();
  SelectObject(dc, font_.Get());
  SIZE w{};
  GetTextExtentPoint32A(dc, "W", 1, &w);
  const TXPRect r{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  const TXPItemLayout l = LayoutPopupItem(props_, colors.deep, info.state, r, w.cy);

  // Background.
  if (l.gradient) {
    const std::vector<TXPColor> columns =
        GradientColumns(colors.icon, l.gradient_area.left, l.gradient_area.right, props_.IconWidth);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
      const int x = l.gradient_area.left + i;
      FillSolid(dc, {x, l.gradient_area.top, x + 1, l.gradient_area.bottom}, Nearest(dc, columns[i]));
    }
  } else if (l.fill_plain) {
    FillSolid(dc, l.item, Nearest(dc, colors.background));
    FillSolid(dc, l.icon, Nearest(dc, colors.icon));
  }
  // Selection.
  if (l.draw_selection) {
    FillSolid(dc, l.selection, Nearest(dc, colors.select));
    Outline(dc, l.selection, Nearest(dc, colors.select_border));
  }
  // Check mark.
  const COLORREF area = Nearest(dc, l.check_selected_area ? colors.checked_selected : colors.checked);
  const TXPRect& k = l.check;
  switch (l.check_kind) {
    case TXPCheck::kRadio: {
      TPenAndBrush tools(dc, Nearest(dc, colors.select_border), area);
      Ellipse(dc, k.left, k.top, k.right, k.bottom);
      break;
    }
    case TXPCheck::kRadioWithImage: {
      TPenAndBrush tools(dc, Nearest(dc, colors.select_border), area);
      RoundRect(dc, k.left, k.top, k.right, k.bottom, 6, 6);
      break;
    }
    case TXPCheck::kBoxWithImage: {
      TPenAndBrush tools(dc, Nearest(dc, colors.select_border), area);
      Rectangle(dc, k.left, k.top, k.right, k.bottom);
      break;
    }
    case TXPCheck::kBoxWithTick: {
      {
        TPenAndBrush tools(dc, Nearest(dc, colors.check_mark), area);
        Rectangle(dc, k.left, k.top, k.right, k.bottom);
      }
      DrawTick(dc, k);
      break;
    }
    case TXPCheck::kNone: break;
  }
  // Image.
  if (l.image_look != TXPImageLook::kNone && info.state.has_image) {
    const int iw = info.state.image_width, ih = info.state.image_height;
    std::vector<TXPColor> pixels = ImagePixels(info.images, info.image, iw, ih, Nearest(dc, colors.icon));
    if (!pixels.empty()) {
      if (l.image_look == TXPImageLook::kRaisedWithShadow) {
        const COLORREF shadow = Nearest(dc, Darken(colors.select, 50));
        PaintTransparent(dc, pixels, iw, ih, l.shadow_at.x, l.shadow_at.y, &shadow);
      } else if (l.image_look == TXPImageLook::kFaded) {
        FadePixels(pixels, 30);
      } else if (l.image_look == TXPImageLook::kGreyed) {
        GreyPixels(pixels, 90);
      }
      PaintTransparent(dc, pixels, iw, ih, l.image_at.x, l.image_at.y, nullptr);
    }
  }
  // Separator or text.
  if (l.separator) {
    FillSolid(dc, {l.line_left, l.line_y, l.line_right, l.line_y + 1}, Nearest(dc, colors.separator));
  } else {
    const TXPColor text_color = l.text_color == TXPItemLayout::TextColor::kSelect     ? colors.select_font
                                : l.text_color == TXPItemLayout::TextColor::kDisabled ? colors.disabled
                                                                                       : ToRgb(font_color_, SystemColorRgb);
    SetBkMode(dc, TRANSPARENT);
    const UINT left = DT_LEFT | DT_SINGLELINE | DT_EXPANDTABS;
    for (const TXPTextPass& pass : l.default_passes) {
      const COLORREF under = GetPixel(dc, pass.rect.left, pass.rect.top);
      const TXPColor base = under == CLR_INVALID ? text_color : static_cast<TXPColor>(under);
      DrawTextIn(dc, l.text, pass.rect, Nearest(dc, Darken(base, pass.darken)), left);
    }
    if (l.draw_text) DrawTextIn(dc, l.text, l.text_rect, Nearest(dc, text_color), left);
    if (!l.shortcut_text.empty()) {
      const TXPColor shortcut = colors.deep ? Darken(text_color, -40) : text_color;
      DrawTextIn(dc, l.shortcut_text, l.shortcut_rect, Nearest(dc, shortcut), DT_RIGHT | DT_SINGLELINE);
    }
  }
  RestoreDC(dc, saved);
  ++items_drawn_;

  // Items added since attaching are hooked now, so the next opening draws them too.
  HookItems(menu, ImagesOf(menu));
  return true;
}

}  // namespace parlix

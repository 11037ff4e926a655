// TXPMenu: owner-draws the popup menus of the window it belongs to, with a shaded icon
// column, a framed highlight, faded and shadowed images, boxed check marks and thin
// separators. The arithmetic and every rectangle come from xp_menu.h.
//
// Items of a menu bar, the flat-border repainting of the menu window and right-to-left
// menus are not drawn here: the program's only menu is a left-to-right popup. FlatMenu
// is kept as a property (it narrows the selection frame) and MenuBarColor is resolved,
// but nothing paints a bar or a border. Images come from the menu's image list only: no
// item of the program has a bitmap of its own (the layout would place one).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles_win.h"
#include "widgets/xp_menu.h"

namespace parlix {

// Menu items carry their image index in the item data, stored one higher so that an item
// made without data (0) has no image.
inline constexpr int kNoMenuImage = -1;
void SetMenuItemImageIndex(HMENU menu, UINT command, int image);
int MenuItemImageIndex(HMENU menu, UINT item, bool by_position);

class TXPMenu {
 public:
  explicit TXPMenu(HWND owner);
  TXPMenu(const TXPMenu&) = delete;
  TXPMenu& operator=(const TXPMenu&) = delete;
  ~TXPMenu();

  // The owner's menus, each with the image list its items take their images from (may be
  // null). Submenus take the list of the menu they hang in.
  void AddMenu(HMENU menu, HIMAGELIST images);

  bool Active() const { return active_; }
  // Setting it true detaches and attaches again.
  void SetActive(bool active);
  // The font the items are written in; colour may be a system colour.
  void SetFont(const std::string& name, int height, TXPColor color);
  void SetMenuBarColor(TXPColor color);
  void SetUseSystemColors(bool on);
  void SetOverrideOwnerDraw(bool on);
  // The other properties only store their value.
  TXPProperties& Props() { return props_; }
  const TXPProperties& Props() const { return props_; }
  const std::string& FontName() const { return font_name_; }
  int FontHeight() const { return font_height_; }
  TXPColor FontColor() const { return font_color_; }

  // The owner tells that menu items were inserted: with AutoDetect, attaches again so the
  // new items are drawn too.
  void MenuItemInserted();

  // WM_MEASUREITEM and WM_DRAWITEM of the owner; false when not for one of our items.
  bool MeasureItem(MEASUREITEMSTRUCT& item);
  bool DrawItem(const DRAWITEMSTRUCT& item);

  // True when this renderer draws the item.
  bool Hooked(HMENU menu, UINT position) const;
  // Items drawn so far (read from any thread).
  int ItemsDrawn() const { return items_drawn_.load(); }

 private:
  struct TItemKey {
    HMENU menu;
    UINT id;  // the command, or the position for items without one
    friend auto operator<=>(const TItemKey&, const TItemKey&) = default;
  };
  struct TItemInfo;

  void Attach();
  void Detach();
  void AttachMenu(HMENU menu, HIMAGELIST images);
  void HookItems(HMENU menu, HIMAGELIST images);
  static TItemKey KeyOf(HMENU menu, UINT position, UINT id);
  HIMAGELIST ImagesOf(HMENU menu) const;
  HMENU FindMenuOf(UINT id) const;
  bool ReadItem(HMENU menu, UINT command, TItemInfo& out) const;
  void ChooseSystemFont();
  void MakeFont();
  void RedrawMenuBar();

  HWND owner_;
  std::vector<std::pair<HMENU, HIMAGELIST>> menus_;
  // Every menu met while attaching, with the image list its items use.
  std::vector<std::pair<HMENU, HIMAGELIST>> known_;
  std::set<TItemKey> hooked_;
  TXPProperties props_;
  bool active_ = false;
  std::string font_name_;
  int font_height_ = 0;
  TXPColor font_color_ = clMenuText;
  UniqueGdiObject font_;
  std::atomic<int> items_drawn_{0};
};

}  // namespace parlix

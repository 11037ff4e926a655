// The main window's one menu, UtilsPopup: opened from the minimize button's right click and
// from the tray icon, drawn by its XPMenu1 renderer with an image per item.
#pragma once

#include <windows.h>

#include <memory>

#include "widgets/images_win.h"
#include "widgets/xp_menu_win.h"

namespace parlix {

// Command identifiers of the items of UtilsPopup.
enum TMenuCommand : UINT {
  kRestoreBt = 100,
  kStayontopBt,
  kMonitorclpBt,
  kGoogleWebpageBt,
  kConfigurationBt,
  kExitBt,
  kAboutBt,
  kMoreProductsBt,
};

class TUtilsMenu {
 public:
  // The menu and its renderer, owned by `owner`, whose WM_MEASUREITEM and WM_DRAWITEM come
  // to HandleOwnerDraw.
  explicit TUtilsMenu(HWND owner);

  HMENU UtilsPopup() const { return popup_.Get(); }
  TXPMenu* XPMenu1() const { return xp_menu1_.get(); }

  // The service file adds "More free products..." once per run, at the end.
  void AddProductsMenuItem();
  // Shows the menu at `at` with the two check marks as given; the command chosen, 0 for none.
  UINT Track(POINT at, bool stay_on_top, bool monitor_clipboard);
  // True when the message was the renderer's (answered TRUE).
  bool HandleOwnerDraw(UINT msg, LPARAM lparam);

 private:
  void SetItemImage(UINT command, int image);

  HWND owner_;
  UniqueImageList images_;
  UniqueMenu popup_;
  std::unique_ptr<TXPMenu> xp_menu1_;
};

}  // namespace parlix

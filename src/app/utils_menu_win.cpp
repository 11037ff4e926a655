#include "app/utils_menu_win.h"

#include "app/xp_menu1_win.h"
#include "service/service_file.h"

namespace parlix {

TUtilsMenu::TUtilsMenu(HWND owner) : owner_(owner), images_(LoadMenuImages()), popup_(CreatePopupMenu()) {
  const struct {
    UINT command;
    const char* caption;
    int image;
  } items[] = {
      {kRestoreBt, "Restore Parlix", kMenuImageRestore},
      {kStayontopBt, "Stay on-top", kMenuImagePinFlat},
      {kMonitorclpBt, "Translate from clipboard", kMenuImageClipboard},
      {kGoogleWebpageBt, "Open Google web page...", kMenuImageWebPage},
      {kConfigurationBt, "Configuration...", kMenuImageConfiguration},
      {kExitBt, "Exit", kMenuImageExit},
      {kAboutBt, "About...", kMenuImageAbout},
  };
  for (const auto& item : items) {
    AppendMenuA(popup_.Get(), MF_STRING, item.command, item.caption);
    SetItemImage(item.command, item.image);
  }
  SetMenuDefaultItem(popup_.Get(), kRestoreBt, FALSE);
  xp_menu1_ = std::make_unique<TXPMenu>(owner);
  SetUpXPMenu1(*xp_menu1_);
  xp_menu1_->AddMenu(popup_.Get(), images_.Get());
  xp_menu1_->SetActive(true);
}

// XPMenu1 draws every item; the image index rides in the item data.
void TUtilsMenu::SetItemImage(UINT command, int image) { SetMenuItemImageIndex(popup_.Get(), command, image); }

bool TUtilsMenu::HandleOwnerDraw(UINT msg, LPARAM lparam) {
  if (msg == WM_MEASUREITEM) return xp_menu1_->MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
  if (msg == WM_DRAWITEM) return xp_menu1_->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
  return false;
}

void TUtilsMenu::AddProductsMenuItem() {
  if (GetMenuState(popup_.Get(), kMoreProductsBt, MF_BYCOMMAND) != static_cast<UINT>(-1)) return;
  AppendMenuA(popup_.Get(), MF_STRING, kMoreProductsBt, kMoreProductsCaption);
  SetItemImage(kMoreProductsBt, kMoreProductsImageIndex);
  xp_menu1_->MenuItemInserted();
}

UINT TUtilsMenu::Track(POINT at, bool stay_on_top, bool monitor_clipboard) {
  CheckMenuItem(popup_.Get(), kStayontopBt, stay_on_top ? MF_CHECKED : MF_UNCHECKED);
  SetItemImage(kStayontopBt, stay_on_top ? kMenuImagePinIn : kMenuImagePinFlat);
  CheckMenuItem(popup_.Get(), kMonitorclpBt, monitor_clipboard ? MF_CHECKED : MF_UNCHECKED);
  SetItemImage(kMonitorclpBt, monitor_clipboard ? kMenuImageClipboardOn : kMenuImageClipboard);
  // The menu's owner must be in front, or the menu does not close when clicking elsewhere.
  SetForegroundWindow(owner_);
  const UINT command = TrackPopupMenu(popup_.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner_, nullptr);
  PostMessageA(owner_, WM_NULL, 0, 0);
  return command;
}

}  // namespace parlix

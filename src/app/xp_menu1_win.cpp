#include "app/xp_menu1_win.h"

namespace parlix {

void SetUpXPMenu1(TXPMenu& menu) {
  menu.SetFont("Tahoma", -11, clMenuText);
  TXPProperties& p = menu.Props();
  p.Color = 0xC7C7C7;
  p.IconBackColor = clSilver;
  menu.SetMenuBarColor(clGray);
  p.SelectColor = 0xF5DBAF;
  p.SelectBorderColor = 0xFFAC80;
  p.SelectFontColor = clBlack;
  p.DisabledColor = clGray;
  p.SeparatorColor = clGray;
  p.CheckedColor = clHighlight;
  p.IconWidth = 24;
  p.DrawSelect = true;
  menu.SetUseSystemColors(false);
  menu.SetOverrideOwnerDraw(false);
  p.Gradient = true;
  p.FlatMenu = false;
  p.AutoDetect = true;
}

}  // namespace parlix

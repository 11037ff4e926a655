// The look of the main window's menu renderer, XPMenu1.
#pragma once

#include "widgets/xp_menu_win.h"

namespace parlix {

// Gives the renderer the main window's values; Active is left to the caller, to be set once
// the menus are added.
void SetUpXPMenu1(TXPMenu& menu);

}  // namespace parlix

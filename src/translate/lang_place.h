// Where the language window opens: left of and above the main window's language button.
#pragma once

#include "translate/result_place.h"

namespace parlix {

// The window's lower right corner comes 4 pixels past the button's offset inside its panel
// (main_left + button_left + 4, main_top + button_top + 4), so with the main window's layout
// it stands just above the language button. A side that would start off the left or top
// edge of the main window's monitor starts 10 pixels in instead.
TWindowPos LanguageWindowPosition(int main_left, int main_top, int button_left, int button_top, int width,
                                  int height, TScreenOrigin monitor = {});

}  // namespace parlix

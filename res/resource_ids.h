// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_MAINICON 1

// Bitmaps drawn by tools/gen_images.py.
#define IDB_FLAGS 101         // six 9 x 6 flags in the language names' order, side by side
#define IDB_LANGUAGES_BT 102  // 16 x 16 normal and disabled, side by side; magenta is transparent
#define IDB_TRANSLATE_BT 103  // 16 x 16 normal and disabled, side by side; magenta is transparent
#define IDB_MINIMIZE_BT 104   // one 16 x 16 image; magenta is transparent
#define IDB_MENU_IMAGES 105   // twelve 16 x 16 menu images, side by side; magenta is transparent
#define IDB_ABOUT_PICTURE 106  // 128 x 128, the about window's picture; magenta is transparent
#define IDB_CLOSE_GLYPH 107   // 16 x 16, the configuration window's close cross; magenta is transparent

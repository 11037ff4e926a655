// The program's own images from its resources: flags, button images, menu images, tray icons.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "platform/handles_win.h"

namespace parlix {

struct ImageListTraits {
  static HIMAGELIST Invalid() { return nullptr; }
  static void Close(HIMAGELIST list) { ImageList_Destroy(list); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON icon) { DestroyIcon(icon); }
};
using UniqueImageList = UniqueResource<HIMAGELIST, ImageListTraits>;
using UniqueIcon = UniqueResource<HICON, IconTraits>;

inline constexpr int kFlagWidth = 9;
inline constexpr int kFlagHeight = 6;
inline constexpr int kFlagCount = 6;
inline constexpr int kMenuImageSize = 16;
inline constexpr int kMenuImageCount = 12;
inline constexpr int kButtonImageSize = 16;

// Indices into the menu images.
enum TMenuImage : int {
  kMenuImageRestore = 0,      // two overlapping windows
  kMenuImagePinFlat = 1,      // "Stay on-top" off
  kMenuImagePinIn = 2,        // "Stay on-top" on
  kMenuImageWindow = 3,
  kMenuImageSquare = 4,
  kMenuImageClipboard = 5,    // "Translate from clipboard" off
  kMenuImageClipboardOn = 6,  // "Translate from clipboard" on
  kMenuImageWebPage = 7,
  kMenuImageConfiguration = 8,
  kMenuImageExit = 9,
  kMenuImageAbout = 10,
  kMenuImageMoreProducts = 11,
};

enum class TButtonImage { kLanguages, kTranslate, kMinimize };

// Six 9 x 6 flags, one per language, in the language names' order (LangImages).
UniqueImageList LoadFlagImages();
// Twelve 16 x 16 menu images with magenta transparent (MenuImages).
UniqueImageList LoadMenuImages();

// A button's bitmap as stored: 32 x 16 holding the normal and the disabled image side by side
// (kLanguages, kTranslate), or one 16 x 16 image (kMinimize).
UniqueGdiObject LoadButtonBitmap(TButtonImage button);
// The same as a 16 x 16 image list (2 images, or 1 for kMinimize) whose transparent colour is
// the bitmap's bottom-left pixel.
UniqueImageList LoadButtonImageList(TButtonImage button);

// The tray icon's animation frames "TRAYICON0" (0) and "TRAYICON1" (1), at the small icon size.
UniqueIcon LoadTrayIconFrame(int frame);

}  // namespace parlix

#include "widgets/images_win.h"

#include "../../res/resource_ids.h"
#include "widgets/palette_win.h"

namespace parlix {

namespace {


UniqueGdiObject LoadBitmapResource(int id) {
  // A DIB section keeps the drawn colours exactly, whatever the screen's depth.
  return UniqueGdiObject(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                                    LR_CREATEDIBSECTION));
}

bool BitmapSize(HGDIOBJ bitmap, int& width, int& height) {
  BITMAP bm{};
  if (GetObjectA(bitmap, sizeof(bm), &bm) == 0) return false;
  width = bm.bmWidth;
  height = bm.bmHeight;
  return true;
}

COLORREF BottomLeftPixel(HGDIOBJ bitmap, int height) {
  const UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!dc) return CLR_INVALID;
  HGDIOBJ old = SelectObject(dc.Get(), bitmap);
  const COLORREF color = GetPixel(dc.Get(), 0, height - 1);
  SelectObject(dc.Get(), old);
  return color;
}

// A list of width x height images cut from a strip; with a mask colour, pixels of that
// colour are transparent.
UniqueImageList ImageListFromStrip(int id, int width, int height, bool masked, COLORREF mask = CLR_NONE) {
  UniqueGdiObject bitmap = LoadBitmapResource(id);
  int strip_width = 0;
  int strip_height = 0;
  if (!bitmap || !BitmapSize(bitmap.Get(), strip_width, strip_height)) return {};
  if (strip_height != height || strip_width < width || strip_width % width != 0) return {};
  if (masked && mask == CLR_NONE) mask = BottomLeftPixel(bitmap.Get(), strip_height);
  if (masked && mask == CLR_INVALID) return {};
  const int count = strip_width / width;
  UniqueImageList list(ImageList_Create(width, height, ILC_COLOR24 | (masked ? ILC_MASK : 0), count, 0));
  if (!list) return {};
  auto* hbitmap = static_cast<HBITMAP>(bitmap.Get());
  const int first = masked ? ImageList_AddMasked(list.Get(), hbitmap, mask) : ImageList_Add(list.Get(), hbitmap, nullptr);
  if (first < 0 || ImageList_GetImageCount(list.Get()) != count) return {};
  return list;
}

int ButtonResource(TButtonImage button) {
  switch (button) {
    case TButtonImage::kLanguages: return IDB_LANGUAGES_BT;
    case TButtonImage::kTranslate: return IDB_TRANSLATE_BT;
    case TButtonImage::kMinimize: return IDB_MINIMIZE_BT;
  }
  return 0;
}

}  // namespace

UniqueImageList LoadFlagImages() { return ImageListFromStrip(IDB_FLAGS, kFlagWidth, kFlagHeight, false); }

UniqueImageList LoadMenuImages() {
  return ImageListFromStrip(IDB_MENU_IMAGES, kMenuImageSize, kMenuImageSize, true, kTransparentColor);
}

UniqueGdiObject LoadButtonBitmap(TButtonImage button) { return LoadBitmapResource(ButtonResource(button)); }

UniqueImageList LoadButtonImageList(TButtonImage button) {
  return ImageListFromStrip(ButtonResource(button), kButtonImageSize, kButtonImageSize, true);
}

UniqueIcon LoadTrayIconFrame(int frame) {
  if (frame != 0 && frame != 1) return {};
  const char* name = frame == 0 ? "TRAYICON0" : "TRAYICON1";
  return UniqueIcon(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                  LR_DEFAULTCOLOR)));
}

}  // namespace parlix

#include "app/main_form_art_win.h"

#include "translate/pair_label_win.h"
#include "widgets/title_gradient_win.h"

namespace parlix {

HBITMAP CreateTitleGradientBitmap(COLORREF corner, COLORREF base, int width, int height) {
  return static_cast<HBITMAP>(PaintTitleGradient(corner, base, width, height).Release());
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (bitmap == nullptr) return;
  BITMAP info{};
  GetObjectA(bitmap, sizeof(info), &info);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

HBITMAP LoadButtonImages(TButtonImage which) {
  static UniqueGdiObject strips[3];
  UniqueGdiObject& strip = strips[static_cast<int>(which)];
  if (!strip) strip = LoadButtonBitmap(which);
  return static_cast<HBITMAP>(strip.Get());
}

// The label's font is the one the paint box has selected.
void PaintPairLabel(HDC dc, int pair, bool with_key) {
  static const UniqueImageList flags = LoadFlagImages();
  PaintPairLabel(dc, pair, with_key, flags.Get(), nullptr);
}

}  // namespace parlix

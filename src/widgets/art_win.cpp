#include "widgets/art_win.h"

namespace parlix {

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (bitmap == nullptr) return;
  BITMAP info{};
  GetObjectA(bitmap, sizeof(info), &info);
  const UniqueMemoryDC source(CreateCompatibleDC(dc));
  if (!source) return;
  HGDIOBJ old = SelectObject(source.Get(), bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
  SelectObject(source.Get(), old);
}

HBITMAP LoadButtonImages(TButtonImage which) {
  static UniqueGdiObject strips[3];
  UniqueGdiObject& strip = strips[static_cast<int>(which)];
  if (!strip) strip = LoadButtonBitmap(which);
  return static_cast<HBITMAP>(strip.Get());
}

}  // namespace parlix

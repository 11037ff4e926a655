#include "app/main_form_art_win.h"

#include <string>

#include "translate/language_pairs.h"

namespace parlix {

HBITMAP CreateTitleGradientBitmap(COLORREF, COLORREF base, int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT r{0, 0, width, height};
  HBRUSH brush = CreateSolidBrush(base);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
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

HBITMAP LoadButtonImages(TButtonImage) { return nullptr; }

void PaintPairLabel(HDC dc, int pair, bool) {
  if (!IsValidPair(pair)) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(45, 45, 80));
  const std::string text = std::string(LanguageNames[PairSource[pair]]) + " to " +
                           std::string(LanguageNames[PairTarget[pair]]);
  TextOutA(dc, 12, 1, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace parlix

// The gradient painted into a real bitmap and read back through GDI.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "widgets/title_gradient_win.h"

namespace parlix {
namespace {

struct TBitmapPixels {
  int width = 0;
  std::vector<RGBQUAD> pixels;  // top-down
  COLORREF At(int x, int y) const {
    const RGBQUAD& q = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
  }
};

TBitmapPixels ReadBitmap(HBITMAP bitmap) {
  BITMAP bm{};
  if (GetObjectA(bitmap, sizeof(bm), &bm) == 0) return {};
  TBitmapPixels out{bm.bmWidth,
                    std::vector<RGBQUAD>(static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bm.bmHeight))};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = bm.bmWidth;
  info.bmiHeader.biHeight = -bm.bmHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), out.pixels.data(), &info,
                             DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != bm.bmHeight) return {};
  return out;
}

TEST(PaintTitleGradient, MainWindowStripReadBackThroughGetDIBits) {
  UniqueGdiObject image = PaintTitleGradient(0x505050, 0x808080, 150, 18);
  ASSERT_TRUE(image);
  BITMAP bm{};
  ASSERT_NE(GetObjectA(image.Get(), sizeof(bm), &bm), 0);
  EXPECT_EQ(std::tuple(bm.bmWidth, bm.bmHeight, bm.bmBitsPixel), std::tuple(150L, 18L, WORD{24}));

  const TBitmapPixels px = ReadBitmap(static_cast<HBITMAP>(image.Get()));
  ASSERT_EQ(px.width, 150);
  // Values worked out in title_gradient_test.cpp: channel = round(128 - 48 f).
  EXPECT_EQ(px.At(0, 0), RGB(0x50, 0x50, 0x50));
  EXPECT_EQ(px.At(149, 0), RGB(127, 127, 127));
  EXPECT_EQ(px.At(0, 17), RGB(124, 124, 124));
  EXPECT_EQ(px.At(149, 17), RGB(128, 128, 128));
  EXPECT_EQ(px.At(100, 6), RGB(107, 107, 107));
  EXPECT_EQ(px.At(30, 3), RGB(84, 84, 84));
}

TEST(PaintTitleGradient, PixelsThroughASelectedDeviceContext) {
  // Corner red 0xFF, green 0x00, blue 0x20 fading to red 0x00, green 0x80, blue 0xC0.
  UniqueGdiObject image = PaintTitleGradient(0x2000FF, 0xC08000, 150, 18);
  ASSERT_TRUE(image);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ old = SelectObject(dc, image.Get());
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0xFF, 0x00, 0x20));
  EXPECT_EQ(GetPixel(dc, 40, 5), RGB(211, 22, 60));
  EXPECT_EQ(GetPixel(dc, 120, 10), RGB(51, 103, 160));
  // Outside the bitmap there is nothing to read.
  EXPECT_EQ(GetPixel(dc, 150, 0), CLR_INVALID);
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST(PaintTitleGradient, NoBitmapForAnEmptySize) {
  EXPECT_FALSE(PaintTitleGradient(0x505050, 0x808080, 0, 18));
  EXPECT_FALSE(PaintTitleGradient(0x505050, 0x808080, 150, -1));
}

}  // namespace
}  // namespace parlix

#include "support/dib_canvas_win.h"

#include <algorithm>

namespace parlix::test {

TDibCanvas::TDibCanvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap_ == nullptr) return;
  dc_ = CreateCompatibleDC(nullptr);
  if (dc_ == nullptr) return;
  old_bitmap_ = SelectObject(dc_, bitmap_);
  bits_ = static_cast<std::uint32_t*>(bits);
  const std::uint32_t value = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
  std::fill(bits_, bits_ + static_cast<size_t>(width_) * static_cast<size_t>(height_), value);
}

TDibCanvas::~TDibCanvas() {
  if (dc_ != nullptr) {
    SelectObject(dc_, old_bitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

COLORREF TDibCanvas::Pixel(int x, int y) const {
  if (!Ok() || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  GdiFlush();
  const std::uint32_t v = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int TDibCanvas::CountOther(int x0, int y0, int x1, int y1, COLORREF color) const {
  int count = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (Pixel(x, y) != color) ++count;
  return count;
}

bool TDibCanvas::AllOf(int x0, int y0, int x1, int y1, COLORREF color) const {
  return CountOther(x0, y0, x1, y1, color) == 0;
}

}  // namespace parlix::test

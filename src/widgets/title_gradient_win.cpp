#include "widgets/title_gradient_win.h"

#include <cstdint>
#include <vector>

#include "widgets/title_gradient.h"

namespace parlix {

UniqueGdiObject PaintTitleGradient(COLORREF corner, COLORREF base, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, so row 0 of the gradient is the first row in memory
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return {};

  // A 24-bit section keeps the base colour exactly, so it needs no read-back through a
  // device context before it is used as the fade's end.
  const std::vector<TRgb> pixels = TitleGradient(corner, base, width, height);
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  auto* rows = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = rows + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      const TRgb& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      out[0] = p.b;
      out[1] = p.g;
      out[2] = p.r;
      out += 3;
    }
  }
  GdiFlush();
  return bitmap;
}

}  // namespace parlix

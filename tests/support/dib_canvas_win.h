// A memory device context over a 32-bit top-down DIB section, for painting tests that read
// back exact pixels.
#pragma once

#include <windows.h>

#include <cstdint>

namespace parlix::test {

class TDibCanvas {
 public:
  TDibCanvas(int width, int height, COLORREF fill);
  TDibCanvas(const TDibCanvas&) = delete;
  TDibCanvas& operator=(const TDibCanvas&) = delete;
  ~TDibCanvas();

  bool Ok() const { return dc_ != nullptr && bits_ != nullptr; }
  HDC Dc() const { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // CLR_INVALID outside the canvas.
  COLORREF Pixel(int x, int y) const;
  // True when every pixel of the rectangle [x0, x1) x [y0, y1) has the colour.
  bool AllOf(int x0, int y0, int x1, int y1, COLORREF color) const;
  // Pixels of the rectangle that differ from the colour.
  int CountOther(int x0, int y0, int x1, int y1, COLORREF color) const;

 private:
  int width_ = 0;
  int height_ = 0;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

}  // namespace parlix::test

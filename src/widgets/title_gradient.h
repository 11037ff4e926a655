// The title strips' gradient: a corner colour that fades to the strip's base colour towards
// the right and downwards, as a quarter cosine in each direction.
#pragma once

#include <cstdint>
#include <vector>

namespace parlix {

// One pixel, channels in bytes.
struct TRgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

// Colours are 0xBBGGRR, blue in the high byte (the same layout as COLORREF).
TRgb SplitColor(std::uint32_t color);
std::uint32_t JoinColor(TRgb rgb);

// round(f * (to - from) + from), ties to even, clamped to a byte.
std::uint8_t MixChannel(double f, int to, int from);

// The weight of the corner colour at (x, y) in a width x height strip:
// cos(x * (pi/2) / width) * cos(y * (pi/2) / height).
double GradientWeight(int x, int y, int width, int height);

TRgb TitleGradientPixel(TRgb corner, TRgb base, int x, int y, int width, int height);

// All pixels, row by row from the top; empty when either side is not positive.
std::vector<TRgb> TitleGradient(std::uint32_t corner, std::uint32_t base, int width, int height);

}  // namespace parlix

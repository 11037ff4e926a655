#include "widgets/title_gradient.h"

#include <cmath>
#include <numbers>

namespace parlix {

TRgb SplitColor(std::uint32_t color) {
  return TRgb{static_cast<std::uint8_t>(color & 0xFF), static_cast<std::uint8_t>((color >> 8) & 0xFF),
              static_cast<std::uint8_t>((color >> 16) & 0xFF)};
}

std::uint32_t JoinColor(TRgb rgb) {
  return static_cast<std::uint32_t>(rgb.r) | (static_cast<std::uint32_t>(rgb.g) << 8) |
         (static_cast<std::uint32_t>(rgb.b) << 16);
}

std::uint8_t MixChannel(double f, int to, int from) {
  // nearbyint under the default rounding mode rounds halves to even, like the strip always has.
  const double value = std::nearbyint(f * (to - from) + from);
  if (!(value > 0)) return 0;  // also catches NaN
  if (value > 255) return 255;
  return static_cast<std::uint8_t>(value);
}

double GradientWeight(int x, int y, int width, int height) {
  const double half_pi = std::numbers::pi / 2;
  const double fy = std::cos(y * half_pi / height);
  const double fx = std::cos(x * half_pi / width);
  return fx * fy;
}

TRgb TitleGradientPixel(TRgb corner, TRgb base, int x, int y, int width, int height) {
  const double f = GradientWeight(x, y, width, height);
  return TRgb{MixChannel(f, corner.r, base.r), MixChannel(f, corner.g, base.g), MixChannel(f, corner.b, base.b)};
}

std::vector<TRgb> TitleGradient(std::uint32_t corner, std::uint32_t base, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  const TRgb c = SplitColor(corner);
  const TRgb b = SplitColor(base);
  std::vector<TRgb> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(TitleGradientPixel(c, b, x, y, width, height));
  return pixels;
}

}  // namespace parlix

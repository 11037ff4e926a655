#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "widgets/title_gradient.h"

namespace parlix {
namespace {

TEST(TitleGradientColor, SplitsAndJoinsBlueInTheHighByte) {
  EXPECT_EQ(SplitColor(0x0000FF), (TRgb{0xFF, 0x00, 0x00}));
  EXPECT_EQ(SplitColor(0xFF0000), (TRgb{0x00, 0x00, 0xFF}));
  EXPECT_EQ(SplitColor(0xF5DBAF), (TRgb{0xAF, 0xDB, 0xF5}));
  // Anything above the blue byte is not a colour channel.
  EXPECT_EQ(SplitColor(0x7F123456), (TRgb{0x56, 0x34, 0x12}));
  EXPECT_EQ(JoinColor(TRgb{0xAF, 0xDB, 0xF5}), 0xF5DBAFu);
  EXPECT_EQ(JoinColor(SplitColor(0x505050)), 0x505050u);
}

// Exact halves go to the even neighbour, whichever side the base lies on.
TEST(TitleGradientRounding, HalvesGoToEven) {
  EXPECT_EQ(MixChannel(0.5, 81, 80), 80);   // 80.5
  EXPECT_EQ(MixChannel(0.5, 83, 80), 82);   // 81.5
  EXPECT_EQ(MixChannel(0.25, 82, 80), 80);  // 80.5
  EXPECT_EQ(MixChannel(0.75, 82, 80), 82);  // 81.5
  EXPECT_EQ(MixChannel(0.5, 0, 5), 2);      // 2.5, falling towards the corner
  EXPECT_EQ(MixChannel(0.5, 0, 7), 4);      // 3.5
  EXPECT_EQ(MixChannel(0.5, 254, 255), 254);  // 254.5
  EXPECT_EQ(MixChannel(0.5, 0, 1), 0);        // 0.5
  // Not halves: plain nearest.
  EXPECT_EQ(MixChannel(0.26, 82, 80), 81);  // 80.52
  EXPECT_EQ(MixChannel(0.24, 83, 80), 81);  // 80.72
  EXPECT_EQ(MixChannel(0.1, 0, 80), 72);    // 72.0
}

TEST(TitleGradientRounding, EndsOfTheWeight) {
  EXPECT_EQ(MixChannel(1.0, 0x50, 0x80), 0x50);
  EXPECT_EQ(MixChannel(0.0, 0x50, 0x80), 0x80);
  EXPECT_EQ(MixChannel(1.0, 255, 0), 255);
  EXPECT_EQ(MixChannel(0.0, 255, 0), 0);
}

TEST(TitleGradientWeight, QuarterCosineEachWay) {
  EXPECT_DOUBLE_EQ(GradientWeight(0, 0, 150, 18), 1.0);
  // Half way across (x = W/2): cos(pi/4) = 0.70711.
  EXPECT_NEAR(GradientWeight(75, 0, 150, 18), 0.7071067811865476, 1e-12);
  EXPECT_NEAR(GradientWeight(0, 9, 150, 18), 0.7071067811865476, 1e-12);
  // Last column: cos(149 * pi / 300) = sin(pi / 300) = 0.0104718.
  EXPECT_NEAR(GradientWeight(149, 0, 150, 18), 0.0104717841, 1e-9);
  // x = 100 of 150 is pi/3 (0.5), y = 6 of 18 is pi/6 (0.8660254): 0.4330127.
  EXPECT_NEAR(GradientWeight(100, 6, 150, 18), 0.4330127019, 1e-9);
}

// The main window's strip: 150 x 18, corner 0x505050 on the panel grey 0x808080; every
// channel is round(128 - 48 f).
TEST(TitleGradient, MainWindowStripAtChosenPixels) {
  const std::vector<TRgb> pixels = TitleGradient(0x505050, 0x808080, 150, 18);
  ASSERT_EQ(pixels.size(), 150u * 18u);
  auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * 150 + static_cast<std::size_t>(x)]; };
  const auto grey = [](std::uint8_t v) { return TRgb{v, v, v}; };
  EXPECT_EQ(at(0, 0), grey(0x50));  // f = 1: the corner colour itself
  // f = 0.0104718: 128 - 0.50265 = 127.497 -> 127 (just under the half).
  EXPECT_EQ(at(149, 0), grey(127));
  // f = cos(17 pi / 36) = sin(pi / 36) = 0.0871557: 128 - 4.1835 = 123.816 -> 124.
  EXPECT_EQ(at(0, 17), grey(124));
  // f = 0.0104718 * 0.0871557 = 0.000913: 127.956 -> 128, the base colour.
  EXPECT_EQ(at(149, 17), grey(128));
  // f = 0.4330127: 128 - 20.7846 = 107.215 -> 107.
  EXPECT_EQ(at(100, 6), grey(107));
  // x = 30: cos(pi/10) = 0.9510565; y = 3: cos(pi/12) = 0.9659258; f = 0.9186501:
  // 128 - 44.0952 = 83.905 -> 84.
  EXPECT_EQ(at(30, 3), grey(84));
}

// Channels move independently, up or down, each towards its own base value.
TEST(TitleGradient, ChannelsFadeIndependently) {
  // Corner red 0xFF, green 0x00, blue 0x20; base red 0x00, green 0x80, blue 0xC0.
  const std::vector<TRgb> pixels = TitleGradient(0x2000FF, 0xC08000, 150, 18);
  ASSERT_EQ(pixels.size(), 150u * 18u);
  EXPECT_EQ(pixels[0], (TRgb{0xFF, 0x00, 0x20}));
  // (40, 5): fx = cos(40 pi / 300) = 0.9135455, fy = cos(5 pi / 36) = 0.9063078, f = 0.8279478:
  // red 255 f = 211.13 -> 211; green 128 - 128 f = 22.02 -> 22; blue 192 - 160 f = 59.53 -> 60.
  EXPECT_EQ(pixels[5 * 150 + 40], (TRgb{211, 22, 60}));
  // (120, 10): fx = cos(0.4 pi) = 0.3090170, fy = cos(10 pi / 36) = 0.6427876, f = 0.1986331:
  // red 50.65 -> 51; green 102.58 -> 103; blue 160.22 -> 160.
  EXPECT_EQ(pixels[10 * 150 + 120], (TRgb{51, 103, 160}));
}

TEST(TitleGradient, FadesMonotonicallyAwayFromTheCorner) {
  const std::vector<TRgb> pixels = TitleGradient(0x000000, 0xFFFFFF, 64, 16);
  ASSERT_EQ(pixels.size(), 64u * 16u);
  for (int y = 0; y < 16; ++y)
    for (int x = 1; x < 64; ++x) EXPECT_GE(pixels[y * 64 + x].r, pixels[y * 64 + x - 1].r) << x << "," << y;
  for (int x = 0; x < 64; ++x)
    for (int y = 1; y < 16; ++y) EXPECT_GE(pixels[y * 64 + x].g, pixels[(y - 1) * 64 + x].g) << x << "," << y;
}

TEST(TitleGradient, OneByOneAndEmptySizes) {
  EXPECT_EQ(TitleGradient(0x112233, 0xFFFFFF, 1, 1), std::vector<TRgb>{SplitColor(0x112233)});
  for (const auto& [width, height] : {std::pair{0, 18}, {150, 0}, {-3, 18}})
    EXPECT_TRUE(TitleGradient(0x112233, 0xFFFFFF, width, height).empty()) << width << " x " << height;
}

}  // namespace
}  // namespace parlix

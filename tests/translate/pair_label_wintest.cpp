// The pair label painted into a memory bitmap and read back pixel by pixel.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "support/dib_canvas_win.h"
#include "translate/language_pairs.h"
#include "translate/pair_label_win.h"
#include "widgets/images_win.h"

namespace parlix {
namespace {

using test::TDibCanvas;

constexpr COLORREF kBackground = RGB(0xE6, 0xE6, 0xE6);
constexpr int kWidth = 220;
constexpr int kHeight = 17;

class PairLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    flags_ = LoadFlagImages();
    ASSERT_TRUE(flags_);
    // Without smoothing every text pixel has exactly the label's colour.
    font_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    ASSERT_NE(font_, nullptr);
  }
  void TearDown() override {
    if (font_ != nullptr) DeleteObject(font_);
  }

  // Whether the 9 x 6 block at (x, 5) shows flag `language` exactly.
  bool FlagAt(const TDibCanvas& canvas, int x, int language) const {
    TDibCanvas reference(kFlagWidth, kFlagHeight, kBackground);
    ImageList_Draw(flags_.Get(), language, reference.Dc(), 0, 0, ILD_NORMAL);
    for (int y = 0; y < kFlagHeight; ++y)
      for (int dx = 0; dx < kFlagWidth; ++dx)
        if (canvas.Pixel(x + dx, 5 + y) != reference.Pixel(dx, y)) return false;
    return true;
  }

  // Leftmost x >= from where the flag lies at y = 5, or -1.
  int FindFlag(const TDibCanvas& canvas, int language, int from) const {
    for (int x = from; x + kFlagWidth <= canvas.Width(); ++x)
      if (FlagAt(canvas, x, language)) return x;
    return -1;
  }

  int Extent(const std::string& text) const {
    TDibCanvas scratch(1, 1, kBackground);
    HGDIOBJ old = SelectObject(scratch.Dc(), font_);
    SIZE size{};
    GetTextExtentPoint32A(scratch.Dc(), text.data(), static_cast<int>(text.size()), &size);
    SelectObject(scratch.Dc(), old);
    return size.cx;
  }

  // The canvas as characters ('#' text, '.' background, 'o' other), for failure messages.
  static std::string Picture(const TDibCanvas& canvas, int x0, int x1) {
    std::string out = "\n";
    for (int y = 0; y < canvas.Height(); ++y) {
      for (int x = std::max(0, x0); x < std::min(canvas.Width(), x1); ++x) {
        const COLORREF c = canvas.Pixel(x, y);
        out += c == kPairLabelTextColor ? '#' : c == kBackground ? '.' : 'o';
      }
      out += '\n';
    }
    return out;
  }

  static int TextPixels(const TDibCanvas& canvas, int x0, int x1) {
    return (x1 - x0) * canvas.Height() - canvas.CountOther(x0, 0, x1, canvas.Height(), kPairLabelTextColor);
  }

  UniqueImageList flags_;
  HFONT font_ = nullptr;
};

TEST_F(PairLabelTest, FlagsAndNamesOfEveryPairInPlace) {
  for (int pair = 0; pair < kPairCount; ++pair) {
    SCOPED_TRACE(pair);
    const int s = PairSource[pair];
    const int t = PairTarget[pair];
    TDibCanvas canvas(kWidth, kHeight, kBackground);
    ASSERT_TRUE(canvas.Ok());
    PaintPairLabel(canvas.Dc(), pair, false, flags_.Get(), font_);

    EXPECT_TRUE(FlagAt(canvas, 0, s)) << "source flag not at (0, 5)";
    // Nothing but the flag left of the text, which starts at 12.
    EXPECT_EQ(TextPixels(canvas, 0, 12), 0);
    EXPECT_TRUE(canvas.AllOf(0, 0, 12, 5, kBackground));

    const int target_x = FindFlag(canvas, t, kFlagWidth);
    ASSERT_GT(target_x, 12) << "target flag not found";
    // The source name and " to" fill the space between, then a gap of two pixels.
    EXPECT_EQ(target_x, 12 + Extent(std::string(LanguageNames[s]) + " to") + 2);
    EXPECT_GT(TextPixels(canvas, 12, target_x), 20);
    // The target's name follows its flag and ends where its extent says.
    const int name_x = target_x + kFlagWidth + 3;
    // A glyph may reach one pixel past its advance (the "h" of "Spanish" in Tahoma does).
    const int name_end = name_x + Extent(std::string(LanguageNames[t])) + 1;
    EXPECT_GT(TextPixels(canvas, name_x, name_end), 10);
    EXPECT_TRUE(canvas.AllOf(name_end, 0, kWidth, kHeight, kBackground)) << "something painted after the name at " << name_end << Picture(canvas, name_x, kWidth);
  }
}

TEST_F(PairLabelTest, TextHasNoBackgroundOfItsOwn) {
  for (COLORREF background : {kBackground, RGB(0x12, 0x80, 0xF0)}) {
    TDibCanvas canvas(kWidth, kHeight, background);
    PaintPairLabel(canvas.Dc(), 0, true, flags_.Get(), font_);
    // Between the flags every pixel is either text or the untouched background.
    const int target_x = FindFlag(canvas, PairTarget[0], kFlagWidth);
    ASSERT_GT(target_x, 12);
    EXPECT_EQ(canvas.CountOther(12, 0, target_x, kHeight, background), TextPixels(canvas, 12, target_x))
        << std::hex << background << Picture(canvas, 12, target_x);
  }
}

// The key stands right of the target name only with withKey, in a smaller font; everything
// left of it is the same either way.
TEST_F(PairLabelTest, KeyOnlyWithWithKey) {
  int key_columns[kPairCount] = {};
  for (int pair = 0; pair < kPairCount; ++pair) {
    SCOPED_TRACE(pair);
    TDibCanvas plain(kWidth, kHeight, kBackground);
    TDibCanvas keyed(kWidth, kHeight, kBackground);
    PaintPairLabel(plain.Dc(), pair, false, flags_.Get(), font_);
    PaintPairLabel(keyed.Dc(), pair, true, flags_.Get(), font_);
    const int target_x = FindFlag(plain, PairTarget[pair], kFlagWidth);
    ASSERT_GT(target_x, 12);
    // One pixel of overhang allowed, as above; the key starts two pixels after the advance.
    const int name_end = target_x + kFlagWidth + 3 + Extent(std::string(LanguageNames[PairTarget[pair]])) + 1;

    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < name_end; ++x) ASSERT_EQ(plain.Pixel(x, y), keyed.Pixel(x, y)) << x << "," << y;
    EXPECT_TRUE(plain.AllOf(name_end, 0, kWidth, kHeight, kBackground));
    EXPECT_TRUE(keyed.AllOf(name_end, 0, name_end + 1, kHeight, kBackground)) << "no gap before the key";

    int top = kHeight;
    int bottom = -1;
    int left = kWidth;
    int right = -1;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = name_end; x < kWidth; ++x) {
        if (keyed.Pixel(x, y) != kPairLabelTextColor) continue;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    ASSERT_GE(bottom, 0) << "no key painted";
    // 5 points at 96 dpi is a 7-pixel character height: its letters are clearly shorter than
    // the 8-pixel capitals of the label's 11-pixel font.
    EXPECT_LE(bottom - top + 1, 6);
    key_columns[pair] = right - left + 1;
  }
  // "F10" to "F12" carry one digit more than "F1" to "F9".
  for (int pair = 9; pair < kPairCount; ++pair) EXPECT_GT(key_columns[pair], key_columns[0]) << pair;
}

TEST_F(PairLabelTest, PairOutsideTheTablePaintsNothing) {
  for (int pair : {-1, kPairCount, 1000}) {
    TDibCanvas canvas(kWidth, kHeight, kBackground);
    PaintPairLabel(canvas.Dc(), pair, true, flags_.Get(), font_);
    EXPECT_TRUE(canvas.AllOf(0, 0, kWidth, kHeight, kBackground)) << pair;
  }
}

TEST_F(PairLabelTest, LeavesTheDeviceContextAsItWas) {
  TDibCanvas canvas(kWidth, kHeight, kBackground);
  HDC dc = canvas.Dc();
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkMode(dc, OPAQUE);
  HGDIOBJ before = GetCurrentObject(dc, OBJ_FONT);
  PaintPairLabel(dc, 11, true, flags_.Get(), font_);
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), before);
}

// Without a font of its own the label uses the one selected into the DC.
TEST_F(PairLabelTest, NullFontUsesTheSelectedOne) {
  TDibCanvas with_font(kWidth, kHeight, kBackground);
  TDibCanvas selected(kWidth, kHeight, kBackground);
  PaintPairLabel(with_font.Dc(), 3, true, flags_.Get(), font_);
  HGDIOBJ old = SelectObject(selected.Dc(), font_);
  PaintPairLabel(selected.Dc(), 3, true, flags_.Get(), nullptr);
  SelectObject(selected.Dc(), old);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) ASSERT_EQ(with_font.Pixel(x, y), selected.Pixel(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace parlix

// The program's images load from its resources with the sizes and counts the windows expect,
// in the right order and with their transparent parts transparent.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "support/dib_canvas_win.h"
#include "widgets/images_win.h"

namespace parlix {
namespace {

using test::TDibCanvas;

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The images' width and height; zero when the list has none.
std::pair<int, int> IconSize(HIMAGELIST list) {
  int cx = 0;
  int cy = 0;
  ImageList_GetIconSize(list, &cx, &cy);
  return {cx, cy};
}

std::vector<COLORREF> DrawImage(HIMAGELIST list, int index, COLORREF background) {
  const auto [cx, cy] = IconSize(list);
  TDibCanvas canvas(cx, cy, background);
  std::vector<COLORREF> out;
  if (!canvas.Ok() || !ImageList_Draw(list, index, canvas.Dc(), 0, 0, ILD_NORMAL)) return out;
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) out.push_back(canvas.Pixel(x, y));
  return out;
}

bool IsGrey(COLORREF c) { return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c); }

struct TBitmapReader {
  explicit TBitmapReader(HGDIOBJ bitmap) : dc(CreateCompatibleDC(nullptr)), old(SelectObject(dc, bitmap)) {}
  ~TBitmapReader() {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;
  HGDIOBJ old;
};

TEST(Images, FlagsAreSixNineBySixInLanguageOrder) {
  UniqueImageList flags = LoadFlagImages();
  ASSERT_TRUE(flags);
  EXPECT_EQ(IconSize(flags.Get()), std::pair(9, 6));
  ASSERT_EQ(ImageList_GetImageCount(flags.Get()), 6);

  std::vector<std::vector<COLORREF>> images;
  for (int i = 0; i < 6; ++i) {
    images.push_back(DrawImage(flags.Get(), i, kMagenta));
    ASSERT_EQ(images.back().size(), 54u) << i;
  }
  auto at = [&](int flag, int x, int y) { return images[flag][static_cast<size_t>(y) * 9 + static_cast<size_t>(x)]; };
  // English: the United States, a blue canton at the top left over red and white stripes.
  EXPECT_EQ(at(0, 0, 0), RGB(60, 59, 110));
  EXPECT_EQ(at(0, 8, 0), RGB(178, 34, 52));
  EXPECT_EQ(at(0, 8, 1), kWhite);
  // French: blue, white, red upright bands.
  EXPECT_EQ(at(1, 0, 3), RGB(0, 35, 149));
  EXPECT_EQ(at(1, 4, 3), kWhite);
  EXPECT_EQ(at(1, 8, 3), RGB(206, 17, 38));
  // German: black, red, gold lying bands.
  EXPECT_EQ(at(2, 4, 0), kBlack);
  EXPECT_EQ(at(2, 4, 2), RGB(206, 17, 38));
  EXPECT_EQ(at(2, 4, 5), RGB(255, 206, 0));
  // Italian: green, white, red upright bands.
  EXPECT_EQ(at(3, 0, 3), RGB(0, 146, 70));
  EXPECT_EQ(at(3, 4, 3), kWhite);
  EXPECT_EQ(at(3, 8, 3), RGB(206, 17, 38));
  // Portuguese: green at the hoist, red at the fly.
  EXPECT_EQ(at(4, 0, 0), RGB(0, 102, 0));
  EXPECT_EQ(at(4, 8, 5), RGB(255, 0, 0));
  // Spanish: red, yellow, red lying bands.
  EXPECT_EQ(at(5, 8, 0), RGB(170, 21, 27));
  EXPECT_EQ(at(5, 6, 3), RGB(255, 196, 0));
  EXPECT_EQ(at(5, 8, 5), RGB(170, 21, 27));
  // Flags are opaque: no transparent colour shows through.
  for (int i = 0; i < 6; ++i)
    for (COLORREF c : images[i]) EXPECT_NE(c, kMagenta) << "flag " << i;
}

// Twelve menu images; magenta parts show the background, every image is drawn and distinct.
TEST(Images, MenuImagesAreTwelveMaskedSixteenBySixteen) {
  UniqueImageList menu = LoadMenuImages();
  ASSERT_TRUE(menu);
  EXPECT_EQ(IconSize(menu.Get()), std::pair(16, 16));
  ASSERT_EQ(ImageList_GetImageCount(menu.Get()), 12);

  std::set<std::vector<COLORREF>> distinct;
  for (int i = 0; i < 12; ++i) {
    const std::vector<COLORREF> on_white = DrawImage(menu.Get(), i, kWhite);
    const std::vector<COLORREF> on_black = DrawImage(menu.Get(), i, kBlack);
    ASSERT_EQ(on_white.size(), 256u) << i;
    ASSERT_EQ(on_black.size(), 256u) << i;
    int transparent = 0;
    for (size_t p = 0; p < 256; ++p) {
      EXPECT_NE(on_white[p], kMagenta) << "image " << i << " pixel " << p;
      if (on_white[p] != on_black[p]) {
        ++transparent;
        EXPECT_EQ(on_white[p], kWhite) << "image " << i << " pixel " << p;
        EXPECT_EQ(on_black[p], kBlack) << "image " << i << " pixel " << p;
      }
    }
    EXPECT_GT(transparent, 0) << "image " << i << " has no transparent part";
    EXPECT_LT(transparent, 256 - 24) << "image " << i << " is nearly empty";
    EXPECT_TRUE(distinct.insert(on_white).second) << "image " << i << " repeats another";
  }
  // A few telling pixels: the red cross (9) is red in the middle, the plus sign (11) white
  // in the middle of a blue disc.
  const std::vector<COLORREF> cross = DrawImage(menu.Get(), kMenuImageExit, kWhite);
  EXPECT_GT(GetRValue(cross[8 * 16 + 8]), 150);
  EXPECT_LT(GetGValue(cross[8 * 16 + 8]), 60);
  const std::vector<COLORREF> plus = DrawImage(menu.Get(), kMenuImageMoreProducts, kWhite);
  EXPECT_EQ(plus[8 * 16 + 8], kWhite);
  EXPECT_GT(GetBValue(plus[2 * 16 + 3]), 150);
  EXPECT_LT(GetRValue(plus[2 * 16 + 3]), 100);
}

TEST(Images, TwoStateButtonsHoldNormalAndGreyDisabledSideBySide) {
  for (TButtonImage button : {TButtonImage::kLanguages, TButtonImage::kTranslate}) {
    SCOPED_TRACE(static_cast<int>(button));
    UniqueGdiObject bitmap = LoadButtonBitmap(button);
    ASSERT_TRUE(bitmap);
    BITMAP bm{};
    ASSERT_NE(GetObjectA(bitmap.Get(), sizeof(bm), &bm), 0);
    EXPECT_EQ(std::pair(bm.bmWidth, bm.bmHeight), std::pair(32L, 16L));
    TBitmapReader px(bitmap.Get());
    EXPECT_EQ(px.At(0, 15), kMagenta);   // the transparent colour's marker
    EXPECT_EQ(px.At(16, 15), kMagenta);
    int coloured = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const COLORREF normal = px.At(x, y);
        const COLORREF disabled = px.At(x + 16, y);
        // Same outline in both states.
        EXPECT_EQ(normal == kMagenta, disabled == kMagenta) << x << "," << y;
        if (disabled != kMagenta) {
          EXPECT_TRUE(IsGrey(disabled)) << x << "," << y;
        }
        if (normal != kMagenta && !IsGrey(normal)) ++coloured;
      }
    }
    EXPECT_GT(coloured, 10);

    UniqueImageList list = LoadButtonImageList(button);
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.Get()), 2);
    const std::vector<COLORREF> drawn = DrawImage(list.Get(), 1, kWhite);
    ASSERT_EQ(drawn.size(), 256u);
    EXPECT_EQ(drawn[15 * 16 + 0], kWhite);  // bottom left is transparent
  }
}

TEST(Images, MinimizeButtonIsOneImageWithADarkBarAtTheBottomRight) {
  UniqueGdiObject bitmap = LoadButtonBitmap(TButtonImage::kMinimize);
  ASSERT_TRUE(bitmap);
  BITMAP bm{};
  ASSERT_NE(GetObjectA(bitmap.Get(), sizeof(bm), &bm), 0);
  EXPECT_EQ(std::pair(bm.bmWidth, bm.bmHeight), std::pair(16L, 16L));
  TBitmapReader px(bitmap.Get());
  EXPECT_EQ(px.At(0, 15), kMagenta);
  int dark_bottom_right = 0;
  int drawn_elsewhere = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const COLORREF c = px.At(x, y);
      if (c == kMagenta) continue;
      if (x >= 6 && y >= 10 && GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100)
        ++dark_bottom_right;
      else
        ++drawn_elsewhere;
    }
  }
  EXPECT_GE(dark_bottom_right, 6);
  EXPECT_EQ(drawn_elsewhere, 0);

  UniqueImageList list = LoadButtonImageList(TButtonImage::kMinimize);
  ASSERT_TRUE(list);
  EXPECT_EQ(ImageList_GetImageCount(list.Get()), 1);
}

TEST(Images, TrayIconFramesLoadAtTheSmallSizeAndDiffer) {
  const int small = GetSystemMetrics(SM_CXSMICON);
  std::vector<COLORREF> frames[2];
  for (int frame = 0; frame < 2; ++frame) {
    UniqueIcon icon = LoadTrayIconFrame(frame);
    ASSERT_TRUE(icon) << frame;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
    UniqueGdiObject color(info.hbmColor);
    UniqueGdiObject mask(info.hbmMask);
    BITMAP bm{};
    ASSERT_NE(GetObjectA(info.hbmColor, sizeof(bm), &bm), 0);
    EXPECT_EQ(bm.bmWidth, small);
    TDibCanvas canvas(small, small, kWhite);
    ASSERT_TRUE(DrawIconEx(canvas.Dc(), 0, 0, icon.Get(), small, small, 0, nullptr, DI_NORMAL));
    for (int y = 0; y < small; ++y)
      for (int x = 0; x < small; ++x) frames[frame].push_back(canvas.Pixel(x, y));
    // The corners are see-through.
    EXPECT_EQ(canvas.Pixel(small - 1, 0), kWhite);
  }
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_FALSE(LoadTrayIconFrame(2));
  EXPECT_FALSE(LoadTrayIconFrame(-1));
}

}  // namespace
}  // namespace parlix

#include "translate/pair_label_win.h"

#include <string>
#include <string_view>

#include "platform/handles_win.h"
#include "translate/language_pairs.h"
#include "widgets/images_win.h"

namespace parlix {

namespace {

constexpr int kTextTop = 1;
constexpr int kFlagTop = 5;
constexpr int kGapAfterFlag = 3;
constexpr int kGapAfterText = 2;

int TextWidth(HDC dc, std::string_view text) {
  SIZE size{};
  if (!GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
}

void DrawText(HDC dc, int x, std::string_view text) {
  TextOutA(dc, x, kTextTop, text.data(), static_cast<int>(text.size()));
}

// Draws a flag and returns its width (0 when the list has no such image).
int DrawFlag(HDC dc, HIMAGELIST flags, int language, int x) {
  int width = 0;
  int height = 0;
  if (flags == nullptr || !ImageList_GetIconSize(flags, &width, &height)) return 0;
  if (language >= ImageList_GetImageCount(flags)) return width;
  ImageList_Draw(flags, language, dc, x, kFlagTop, ILD_NORMAL);
  return width;
}

std::string KeyText(int pair) {
  std::string key = std::to_string(pair + 1);
  key.insert(key.begin(), 'F');
  return key;
}

// The label's font at the key's point size, same face and weight.
UniqueGdiObject KeyFont(HDC dc) {
  LOGFONTA face{};
  if (GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof(face), &face) == 0) return {};
  face.lfHeight = -MulDiv(kPairKeyPointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
  face.lfWidth = 0;
  return UniqueGdiObject(CreateFontIndirectA(&face));
}

}  // namespace

void PaintPairLabel(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font) {
  if (dc == nullptr || !IsValidPair(pair)) return;
  const int source = PairSource[pair];
  const int target = PairTarget[pair];

  // Declared before the DC is saved: it must outlive its selection, which RestoreDC ends.
  UniqueGdiObject key_font;
  const int saved = SaveDC(dc);
  if (font != nullptr) SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kPairLabelTextColor);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);

  int x = DrawFlag(dc, flags, source, 0) + kGapAfterFlag;
  std::string source_text(LanguageNames[source]);
  source_text.append(" to");
  DrawText(dc, x, source_text);
  x += TextWidth(dc, source_text) + kGapAfterText;
  x += DrawFlag(dc, flags, target, x) + kGapAfterFlag;
  const std::string_view target_text = LanguageNames[target];
  DrawText(dc, x, target_text);

  if (with_key) {
    x += TextWidth(dc, target_text) + kGapAfterText;
    key_font = KeyFont(dc);
    if (key_font) SelectObject(dc, key_font.Get());
    DrawText(dc, x, KeyText(pair));
  }
  RestoreDC(dc, saved);
}

void PaintPairLabel(HDC dc, int pair, bool with_key) {
  static const UniqueImageList flags = LoadFlagImages();
  PaintPairLabel(dc, pair, with_key, flags.Get(), nullptr);
}

}  // namespace parlix

#include "translate/pair_label_win.h"

#include <iterator>
#include <string>
#include <string_view>

#include "platform/handles_win.h"
#include "translate/language_pairs.h"
#include "widgets/images_win.h"

namespace parlix {

namespace {

constexpr int kTextTop = 1;
constexpr int kFlagTop = 5;
// How close a label is set to fit its room: as designed, then with the gaps closed to a
// pixel, then with the letters a pixel closer too.
struct TSetting {
  int gap_after_flag;
  int gap_after_text;
  int character_extra;
};
constexpr TSetting kSettings[] = {{3, 2, 0}, {1, 1, 0}, {1, 1, -1}};

int TextWidth(HDC dc, std::string_view text) {
  SIZE size{};
  if (!GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
}

void DrawText(HDC dc, int x, std::string_view text) {
  TextOutA(dc, x, kTextTop, text.data(), static_cast<int>(text.size()));
}

// A flag's width (0 without a list); a language the list lacks still takes its place.
int FlagWidth(HIMAGELIST flags) {
  int width = 0;
  int height = 0;
  if (flags == nullptr || !ImageList_GetIconSize(flags, &width, &height)) return 0;
  return width;
}

void DrawFlag(HDC dc, HIMAGELIST flags, int language, int x) {
  if (flags == nullptr || language >= ImageList_GetImageCount(flags)) return;
  ImageList_Draw(flags, language, dc, x, kFlagTop, ILD_NORMAL);
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

// Lays the label out from x = 0 and returns its width; paints it too when `paint` is set.
// Painting and measuring share this so that a label sized by the width shows all it paints.
int LayOutPairLabel(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, const TSetting& setting,
                    bool paint) {
  if (dc == nullptr || !IsValidPair(pair)) return 0;
  const int source = PairSource[pair];
  const int target = PairTarget[pair];

  // Declared before the DC is saved: it must outlive its selection, which RestoreDC ends.
  UniqueGdiObject key_font;
  const int saved = SaveDC(dc);
  if (font != nullptr) SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kPairLabelTextColor);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextCharacterExtra(dc, setting.character_extra);

  int x = FlagWidth(flags);
  if (paint) DrawFlag(dc, flags, source, 0);
  x += setting.gap_after_flag;
  std::string source_text(LanguageNames[source]);
  source_text.append(" to");
  if (paint) DrawText(dc, x, source_text);
  x += TextWidth(dc, source_text) + setting.gap_after_text;
  if (paint) DrawFlag(dc, flags, target, x);
  x += FlagWidth(flags) + setting.gap_after_flag;
  const std::string_view target_text = LanguageNames[target];
  if (paint) DrawText(dc, x, target_text);
  x += TextWidth(dc, target_text);

  if (with_key) {
    x += setting.gap_after_text;
    key_font = KeyFont(dc);
    if (key_font) SelectObject(dc, key_font.Get());
    SetTextCharacterExtra(dc, setting.character_extra);
    const std::string key = KeyText(pair);
    if (paint) DrawText(dc, x, key);
    x += TextWidth(dc, key);
  }
  RestoreDC(dc, saved);
  return x;
}

const UniqueImageList& ProgramFlags() {
  static const UniqueImageList flags = LoadFlagImages();
  return flags;
}

// The first setting whose label fits the room, or the tightest.
const TSetting& SettingFor(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, int room) {
  for (const TSetting& setting : kSettings) {
    if (LayOutPairLabel(dc, pair, with_key, flags, font, setting, false) <= room) return setting;
  }
  return kSettings[std::size(kSettings) - 1];
}

}  // namespace

void PaintPairLabel(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, int room) {
  LayOutPairLabel(dc, pair, with_key, flags, font, SettingFor(dc, pair, with_key, flags, font, room), true);
}

int PairLabelWidth(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, int room) {
  return LayOutPairLabel(dc, pair, with_key, flags, font, SettingFor(dc, pair, with_key, flags, font, room), false);
}

int PairLabelWidth(HDC dc, int pair, bool with_key, HFONT font, int room) {
  return PairLabelWidth(dc, pair, with_key, ProgramFlags().Get(), font, room);
}

void PaintPairLabel(HDC dc, int pair, bool with_key, int room) {
  PaintPairLabel(dc, pair, with_key, ProgramFlags().Get(), nullptr, room);
}

}  // namespace parlix

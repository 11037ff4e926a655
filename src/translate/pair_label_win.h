// A language pair as a small label: source flag, "<source> to", target flag, "<target>",
// and in the language window the pair's key ("F1".."F12").
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <climits>

namespace parlix {

// The label's text colour, RGB 45, 45, 80.
inline constexpr COLORREF kPairLabelTextColor = RGB(45, 45, 80);
// Point size of the key after the target name.
inline constexpr int kPairKeyPointSize = 5;

// Paints pair 0..11 at the top left of dc with the flags of the image list (one per language,
// in the language names' order) and the font (the DC's own font when null). Text has no
// background. The DC's font, colours and modes are as before afterwards. An index outside
// 0..11 paints nothing. A label wider than `room` pixels is set closer (smaller gaps, then
// letters a pixel closer) as far as that takes it.
void PaintPairLabel(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, int room = INT_MAX);
// The same with the program's own flags, loaded once, and the DC's font.
void PaintPairLabel(HDC dc, int pair, bool with_key, int room = INT_MAX);

// The width in pixels that painting the pair in `room` takes, measured the same way (0 for
// an index outside 0..11); more than `room` when even the closest setting does not fit.
int PairLabelWidth(HDC dc, int pair, bool with_key, HIMAGELIST flags, HFONT font, int room = INT_MAX);
int PairLabelWidth(HDC dc, int pair, bool with_key, HFONT font, int room = INT_MAX);

}  // namespace parlix

// The program's colours, named once: every window draws from these, so the secondary windows
// keep the main window's look. 0x00BBGGRR, as COLORREF is.
#pragma once

#include <windows.h>

namespace parlix {

inline constexpr COLORREF kFormColor = RGB(230, 230, 230);     // window and panel faces
inline constexpr COLORREF kMemoColor = RGB(245, 245, 245);     // text areas
inline constexpr COLORREF kTitleColor = RGB(128, 128, 128);    // title bars
inline constexpr COLORREF kTitleCorner = RGB(80, 80, 80);      // the dark end of a title's gradient, glyphs
inline constexpr COLORREF kAboutPanelColor = RGB(235, 235, 235);
inline constexpr COLORREF kEditColor = RGB(229, 229, 229);     // the configuration's edit boxes
inline constexpr COLORREF kEditFrameColor = RGB(180, 180, 180);
inline constexpr COLORREF kLinkColor = RGB(75, 75, 75);        // the about window's link buttons
inline constexpr COLORREF kHintColor = RGB(225, 220, 205);
inline constexpr COLORREF kNavy = RGB(0, 0, 128);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
// Image pixels of this colour are see-through.
inline constexpr COLORREF kTransparentColor = RGB(255, 0, 255);

}  // namespace parlix

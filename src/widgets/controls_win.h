// The few kinds of child control the program's windows are built from: panels with
// bevels, labels, image buttons, text buttons and paint boxes. One window class serves
// them all; what a control shows and does is set through its fields and callbacks.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>

#include "widgets/palette_win.h"
#include "widgets/window_win.h"

namespace parlix {

inline constexpr char kControlClass[] = "TParlixControl";

enum class TControlKind { kPanel, kLabel, kImageButton, kTextButton, kPaintBox };

enum class TBevel { kNone, kRaised, kLowered, kRaisedOuterLoweredInner, kLoweredInner };

// Colours are 0x00BBGGRR, as COLORREF holds them.
class TControl : public TWindow {
 public:
  TControl(TControlKind kind, HWND parent, int left, int top, int width, int height, const std::string& text = "");

  TControlKind Kind() const { return kind_; }

  void SetColor(COLORREF color);
  void SetFontColor(COLORREF color);
  // Character height in pixels (negative LOGFONT height), as the design gives sizes.
  void SetFont(const char* face, int char_height, bool bold = false);
  HFONT Font() const { return font_; }
  void SetText(const std::string& text);
  std::string Text() const { return GetWindowString(hwnd_); }
  // How many lines the text takes when painted in the control's width.
  int TextLines() const;
  // Widens the control to its one-line text where the face the system gave is wider than
  // the one it was laid out for; never narrows it.
  void FitWidthToText();
  void SetBevel(TBevel bevel);
  void SetCentered(bool centered) { centered_ = centered; }
  void SetHandCursor(bool hand) { hand_cursor_ = hand; }
  // Image buttons: a strip of 16x16 images side by side, the second shown while disabled.
  // The bottom-left pixel's colour is transparent.
  void SetImages(HBITMAP strip, int count);
  void SetEnabled(bool enabled);
  bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
  void SetVisible(bool visible);
  void Invalidate() { InvalidateRect(hwnd_, nullptr, TRUE); }

  int Tag = 0;

  std::function<void()> OnClick;
  std::function<void()> OnRightClick;
  std::function<void(int button)> OnMouseDown;  // 0 left, 1 right, 2 middle
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;
  std::function<void(HDC, const RECT&)> OnPaint;  // paint boxes, and extra painting of panels

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint(HDC dc);
  void PaintBevel(HDC dc, RECT& rect);
  void PaintImages(HDC dc, const RECT& rect);
  void PaintText(HDC dc, const RECT& rect);
  void TrackMouse();

  TControlKind kind_;
  COLORREF color_ = kFormColor;
  COLORREF font_color_ = kBlack;
  HFONT font_ = nullptr;
  HBITMAP images_ = nullptr;
  int image_count_ = 0;
  TBevel bevel_ = TBevel::kNone;
  bool centered_ = false;
  bool hand_cursor_ = false;
  bool mouse_inside_ = false;
  bool pressed_ = false;
};

// A font of the given face and character height (pixels); the program owns it for its lifetime.
HFONT GetSharedFont(const char* face, int char_height, bool bold = false);

// One tooltip window per top-level window, with the program's hint colours and time.
class THints {
 public:
  explicit THints(HWND owner);
  ~THints();
  THints(const THints&) = delete;
  THints& operator=(const THints&) = delete;
  void Set(HWND control, const std::string& text);
  std::string Get(HWND control) const;
  HWND Handle() const { return tooltip_; }

 private:
  HWND tooltip_ = nullptr;
  std::set<HWND> tools_;
};

}  // namespace parlix

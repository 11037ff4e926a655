#include "widgets/controls_win.h"

#include "platform/handles_win.h"
#include "widgets/palette_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <map>
#include <mutex>
#include <tuple>

namespace parlix {

namespace {
constexpr int kHintMilliseconds = 10000;
}  // namespace

HFONT GetSharedFont(const char* face, int char_height, bool bold) {
  static std::mutex lock;
  static std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  std::lock_guard<std::mutex> guard(lock);
  auto key = std::make_tuple(std::string(face), char_height, bold);
  auto found = fonts.find(key);
  if (found != fonts.end()) return found->second;
  LOGFONTA lf{};
  lf.lfHeight = -char_height;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&lf);
  fonts.emplace(key, font);
  return font;
}

TControl::TControl(TControlKind kind, HWND parent, int left, int top, int width, int height, const std::string& text)
    : kind_(kind) {
  RegisterWindowClass(kControlClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
  font_ = GetSharedFont("Tahoma", 11);
  CreateHandle(kControlClass, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, left, top,
               width, height, parent);
}

void TControl::SetColor(COLORREF color) {
  color_ = color;
  Invalidate();
}

void TControl::SetFontColor(COLORREF color) {
  font_color_ = color;
  Invalidate();
}

void TControl::SetFont(const char* face, int char_height, bool bold) {
  font_ = GetSharedFont(face, char_height, bold);
  Invalidate();
}

void TControl::SetText(const std::string& text) {
  SetWindowTextA(hwnd_, text.c_str());
  Invalidate();
}

void TControl::SetBevel(TBevel bevel) {
  bevel_ = bevel;
  Invalidate();
}

void TControl::SetImages(HBITMAP strip, int count) {
  images_ = strip;
  image_count_ = count;
  Invalidate();
}

void TControl::SetEnabled(bool enabled) {
  EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  Invalidate();
}

void TControl::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void TControl::TrackMouse() {
  if (mouse_inside_) return;
  mouse_inside_ = true;
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
  TrackMouseEvent(&track);
  if (OnMouseEnter) OnMouseEnter();
}

void TControl::PaintBevel(HDC dc, RECT& rect) {
  switch (bevel_) {
    case TBevel::kNone:
      break;
    case TBevel::kRaised:
      DrawEdge(dc, &rect, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
      break;
    case TBevel::kLowered:
      DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
      break;
    case TBevel::kRaisedOuterLoweredInner:
      DrawEdge(dc, &rect, BDR_RAISEDOUTER, BF_RECT | BF_ADJUST);
      DrawEdge(dc, &rect, BDR_SUNKENINNER, BF_RECT | BF_ADJUST);
      break;
    case TBevel::kLoweredInner:
      DrawEdge(dc, &rect, BDR_SUNKENINNER, BF_RECT | BF_ADJUST);
      break;
  }
}

void TControl::PaintImages(HDC dc, const RECT& rect) {
  if (images_ == nullptr || image_count_ == 0) return;
  BITMAP info{};
  GetObjectA(images_, sizeof(info), &info);
  const int size = info.bmHeight;
  const int index = (!Enabled() && image_count_ > 1) ? 1 : 0;
  const UniqueMemoryDC source(CreateCompatibleDC(dc));
  if (!source) return;
  HGDIOBJ old = SelectObject(source.Get(), images_);
  const COLORREF transparent = GetPixel(source.Get(), index * size, size - 1);
  const int x = (rect.right - rect.left - size) / 2 + (pressed_ ? 1 : 0);
  const int y = (rect.bottom - rect.top - size) / 2 + (pressed_ ? 1 : 0);
  TransparentBlt(dc, x, y, size, size, source.Get(), index * size, 0, size, size, transparent);
  SelectObject(source.Get(), old);
}

void TControl::PaintText(HDC dc, const RECT& rect) {
  const std::string text = Text();
  if (text.empty()) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Enabled() || kind_ == TControlKind::kLabel ? font_color_ : GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(dc, font_);
  RECT r = rect;
  UINT format = DT_NOPREFIX;
  if (kind_ == TControlKind::kTextButton)
    format |= DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  else
    format |= (centered_ ? DT_CENTER : DT_LEFT) | DT_WORDBREAK;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  SelectObject(dc, old);
}

int TControl::TextLines() const {
  const std::string text = Text();
  if (text.empty()) return 0;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const TWindowDC dc(hwnd_);
  HGDIOBJ old = SelectObject(dc.Get(), font_);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc.Get(), &metrics);
  RECT r{0, 0, client.right, 0};
  DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, DT_NOPREFIX | DT_WORDBREAK | DT_CALCRECT);
  SelectObject(dc.Get(), old);
  return metrics.tmHeight > 0 ? (r.bottom + metrics.tmHeight - 1) / metrics.tmHeight : 1;
}

void TControl::FitWidthToText() {
  const std::string text = Text();
  const TWindowDC dc(hwnd_);
  HGDIOBJ old = SelectObject(dc.Get(), font_);
  SIZE size{};
  GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc.Get(), old);
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  if (size.cx <= rect.right - rect.left) return;
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::Paint(HDC dc) {
  RECT rect;
  GetClientRect(hwnd_, &rect);
  {
    const UniqueGdiObject brush(CreateSolidBrush(color_));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
  }
  if (kind_ == TControlKind::kTextButton || kind_ == TControlKind::kImageButton) {
    if (kind_ == TControlKind::kTextButton)
      DrawEdge(dc, &rect, pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  } else {
    PaintBevel(dc, rect);
  }
  if (kind_ == TControlKind::kImageButton) PaintImages(dc, rect);
  if (kind_ == TControlKind::kLabel || kind_ == TControlKind::kTextButton) PaintText(dc, rect);
  if (OnPaint) {
    HGDIOBJ old = SelectObject(dc, font_);
    OnPaint(dc, rect);
    SelectObject(dc, old);
  }
}

LRESULT TControl::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT: {
      const LRESULT result = TWindow::WndProc(msg, wparam, lparam);
      InvalidateRect(hwnd_, nullptr, TRUE);
      return result;
    }
    case WM_SETCURSOR:
      if (hand_cursor_ && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      TrackMouse();
      return 0;
    case WM_MOUSELEAVE:
      mouse_inside_ = false;
      if (OnMouseLeave) OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (OnMouseDown) {
        OnMouseDown(0);
        return 0;
      }
      if (OnClick) {
        pressed_ = true;
        SetCapture(hwnd_);
        Invalidate();
      }
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        ReleaseCapture();
        Invalidate();
        POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        RECT rect;
        GetClientRect(hwnd_, &rect);
        if (PtInRect(&rect, p) && OnClick) OnClick();
      }
      return 0;
    case WM_RBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(1);
      return 0;
    case WM_RBUTTONUP:
      if (OnRightClick) OnRightClick();
      return 0;
    case WM_ENABLE:
      Invalidate();
      return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      // Children's notifications belong to the window the panel is part of.
      return SendMessageA(GetParent(hwnd_), msg, wparam, lparam);
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

THints::THints(HWND owner) {
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                             0, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  // A themed tooltip paints the theme's background and ignores its own colour: the hints
  // are drawn the classic way so that their colour shows.
  SetWindowTheme(tooltip_, L"", L"");
  SendMessageA(tooltip_, TTM_SETTIPBKCOLOR, kHintColor, 0);
  SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kHintMilliseconds);
  // Hint texts have two lines; a width makes the tooltip honour the line break.
  SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
}

THints::~THints() {
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
}

void THints::Set(HWND control, const std::string& text) {
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<char*>(text.c_str());
  if (tools_.insert(control).second)
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  else
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string THints::Get(HWND control) const {
  char buffer[512] = {};
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = buffer;
  SendMessageA(tooltip_, TTM_GETTEXTA, sizeof(buffer), reinterpret_cast<LPARAM>(&info));
  return buffer;
}

}  // namespace parlix

#include "translate/lang_form_win.h"

#include <commctrl.h>

#include "platform/app_host_win.h"
#include "platform/callback_guard_win.h"
#include "platform/handles_win.h"
#include "shared/globals.h"
#include "translate/lang_place.h"
#include "translate/pair_label_win.h"
#include "widgets/art_win.h"
#include "widgets/palette_win.h"
#include "widgets/title_gradient_win.h"

namespace parlix {

namespace {
constexpr COLORREF kTopImageCorner = RGB(249, 249, 249);
constexpr int kLangIdBase = 1000;
constexpr UINT_PTR kPairButtonSubclassId = 3;
// In a face a little wider than the one the layout was drawn with (Wine's Tahoma, for one),
// the layout's 150 pixels cut the key mark behind the longest labels ("English to
// Portuguese F5", "Portuguese to English F12"). The rows reach to the panel's edge instead.
constexpr int kLabelWidth = 165;

// The radio buttons hold the focus, yet F1 to F12 belong to the window: it sees key
// presses before its controls do.
LRESULT CALLBACK PairButtonProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
    auto* form = reinterpret_cast<TLangForm*>(data);
    switch (msg) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (form->FormKeyDown(wparam)) return 0;
        break;
      case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT) {
          SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
          return TRUE;
        }
        break;
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, PairButtonProc, kPairButtonSubclassId);
        break;
      default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  });
}

bool IsPair(int pair) { return pair >= 0 && pair < TLangForm::kPairCount; }
}  // namespace

TLangForm* TLangForm::Open(HWND main_window, POINT button_offset, int current_pair, TLangFormEvents events) {
  if (Current() != nullptr) return nullptr;
  RegisterWindowClass(kLangFormClass, CS_DBLCLKS);
  TLangForm* form = Make(std::unique_ptr<TLangForm>(new TLangForm(std::move(events))), [&](TLangForm& made) {
    if (made.CreateHandle(kLangFormClass, "Languages", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST, 0, 0,
                          kLangFormWidth, kLangFormHeight, main_window) == nullptr)
      return false;
    made.CreateComponents();
    made.Place(main_window, button_offset);
    made.CheckPairButton(current_pair);
    return true;
  });
  if (form == nullptr) return nullptr;
  const HWND hwnd = form->Handle();
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  // Activation gave the focus to the window itself; the checked row takes it, so that the
  // keyboard starts where the mark is.
  SetFocus(IsPair(current_pair) ? form->lang_[current_pair] : hwnd);
  return form;
}

void TLangForm::CreateComponents() {
  back_brush_ = UniqueGdiObject(CreateSolidBrush(kFormColor));
  flags_ = LoadFlagImages();
  top_image_ = PaintTitleGradient(kTopImageCorner, kFormColor, 150, 80);

  center_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, kLangFormWidth, kLangFormHeight);
  center_panel_->SetColor(kFormColor);
  center_panel_->SetBevel(TBevel::kLoweredInner);
  center_panel_->OnPaint = [this](HDC dc, const RECT&) {
    DrawBitmap(dc, static_cast<HBITMAP>(top_image_.Get()), 2, 2);
  };
  center_panel_->OnMouseDown = [this](int button) { CenterPanelMouseDown(button); };

  // Creation order is the tab order: Lang0, then Lang11 down to Lang1.
  CreatePairButton(0);
  for (int pair = kPairCount - 1; pair >= 1; --pair) CreatePairButton(pair);

  for (int pair = 0; pair < kPairCount; ++pair) {
    auto paint = std::make_unique<TOverPaint>(center_panel_->Handle(), 33, 15 + 20 * pair, kLabelWidth, 17);
    paint->Tag = pair;
    paint->SetColor(kFormColor);
    paint->SetFont("Tahoma", 11);
    paint->OnPaint = [this, pair](HDC dc, const RECT&) { LangPaintPaint(pair, dc); };
    paint->OnMouseDown = [this](int button) { CenterPanelMouseDown(button); };
    lang_paint_[pair] = std::move(paint);
  }

  close_bt_ = std::make_unique<TControl>(TControlKind::kImageButton, center_panel_->Handle(), 177, 257, 19, 19);
  close_bt_->SetColor(kFormColor);
  close_bt_->SetHandCursor(true);
  close_bt_->OnPaint = [this](HDC dc, const RECT& rect) { CloseBtPaint(dc, rect); };
  close_bt_->OnClick = [this] { Close(); };

  hints_ = std::make_unique<THints>(hwnd_);
  hints_->Set(close_bt_->Handle(), "Close");
}

void TLangForm::CreatePairButton(int pair) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_RADIOBUTTON;
  if (pair == 0) style |= WS_GROUP;
  // Plain (not automatic) radio buttons: an automatic one checks and clicks itself when it
  // merely receives the focus, which would choose a pair nobody picked.
  HWND button = CreateWindowExA(0, "BUTTON", "", style, 15, 15 + 20 * pair, 17, 17, center_panel_->Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLangIdBase + pair)),
                                GetModuleHandleA(nullptr), nullptr);
  SetWindowSubclass(button, PairButtonProc, kPairButtonSubclassId, reinterpret_cast<DWORD_PTR>(this));
  lang_[pair] = button;
}

void TLangForm::Place(HWND main_window, POINT button_offset) {
  RECT main{};
  GetWindowRect(main_window, &main);
  const POINT monitor = MonitorOrigin(main_window);
  const TWindowPos pos = LanguageWindowPosition(main.left, main.top, button_offset.x, button_offset.y, kLangFormWidth,
                                                kLangFormHeight, TScreenOrigin{monitor.x, monitor.y});
  SetWindowPos(hwnd_, nullptr, pos.left, pos.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLangForm::CheckPairButton(int pair) {
  if (!IsPair(pair)) return;
  for (int row = 0; row < kPairCount; ++row)
    SendMessageA(lang_[row], BM_SETCHECK, row == pair ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TLangForm::CheckedPair() const {
  for (int row = 0; row < kPairCount; ++row)
    if (SendMessageA(lang_[row], BM_GETCHECK, 0, 0) == BST_CHECKED) return row;
  return -1;
}

HWND TLangForm::PairButton(int pair) const { return IsPair(pair) ? lang_[pair] : nullptr; }

HWND TLangForm::PairLabel(int pair) const {
  return IsPair(pair) && lang_paint_[pair] ? lang_paint_[pair]->Handle() : nullptr;
}

bool TLangForm::FormKeyDown(WPARAM key) {
  if (key < VK_F1 || key > VK_F12) return false;
  if (closing_) return true;
  // Key repeats and the keys typed after this one must not reach the main window once
  // this window is gone.
  DiscardKeyboardInput();
  const int pair = static_cast<int>(key - VK_F1);
  CheckPairButton(pair);
  ChoosePair(pair);
  return true;
}

void TLangForm::LangClick(int pair, HWND button) {
  if (closing_ || !IsPair(pair)) return;
  // Only the user's click lands on a focused button; a click reported for a button the
  // program checked does not.
  if (GetFocus() != button) return;
  CheckPairButton(pair);
  ChoosePair(pair);
}

void TLangForm::ChoosePair(int pair) {
  const std::shared_ptr<bool> alive = alive_;
  if (events_.OnPairChosen) events_.OnPairChosen(pair);
  if (!*alive) return;
  // The main window's label repaints before this window goes.
  AppHost().ProcessMessages();
  if (!*alive) return;
  Close();
}

void TLangForm::CenterPanelMouseDown(int button) {
  if (button != 0) return;
  DragByPanel(hwnd_, center_panel_->Handle());
}

void TLangForm::Close() {
  if (closing_ || hwnd_ == nullptr) return;
  closing_ = true;
  // Posted: the window is destroyed from the message loop, never under the handler of one
  // of its own controls.
  PostMessageA(hwnd_, WM_CLOSE_LANGUAGE_WINDOW, 0, 0);
}

void TLangForm::FormDeactivate() { Close(); }

void TLangForm::LangPaintPaint(int pair, HDC dc) { PaintPairLabel(dc, pair, true, flags_.Get(), nullptr); }

void TLangForm::CloseBtPaint(HDC dc, const RECT& rect) {
  const UniqueGdiObject pen(CreatePen(PS_SOLID, 2, kTitleCorner));
  HGDIOBJ old = SelectObject(dc, pen.Get());
  const int left = rect.left + 6, top = rect.top + 6, right = rect.right - 6, bottom = rect.bottom - 6;
  MoveToEx(dc, left, top, nullptr);
  LineTo(dc, right, bottom);
  MoveToEx(dc, right, top, nullptr);
  LineTo(dc, left, bottom);
  SelectObject(dc, old);
}

LRESULT TLangForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_ACTIVATE || msg == WM_SETFOCUS) {
    const int checked = CheckedPair();
    if (focus_keeper_.Handle(hwnd_, msg, wparam, IsPair(checked) ? lang_[checked] : nullptr)) return 0;
  }
  switch (msg) {
    case WM_CLOSE_LANGUAGE_WINDOW:
    case WM_CLOSE:
      closing_ = true;
      DestroyWindow(hwnd_);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) FormDeactivate();
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (HIWORD(wparam) == BN_CLICKED && id >= kLangIdBase && id < kLangIdBase + kPairCount) {
        LangClick(id - kLangIdBase, reinterpret_cast<HWND>(lparam));
        return 0;
      }
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (FormKeyDown(wparam)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wparam), kFormColor);
      return reinterpret_cast<LRESULT>(back_brush_.Get());
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

void TLangForm::Closed() {
  *alive_ = false;
  if (events_.OnClosed) events_.OnClosed();
}

}  // namespace parlix

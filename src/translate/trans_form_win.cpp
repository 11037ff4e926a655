#include "translate/trans_form_win.h"

#include <commctrl.h>

#include "platform/callback_guard_win.h"
#include "shared/globals.h"
#include "widgets/art_win.h"
#include "widgets/palette_win.h"
#include "widgets/title_gradient_win.h"

namespace parlix {

namespace {
constexpr int kWidth = 250;
constexpr int kHeight = 170;
constexpr UINT_PTR kMemoSubclassId = 2;

LRESULT CALLBACK ResultMemoProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
    if (msg == WM_LBUTTONDBLCLK) {
      const LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
      reinterpret_cast<TTransForm*>(data)->MemoDblClick();
      return result;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  });
}
}  // namespace

TTransForm* TTransForm::Create(HWND owner) {
  RegisterWindowClass(kTransFormClass, CS_DBLCLKS);
  return Make(std::unique_ptr<TTransForm>(new TTransForm()), [owner](TTransForm& form) {
    if (form.CreateHandle(kTransFormClass, "Translated text", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST, 0, 0, kWidth,
                          kHeight, owner) == nullptr)
      return false;
    form.CreateComponents();
    return true;
  });
}

void TTransForm::CreateComponents() {
  top_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, kWidth, 20);
  top_panel_->SetColor(kTitleColor);
  title_image_ = PaintTitleGradient(kTitleCorner, kTitleColor, 150, 18);
  top_panel_->OnPaint = [this](HDC dc, const RECT&) {
    DrawBitmap(dc, static_cast<HBITMAP>(title_image_.Get()), 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    HGDIOBJ old = SelectObject(dc, GetSharedFont("Tahoma", 11, true));
    TextOutA(dc, 6, 4, "Translated text", 15);
    SelectObject(dc, old);
  };
  top_panel_->OnMouseDown = [this](int button) { TopPanelMouseDown(button); };

  close_bt_ = std::make_unique<TControl>(TControlKind::kTextButton, top_panel_->Handle(), 230, 1, 19, 19, "x");
  close_bt_->SetColor(kTitleColor);
  close_bt_->SetFontColor(kWhite);
  close_bt_->SetFont("Tahoma", 11, true);
  close_bt_->SetHandCursor(true);
  // Posted, so the window is not destroyed inside its own button's click.
  close_bt_->OnClick = [this] { PostMessageA(hwnd_, WM_CLOSE_RESULT_WINDOW, 0, 0); };

  center_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 20, kWidth, 150);
  center_panel_->SetColor(kFormColor);
  center_panel_->SetBevel(TBevel::kLoweredInner);
  memo_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                           ES_WANTRETURN | ES_NOHIDESEL,
                          2, 2, 246, 146, center_panel_->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(GetSharedFont("Tahoma", 11)), FALSE);
  SendMessageA(memo_, EM_SETLIMITTEXT, 0, 0);
  memo_brush_.Reset(CreateSolidBrush(kMemoColor));
  SetWindowSubclass(memo_, ResultMemoProc, kMemoSubclassId, reinterpret_cast<DWORD_PTR>(this));

  hints_ = std::make_unique<THints>(hwnd_);
  hints_->Set(close_bt_->Handle(), "Close");
  hints_->Set(memo_, "Double click to copy to clipboard");
}

void TTransForm::SetText(const std::string& text) { SetWindowTextA(memo_, text.c_str()); }

std::string TTransForm::Text() const { return GetWindowString(memo_); }

void TTransForm::Place(HWND main_window, int memo_left_in_panel, bool main_in_tray, int taskbar_top) {
  RECT main{};
  GetWindowRect(main_window, &main);
  const POINT monitor = MonitorOrigin(main_window);
  const TWindowPos pos = ResultWindowPosition(main_in_tray, main.left, main.top, memo_left_in_panel, kWidth, kHeight,
                                              GetSystemMetrics(SM_CXSCREEN), taskbar_top, TScreenOrigin{monitor.x, monitor.y});
  SetWindowPos(hwnd_, nullptr, pos.left, pos.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// Another program may hold the clipboard open for a moment (a clipboard manager syncing, a
// program reading what was copied): the copy waits briefly for it rather than failing after
// the beep has told the user it was done. At most this long on the GUI thread.
constexpr int kClipboardAttempts = 10;
constexpr DWORD kClipboardRetryMs = 25;

bool OpenClipboardPatiently(HWND owner) {
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(kClipboardRetryMs);
  }
  return false;
}

}  // namespace

void TTransForm::MemoDblClick() {
  const std::string text = Text();
  if (text.empty()) return;
  MessageBeep(0xFFFFFFFF);
  if (OpenClipboardPatiently(hwnd_)) {
    EmptyClipboard();
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (memory) {
      if (void* data = GlobalLock(memory.Get())) {
        memcpy(data, text.c_str(), text.size() + 1);
        GlobalUnlock(memory.Get());
        // The clipboard owns the block once it took it.
        if (SetClipboardData(CF_TEXT, memory.Get()) != nullptr) memory.Release();
      }
    }
    CloseClipboard();
  }
  SendMessageA(memo_, EM_SETSEL, 0, -1);
}

void TTransForm::TopPanelMouseDown(int button) {
  if (button != 0) return;
  DragByPanel(hwnd_, top_panel_->Handle());
}

void TTransForm::CloseResultWindow() { DestroyWindow(hwnd_); }

LRESULT TTransForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (focus_keeper_.Handle(hwnd_, msg, wparam, memo_)) return 0;
  switch (msg) {
    case WM_CLOSE_RESULT_WINDOW:
    case WM_CLOSE:
      CloseResultWindow();
      return 0;
    case WM_CTLCOLOREDIT:
      SetBkColor(reinterpret_cast<HDC>(wparam), kMemoColor);
      return reinterpret_cast<LRESULT>(memo_brush_.Get());
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

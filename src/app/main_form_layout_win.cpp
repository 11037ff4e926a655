// The main window's components, painting, text area and menu commands.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "app/application_win.h"
#include "app/main_form_win.h"
#include "app/xp_menu1_win.h"
#include "config/about_form_win.h"
#include "config/config_form_win.h"
#include "config/web_page_win.h"
#include "platform/callback_guard_win.h"
#include "service/service_apply_win.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "translate/lang_form_win.h"
#include "translate/language_pairs.h"
#include "translate/pair_label_win.h"
#include "widgets/art_win.h"
#include "widgets/palette_win.h"
#include "widgets/title_gradient_win.h"

namespace parlix {

namespace {

constexpr UINT_PTR kMemoSubclassId = 1;

constexpr char kHintBothText[] = "Double click or <Escape> to clear text area\r\nPress <Ctrl + Enter> to Translate";
constexpr char kHintPasteText[] = "Double click to paste from clipboard\r\nPress <Ctrl + Enter> to Translate";

bool ClipboardHasText() { return IsClipboardFormatAvailable(CF_TEXT) != FALSE; }

void FitPairLabel(HWND label) {
  // The designed 130 pixels cut the longest pairs ("English to Portuguese") in the face a
  // system without Tahoma gives: the label takes what its widest pair needs, starting
  // further left when it must, and never runs under the translate button; what is still
  // too wide is set closer when painted.
  constexpr int kDesignedLeft = 44;
  constexpr int kDesignedWidth = 130;
  constexpr int kLeftmost = 38;   // just right of the language button
  constexpr int kRightmost = 180;  // just left of the translate button
  constexpr int kTop = 124;
  constexpr int kHeight = 17;
  const TWindowDC dc(label);
  if (dc.Get() == nullptr) return;
  int needed = kDesignedWidth;
  for (int pair = 0; pair < kPairCount; ++pair)
    needed = std::max(needed, PairLabelWidth(dc.Get(), pair, false, GetSharedFont("Tahoma", 11)));
  const int left = std::clamp(kRightmost - needed, kLeftmost, kDesignedLeft);
  MoveWindow(label, left, kTop, std::min(needed, kRightmost - left), kHeight, FALSE);
}

}  // namespace

LRESULT CALLBACK MemoSubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
    auto* form = reinterpret_cast<TMainForm*>(data);
    switch (msg) {
      case WM_KEYDOWN:
        // The key is handled and then still goes to the text area, as a key event would.
        form->MemoKeyDown(wparam);
        break;
      case WM_SYSKEYDOWN:
        // F10 and every key with Alt held come this way; Alt is not looked at. A function key
        // that chose a pair goes no further: the default handling would start the menu mode
        // (F10) and swallow what is typed next. Alt+F4 never gets here (the application's
        // hook takes it), and Alt alone or with other keys keeps its system meaning.
        if (wparam != VK_F4 && form->MemoKeyDown(wparam) && wparam >= VK_F1 && wparam <= VK_F12) return 0;
        break;
      case WM_LBUTTONDBLCLK: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        form->MemoDblClick();
        return result;
      }
      case WM_SETTEXT: {
        // A multi-line text area sends no change notification for text set from code.
        const LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        form->MemoChange();
        return result;
      }
      default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  });
}

void TMainForm::CreateComponents() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);

  controls_.top_panel = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, 250, 20);
  controls_.top_panel->SetColor(kTitleColor);
  controls_.top_panel->SetBevel(TBevel::kRaised);
  // TopImage and CaptionLabel are drawn by the strip itself: a press anywhere on it drags.
  controls_.title_image = PaintTitleGradient(kTitleCorner, kTitleColor, 150, 18);
  controls_.top_panel->OnPaint = [this](HDC dc, const RECT&) {
    DrawBitmap(dc, static_cast<HBITMAP>(controls_.title_image.Get()), 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    HGDIOBJ old = SelectObject(dc, GetSharedFont("Tahoma", 11, true));
    const std::string caption = Unscramble(kProductNameLit) + " " + Unscramble(kCaptionSuffixLit);
    TextOutA(dc, 6, 4, caption.c_str(), static_cast<int>(caption.size()));
    SelectObject(dc, old);
  };
  controls_.top_panel->OnMouseDown = [this](int button) {
    if (button == 0) DragByPanel(hwnd_, controls_.top_panel->Handle());
  };

  controls_.center_panel = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 20, 250, 210);
  controls_.center_panel->SetColor(kFormColor);
  controls_.center_panel->SetBevel(TBevel::kRaisedOuterLoweredInner);
  const HWND center = controls_.center_panel->Handle();

  controls_.memo = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                                           ES_WANTRETURN | ES_NOHIDESEL,
                          2, 2, 246, 113, center, nullptr, instance, nullptr);
  SendMessageA(controls_.memo, WM_SETFONT, reinterpret_cast<WPARAM>(GetSharedFont("Tahoma", 11)), FALSE);
  // No length limit: a dropped file or a pasted text is taken in whole.
  SendMessageA(controls_.memo, EM_SETLIMITTEXT, 0, 0);
  controls_.memo_brush.Reset(CreateSolidBrush(kMemoColor));
  SetWindowSubclass(controls_.memo, MemoSubclassProc, kMemoSubclassId, reinterpret_cast<DWORD_PTR>(this));

  controls_.wait_panel = std::make_unique<TControl>(TControlKind::kPanel, center, 19, 40, 212, 40);
  controls_.wait_panel->SetColor(kFormColor);
  controls_.wait_panel->SetVisible(false);
  controls_.wait_label = std::make_unique<TControl>(TControlKind::kLabel, controls_.wait_panel->Handle(), kWaitLabelLeft,
                                                        kWaitLabelTop, kWaitLabelWidth, kWaitLabelHeight);
  controls_.wait_label->SetColor(kFormColor);
  controls_.wait_label->SetFontColor(kRed);
  controls_.wait_label->SetCentered(true);
  controls_.cancel_label = std::make_unique<TControl>(TControlKind::kLabel, controls_.wait_panel->Handle(), 9, 26, 27, 12, "cancel");
  controls_.cancel_label->SetColor(kFormColor);
  controls_.cancel_label->SetFont("Arial", 9);
  controls_.cancel_label->SetFontColor(kNavy);
  controls_.cancel_label->FitWidthToText();
  controls_.cancel_label->SetHandCursor(true);
  controls_.cancel_label->OnClick = [this] { translation_.Cancel(); };
  controls_.cancel_label->OnMouseEnter = [this] { controls_.cancel_label->SetFontColor(kBlue); };
  controls_.cancel_label->OnMouseLeave = [this] { controls_.cancel_label->SetFontColor(kNavy); };

  controls_.bevel1 = std::make_unique<TControl>(TControlKind::kPanel, center, 5, 119, 240, 26);
  controls_.bevel1->SetColor(kFormColor);
  controls_.bevel1->SetBevel(TBevel::kLowered);

  // Image buttons carry their hint as window text: not painted, but read by accessibility tools.
  controls_.languages_bt = std::make_unique<TControl>(TControlKind::kImageButton, center, 11, 122, 25, 20, "Select language");
  controls_.languages_bt->SetColor(kFormColor);
  controls_.languages_bt->SetHandCursor(true);
  controls_.languages_bt->SetImages(LoadButtonImages(TButtonImage::kLanguages), 2);
  controls_.languages_bt->OnClick = [this] {
    TApplication::Instance().ProcessMessages();
    PostMessageA(hwnd_, WM_SHOW_LANGUAGE_WINDOW, 0, 0);
  };

  controls_.lang_paint = std::make_unique<TControl>(TControlKind::kPaintBox, center, 44, 124, 130, 17);
  controls_.lang_paint->SetColor(kFormColor);
  controls_.lang_paint->SetFont("Tahoma", 11);
  controls_.lang_paint->OnPaint = [this](HDC dc, const RECT& rect) {
    PaintPairLabel(dc, CurrentPair, false, rect.right - rect.left);
  };
  FitPairLabel(controls_.lang_paint->Handle());

  controls_.translate_bt = std::make_unique<TControl>(TControlKind::kImageButton, center, 182, 122, 25, 20, "Translate");
  controls_.translate_bt->SetColor(kFormColor);
  controls_.translate_bt->SetHandCursor(true);
  controls_.translate_bt->SetImages(LoadButtonImages(TButtonImage::kTranslate), 2);
  controls_.translate_bt->SetEnabled(false);
  controls_.translate_bt->OnClick = [this] { PostMessageA(hwnd_, WM_START_TRANSLATION, 0, 0); };

  controls_.minimize_bt =
      std::make_unique<TControl>(TControlKind::kImageButton, center, 215, 122, 25, 20, "Minimize");
  controls_.minimize_bt->SetColor(kFormColor);
  controls_.minimize_bt->SetHandCursor(true);
  controls_.minimize_bt->SetImages(LoadButtonImages(TButtonImage::kMinimize), 1);
  controls_.minimize_bt->OnClick = [this] { PostMessageA(hwnd_, WM_HIDE_TO_TRAY, 0, 0); };
  controls_.minimize_bt->OnRightClick = [this] {
    POINT at;
    GetCursorPos(&at);
    RunMenuCommand(utils_menu_->Track(at, stay_on_top_checked_, monitor_clp_checked_));
  };

  controls_.adv_bt = std::make_unique<TControl>(TControlKind::kTextButton, center, 7, 150, 235, 25, "More free products");
  controls_.adv_bt->SetColor(kFormColor);
  controls_.adv_bt->SetFont("Arial", 10);
  controls_.adv_bt->SetFontColor(0x4B4B4B);
  controls_.adv_bt->SetHandCursor(true);
  controls_.adv_bt->OnClick = [] { OpenPromotionPage(); };

  controls_.donate_bt = std::make_unique<TControl>(TControlKind::kTextButton, center, 7, 180, 235, 25, "Make a donation");
  controls_.donate_bt->SetColor(kFormColor);
  controls_.donate_bt->SetFont("Arial", 10);
  controls_.donate_bt->SetFontColor(0x4B4B4B);
  controls_.donate_bt->SetHandCursor(true);
  controls_.donate_bt->OnClick = [] {
    TApplication::Instance().ProcessMessages();
    OpenDonationPage();
  };

  // The frame lies behind the language row it frames (where a new child lands in the
  // stacking order differs between systems, so say it once all are made).
  SetWindowPos(controls_.bevel1->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  controls_.hints = std::make_unique<THints>(hwnd_);
  controls_.hints->Set(controls_.languages_bt->Handle(), "Select language");
  controls_.hints->Set(controls_.lang_paint->Handle(), "Press <F1> to <F12> to choose languages");
  controls_.hints->Set(controls_.translate_bt->Handle(), "Translate");
  controls_.hints->Set(controls_.minimize_bt->Handle(), "Minimize or right click to open menu");
  controls_.hints->Set(controls_.adv_bt->Handle(), ServiceInfo.AdvText);
  controls_.hints->Set(controls_.donate_bt->Handle(), "Support Parlix today!");
}

void TMainForm::RunMenuCommand(UINT command) {
  switch (command) {
    case kRestoreBt: RestoreBtClick(); break;
    case kStayontopBt: SetStayOnTop(!stay_on_top_checked_); break;
    case kMonitorclpBt: monitor_clp_checked_ = !monitor_clp_checked_; break;
    case kGoogleWebpageBt:
      TApplication::Instance().ProcessMessages();
      OpenWebPage(Unscramble(kWebPageLit));
      break;
    case kConfigurationBt: ConfigurationBtClick(); break;
    case kExitBt: PostMessageA(hwnd_, WM_CLOSE_MAIN_WINDOW, 0, 0); break;
    case kAboutBt: AboutBtClick(); break;
    case kMoreProductsBt: OpenProductsPage(); break;
    default: break;
  }
}

void TMainForm::SetStayOnTop(bool on) {
  stay_on_top_checked_ = on;
  tray_vis_->SetStayOnTop(on);
}

void TMainForm::ConfigurationBtClick() {
  if (TConfigForm::Current() != nullptr) return;
  TApplication::Instance().ProcessMessages();
  // A message that ran meanwhile may have opened one; Open then does nothing.
  // At the session's end the close query saves right after closing this window, and a
  // refused save here would show a box that holds up the logoff.
  TConfigForm::Open(hwnd_, [this] {
    if (!ending_session_) SaveSettings();
  });
}

void TMainForm::AboutBtClick() {
  if (TAboutForm::Current() != nullptr) return;
  MessageBeep(0xFFFFFFFF);
  TAboutForm::Open(hwnd_);
}

void TMainForm::SelectPair(int index) {
  if (!IsValidPair(index)) return;
  CurrentPair = index;
  if (TLangForm* languages = TLangForm::Current()) languages->CheckPairButton(index);
  ShowCurrentPair();
}

void TMainForm::ShowCurrentPair() {
  // The painted label also carries the pair as its text, for accessibility tools and tests.
  if (IsValidPair(CurrentPair))
    controls_.lang_paint->SetText(std::string(LanguageNames[PairSource[CurrentPair]]) + " to " +
                         std::string(LanguageNames[PairTarget[CurrentPair]]));
  controls_.lang_paint->Invalidate();
}

void TMainForm::MemoChange() {
  const bool has_text = GetWindowTextLengthA(controls_.memo) > 0;
  if (has_text && !controls_.translate_bt->Enabled()) {
    controls_.translate_bt->SetEnabled(true);
    UpdateMemoHint();
  } else if (!has_text && controls_.translate_bt->Enabled()) {
    controls_.translate_bt->SetEnabled(false);
    UpdateMemoHint();
  }
}

void TMainForm::MemoDblClick() {
  if (GetWindowTextLengthA(controls_.memo) > 0) {
    SetWindowTextA(controls_.memo, "");
    controls_.translate_bt->SetEnabled(false);
  } else if (ClipboardHasText()) {
    SendMessageA(controls_.memo, WM_PASTE, 0, 0);
    SendMessageA(controls_.memo, EM_SETSEL, 0, -1);
  }
  UpdateMemoHint();
  MemoChange();
}

bool TMainForm::MemoKeyDown(WPARAM key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (key == VK_RETURN && ctrl) {
    // Also removes the character message the Enter key already queued: no line break.
    DiscardKeyboardInput();
    PostMessageA(hwnd_, WM_START_TRANSLATION, 0, 0);
    return true;
  }
  if (key == VK_ESCAPE && !ctrl) {
    SetWindowTextA(controls_.memo, "");
    controls_.translate_bt->SetEnabled(false);
    return true;
  }
  if (const std::optional<int> pair = PairForKey(static_cast<unsigned>(key), ctrl)) {
    DiscardKeyboardInput();
    SelectPair(*pair);
    return true;
  }
  return false;
}

void TMainForm::UpdateMemoHint() {
  const bool has_text = GetWindowTextLengthA(controls_.memo) > 0;
  if (has_text)
    controls_.hints->Set(controls_.memo, kHintBothText);
  else if (ClipboardHasText())
    controls_.hints->Set(controls_.memo, kHintPasteText);
}

}  // namespace parlix

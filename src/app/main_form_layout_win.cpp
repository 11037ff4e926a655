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

  top_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, 250, 20);
  top_panel_->SetColor(kTitleColor);
  top_panel_->SetBevel(TBevel::kRaised);
  // TopImage and CaptionLabel are drawn by the strip itself: a press anywhere on it drags.
  title_image_ = PaintTitleGradient(kTitleCorner, kTitleColor, 150, 18);
  top_panel_->OnPaint = [this](HDC dc, const RECT&) {
    DrawBitmap(dc, static_cast<HBITMAP>(title_image_.Get()), 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    HGDIOBJ old = SelectObject(dc, GetSharedFont("Tahoma", 11, true));
    const std::string caption = Unscramble(kProductNameLit) + " " + Unscramble(kCaptionSuffixLit);
    TextOutA(dc, 6, 4, caption.c_str(), static_cast<int>(caption.size()));
    SelectObject(dc, old);
  };
  top_panel_->OnMouseDown = [this](int button) { TopPanelMouseDown(button); };

  center_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 20, 250, 210);
  center_panel_->SetColor(kFormColor);
  center_panel_->SetBevel(TBevel::kRaisedOuterLoweredInner);
  const HWND center = center_panel_->Handle();

  memo_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                                           ES_WANTRETURN | ES_NOHIDESEL,
                          2, 2, 246, 113, center, nullptr, instance, nullptr);
  SendMessageA(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(GetSharedFont("Tahoma", 11)), FALSE);
  // No length limit: a dropped file or a pasted text is taken in whole.
  SendMessageA(memo_, EM_SETLIMITTEXT, 0, 0);
  memo_brush_.Reset(CreateSolidBrush(kMemoColor));
  SetWindowSubclass(memo_, MemoSubclassProc, kMemoSubclassId, reinterpret_cast<DWORD_PTR>(this));

  wait_panel_ = std::make_unique<TControl>(TControlKind::kPanel, center, 19, 40, 212, 40);
  wait_panel_->SetColor(kFormColor);
  wait_panel_->SetVisible(false);
  wait_label_ = std::make_unique<TControl>(TControlKind::kLabel, wait_panel_->Handle(), 10, 13, 190, 13);
  wait_label_->SetColor(kFormColor);
  wait_label_->SetFontColor(kRed);
  wait_label_->SetCentered(true);
  cancel_label_ = std::make_unique<TControl>(TControlKind::kLabel, wait_panel_->Handle(), 9, 26, 27, 12, "cancel");
  cancel_label_->SetColor(kFormColor);
  cancel_label_->SetFont("Arial", 9);
  cancel_label_->SetFontColor(kNavy);
  cancel_label_->SetHandCursor(true);
  cancel_label_->OnClick = [this] { CancelLabelClick(); };
  cancel_label_->OnMouseEnter = [this] { cancel_label_->SetFontColor(kBlue); };
  cancel_label_->OnMouseLeave = [this] { cancel_label_->SetFontColor(kNavy); };

  bevel1_ = std::make_unique<TControl>(TControlKind::kPanel, center, 5, 119, 240, 26);
  bevel1_->SetColor(kFormColor);
  bevel1_->SetBevel(TBevel::kLowered);

  // Image buttons carry their hint as window text: not painted, but read by accessibility tools.
  languages_bt_ = std::make_unique<TControl>(TControlKind::kImageButton, center, 11, 122, 25, 20, "Select language");
  languages_bt_->SetColor(kFormColor);
  languages_bt_->SetHandCursor(true);
  languages_bt_->SetImages(LoadButtonImages(TButtonImage::kLanguages), 2);
  languages_bt_->OnClick = [this] {
    TApplication::Instance().ProcessMessages();
    PostMessageA(hwnd_, WM_SHOW_LANGUAGE_WINDOW, 0, 0);
  };

  lang_paint_ = std::make_unique<TControl>(TControlKind::kPaintBox, center, 44, 124, 130, 17);
  lang_paint_->SetColor(kFormColor);
  lang_paint_->SetFont("Tahoma", 11);
  lang_paint_->OnPaint = [this](HDC dc, const RECT& rect) { LangPaintPaint(dc, rect); };
  FitPairLabel();

  translate_bt_ = std::make_unique<TControl>(TControlKind::kImageButton, center, 182, 122, 25, 20, "Translate");
  translate_bt_->SetColor(kFormColor);
  translate_bt_->SetHandCursor(true);
  translate_bt_->SetImages(LoadButtonImages(TButtonImage::kTranslate), 2);
  translate_bt_->SetEnabled(false);
  translate_bt_->OnClick = [this] { PostMessageA(hwnd_, WM_START_TRANSLATION, 0, 0); };

  minimize_bt_ =
      std::make_unique<TControl>(TControlKind::kImageButton, center, 215, 122, 25, 20, "Minimize");
  minimize_bt_->SetColor(kFormColor);
  minimize_bt_->SetHandCursor(true);
  minimize_bt_->SetImages(LoadButtonImages(TButtonImage::kMinimize), 1);
  minimize_bt_->OnClick = [this] { MinimizeBtClick(); };
  minimize_bt_->OnRightClick = [this] { ShowUtilsPopup(); };

  adv_bt_ = std::make_unique<TControl>(TControlKind::kTextButton, center, 7, 150, 235, 25, "More free products");
  adv_bt_->SetColor(kFormColor);
  adv_bt_->SetFont("Arial", 10);
  adv_bt_->SetFontColor(0x4B4B4B);
  adv_bt_->SetHandCursor(true);
  adv_bt_->OnClick = [] { OpenPromotionPage(); };

  donate_bt_ = std::make_unique<TControl>(TControlKind::kTextButton, center, 7, 180, 235, 25, "Make a donation");
  donate_bt_->SetColor(kFormColor);
  donate_bt_->SetFont("Arial", 10);
  donate_bt_->SetFontColor(0x4B4B4B);
  donate_bt_->SetHandCursor(true);
  donate_bt_->OnClick = [] {
    TApplication::Instance().ProcessMessages();
    OpenDonationPage();
  };

  // The frame lies behind the language row it frames (where a new child lands in the
  // stacking order differs between systems, so say it once all are made).
  SetWindowPos(bevel1_->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  hints_ = std::make_unique<THints>(hwnd_);
  hints_->Set(languages_bt_->Handle(), "Select language");
  hints_->Set(lang_paint_->Handle(), "Press <F1> to <F12> to choose languages");
  hints_->Set(translate_bt_->Handle(), "Translate");
  hints_->Set(minimize_bt_->Handle(), "Minimize or right click to open menu");
  hints_->Set(adv_bt_->Handle(), ServiceInfo.AdvText);
  hints_->Set(donate_bt_->Handle(), "Support Parlix today!");
}

void TMainForm::CreateMenu() {
  menu_images_ = LoadMenuImages();
  utils_popup_.Reset(CreatePopupMenu());
  const struct {
    UINT command;
    const char* caption;
    int image;
  } items[] = {
      {kRestoreBt, "Restore Parlix", kMenuImageRestore},
      {kStayontopBt, "Stay on-top", kMenuImagePinFlat},
      {kMonitorclpBt, "Translate from clipboard", kMenuImageClipboard},
      {kGoogleWebpageBt, "Open Google web page...", kMenuImageWebPage},
      {kConfigurationBt, "Configuration...", kMenuImageConfiguration},
      {kExitBt, "Exit", kMenuImageExit},
      {kAboutBt, "About...", kMenuImageAbout},
  };
  for (const auto& item : items) {
    AppendMenuA(utils_popup_.Get(), MF_STRING, item.command, item.caption);
    SetMenuItemImage(item.command, item.image);
  }
  SetMenuDefaultItem(utils_popup_.Get(), kRestoreBt, FALSE);
  xp_menu1_ = std::make_unique<TXPMenu>(hwnd_);
  SetUpXPMenu1(*xp_menu1_);
  xp_menu1_->AddMenu(utils_popup_.Get(), menu_images_.Get());
  xp_menu1_->SetActive(true);
}

// XPMenu1 draws every item; the image index rides in the item data.
void TMainForm::SetMenuItemImage(UINT command, int image) { SetMenuItemImageIndex(utils_popup_.Get(), command, image); }

bool TMainForm::MeasureMenuItem(MEASUREITEMSTRUCT& item) { return xp_menu1_ && xp_menu1_->MeasureItem(item); }

bool TMainForm::DrawMenuItem(const DRAWITEMSTRUCT& item) { return xp_menu1_ && xp_menu1_->DrawItem(item); }

// The service file adds the item once per run; it goes at the end of the menu.
void TMainForm::AddProductsMenuItem() {
  if (GetMenuState(utils_popup_.Get(), kMoreProductsBt, MF_BYCOMMAND) != static_cast<UINT>(-1)) return;
  AppendMenuA(utils_popup_.Get(), MF_STRING, kMoreProductsBt, kMoreProductsCaption);
  SetMenuItemImage(kMoreProductsBt, kMoreProductsImageIndex);
  xp_menu1_->MenuItemInserted();
}

void TMainForm::ShowUtilsPopup() {
  POINT at;
  GetCursorPos(&at);
  ShowUtilsPopupAt(at);
}

void TMainForm::ShowUtilsPopupAt(POINT at) {
  const bool on_top = StayOnTopChecked();
  CheckMenuItem(utils_popup_.Get(), kStayontopBt, on_top ? MF_CHECKED : MF_UNCHECKED);
  SetMenuItemImage(kStayontopBt, on_top ? kMenuImagePinIn : kMenuImagePinFlat);
  CheckMenuItem(utils_popup_.Get(), kMonitorclpBt, monitor_clp_checked_ ? MF_CHECKED : MF_UNCHECKED);
  SetMenuItemImage(kMonitorclpBt, monitor_clp_checked_ ? kMenuImageClipboardOn : kMenuImageClipboard);
  // The menu's owner must be in front, or the menu does not close when clicking elsewhere.
  SetForegroundWindow(hwnd_);
  const UINT command = TrackPopupMenu(utils_popup_.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  if (command != 0) RunMenuCommand(command);
}

void TMainForm::RunMenuCommand(UINT command) {
  switch (command) {
    case kRestoreBt: RestoreBtClick(); break;
    case kStayontopBt: StayontopBtClick(); break;
    case kMonitorclpBt: MonitorclpBtClick(); break;
    case kGoogleWebpageBt: GoogleWebpageBtClick(); break;
    case kConfigurationBt: ConfigurationBtClick(); break;
    case kExitBt: ExitBtClick(); break;
    case kAboutBt: AboutBtClick(); break;
    case kMoreProductsBt: OpenProductsPage(); break;
    default: break;
  }
}

void TMainForm::StayontopBtClick() { SetStayOnTop(!stay_on_top_checked_); }

void TMainForm::SetStayOnTop(bool on) {
  stay_on_top_checked_ = on;
  tray_vis_->SetStayOnTop(on);
}

void TMainForm::MonitorclpBtClick() { monitor_clp_checked_ = !monitor_clp_checked_; }

void TMainForm::GoogleWebpageBtClick() {
  TApplication::Instance().ProcessMessages();
  OpenWebPage(Unscramble(kWebPageLit));
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

void TMainForm::ExitBtClick() { PostMessageA(hwnd_, WM_CLOSE_MAIN_WINDOW, 0, 0); }

void TMainForm::AboutBtClick() {
  if (TAboutForm::Current() != nullptr) return;
  MessageBeep(0xFFFFFFFF);
  TAboutForm::Open(hwnd_);
}

void TMainForm::MinimizeBtClick() { PostMessageA(hwnd_, WM_HIDE_TO_TRAY, 0, 0); }

void TMainForm::TopPanelMouseDown(int button) {
  if (button != 0) return;
  DragByPanel(hwnd_, top_panel_->Handle());
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
    lang_paint_->SetText(std::string(LanguageNames[PairSource[CurrentPair]]) + " to " +
                         std::string(LanguageNames[PairTarget[CurrentPair]]));
  lang_paint_->Invalidate();
}

void TMainForm::FitPairLabel() {
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
  const HWND label = lang_paint_->Handle();
  const HDC dc = GetDC(label);
  if (dc == nullptr) return;
  int needed = kDesignedWidth;
  for (int pair = 0; pair < kPairCount; ++pair)
    needed = std::max(needed, PairLabelWidth(dc, pair, false, GetSharedFont("Tahoma", 11)));
  ReleaseDC(label, dc);
  const int left = std::clamp(kRightmost - needed, kLeftmost, kDesignedLeft);
  MoveWindow(label, left, kTop, std::min(needed, kRightmost - left), kHeight, FALSE);
}

void TMainForm::LangPaintPaint(HDC dc, const RECT& rect) {
  PaintPairLabel(dc, CurrentPair, false, rect.right - rect.left);
}

void TMainForm::MemoChange() {
  const bool has_text = GetWindowTextLengthA(memo_) > 0;
  if (has_text && !translate_bt_->Enabled()) {
    translate_bt_->SetEnabled(true);
    UpdateMemoHint();
  } else if (!has_text && translate_bt_->Enabled()) {
    translate_bt_->SetEnabled(false);
    UpdateMemoHint();
  }
}

void TMainForm::MemoDblClick() {
  if (GetWindowTextLengthA(memo_) > 0) {
    SetWindowTextA(memo_, "");
    translate_bt_->SetEnabled(false);
  } else if (ClipboardHasText()) {
    SendMessageA(memo_, WM_PASTE, 0, 0);
    SendMessageA(memo_, EM_SETSEL, 0, -1);
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
    SetWindowTextA(memo_, "");
    translate_bt_->SetEnabled(false);
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
  const bool has_text = GetWindowTextLengthA(memo_) > 0;
  if (has_text)
    hints_->Set(memo_, kHintBothText);
  else if (ClipboardHasText())
    hints_->Set(memo_, kHintPasteText);
}

}  // namespace parlix

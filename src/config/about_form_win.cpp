#include "config/about_form_win.h"

#include "../../res/resource_ids.h"
#include "config/web_page_win.h"
#include "platform/app_host_win.h"
#include "platform/handles_win.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "widgets/palette_win.h"

namespace parlix {

namespace {

constexpr int kPictureSize = 128;
constexpr RECT kBevelRect = {10, 8, 10 + 330, 8 + 53};
constexpr POINT kPicturePos = {3, 14};
constexpr POINT kProdNamePos = {132, 26};
constexpr UINT kInfoFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;

UniqueImageList LoadPicture() {
  UniqueGdiObject bitmap(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_ABOUT_PICTURE), IMAGE_BITMAP, 0,
                                    0, LR_CREATEDIBSECTION));
  if (!bitmap) return {};
  UniqueImageList list(ImageList_Create(kPictureSize, kPictureSize, ILC_COLOR24 | ILC_MASK, 1, 0));
  if (!list) return {};
  if (ImageList_AddMasked(list.Get(), static_cast<HBITMAP>(bitmap.Get()), kTransparentColor) < 0) return {};
  return list;
}

UniqueGdiObject CreateTitleFont() {
  LOGFONTA lf{};
  lf.lfHeight = -15;
  lf.lfWeight = FW_BOLD;
  lf.lfItalic = TRUE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
  return UniqueGdiObject(CreateFontIndirectA(&lf));
}

SIZE TextSize(HFONT font, const std::string& text) {
  SIZE size{0, 0};
  const TWindowDC dc(nullptr);
  HGDIOBJ old = SelectObject(dc.Get(), font);
  GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc.Get(), old);
  return size;
}

}  // namespace

std::string AboutInfoText() {
  return "version vexa! 2.5 (build " + std::string(kBuildVersion) + ")\r\n\r\n" + Unscramble(kAboutInfo1Lit) +
         "\r\n" + Unscramble(kAboutInfo2Lit);
}

TAboutForm* TAboutForm::Open(HWND owner) {
  RegisterWindowClass(kAboutFormClass, CS_DBLCLKS);
  return Make(std::unique_ptr<TAboutForm>(new TAboutForm()), [owner](TAboutForm& form) {
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kAboutFormWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kAboutFormHeight) / 2;
    if (form.CreateHandle(kAboutFormClass, "About...", WS_POPUP | WS_CLIPCHILDREN, 0, left, top, kAboutFormWidth,
                          kAboutFormHeight, owner) == nullptr)
      return false;
    form.FormCreate();
    ShowWindow(form.Handle(), SW_SHOWNORMAL);
    return true;
  });
}

void TAboutForm::FormCreate() {
  picture_ = LoadPicture();
  title_font_ = CreateTitleFont();

  bak_panel_ = std::make_unique<TControl>(TControlKind::kPanel, hwnd_, 0, 0, kAboutFormWidth, kAboutFormHeight);
  bak_panel_->SetColor(kAboutPanelColor);
  bak_panel_->OnPaint = [this](HDC dc, const RECT& rect) { PaintPanelBackground(dc, rect); };
  bak_panel_->OnMouseDown = [this](int button) { BakPanelMouseDown(button); };
  const HWND panel = bak_panel_->Handle();

  const std::string title = Unscramble(kProductTitleLit);
  const SIZE title_size = TextSize(static_cast<HFONT>(title_font_.Get()), title);
  prod_name_label_ = std::make_unique<TControl>(TControlKind::kPaintBox, panel, kProdNamePos.x, kProdNamePos.y,
                                                title_size.cx + 2, title_size.cy, title);
  prod_name_label_->OnPaint = [this](HDC dc, const RECT& rect) { PaintProdName(dc, rect); };
  prod_name_label_->OnMouseDown = [this](int button) { BakPanelMouseDown(button); };

  info_label_ = std::make_unique<TControl>(TControlKind::kPaintBox, panel, 80, 77, 250, 55, AboutInfoText());
  info_label_->OnPaint = [this](HDC dc, const RECT& rect) { PaintInfo(dc, rect); };
  info_label_->OnMouseDown = [this](int button) { BakPanelMouseDown(button); };

  close_bt_ = std::make_unique<TControl>(TControlKind::kPaintBox, panel, 341, 7, 19, 19, "Close");
  close_bt_->SetColor(kAboutPanelColor);
  close_bt_->SetHandCursor(true);
  close_bt_->OnPaint = [this](HDC dc, const RECT& rect) { PaintCloseGlyph(dc, rect); };
  close_bt_->OnClick = [this] { CloseBtClick(); };

  donate_bt_ = MakeLinkButton(42, 145, "Make a donation");
  donate_bt_->OnClick = [this] { DonateBtClick(); };
  web_bt_ = MakeLinkButton(42, 172, "Web page");
  web_bt_->OnClick = [this] { WebBtClick(); };
  email_bt_ = MakeLinkButton(192, 172, "E-mail");
  email_bt_->OnClick = [this] { EmailBtClick(); };

  hints_ = std::make_unique<THints>(hwnd_);
  hints_->Set(close_bt_->Handle(), "Close");
  hints_->Set(web_bt_->Handle(), "Visit our home page");
  hints_->Set(email_bt_->Handle(), "Send us your comments or suggestions");
  hints_->Set(donate_bt_->Handle(), "Support " + Unscramble(kProductNameLit) + " today!");
}

std::unique_ptr<TControl> TAboutForm::MakeLinkButton(int left, int top, const char* caption) {
  auto button = std::make_unique<TControl>(TControlKind::kTextButton, bak_panel_->Handle(), left, top, 130, 20, caption);
  button->SetColor(kAboutPanelColor);
  button->SetFont("Arial", 10);
  button->SetFontColor(kLinkColor);
  button->SetHandCursor(true);
  return button;
}

void TAboutForm::PaintPanelBackground(HDC dc, const RECT& panel_rect) {
  const UniqueGdiObject brush(CreateSolidBrush(kAboutPanelColor));
  FillRect(dc, &panel_rect, static_cast<HBRUSH>(brush.Get()));
  RECT bevel = kBevelRect;
  DrawEdge(dc, &bevel, EDGE_ETCHED, BF_RECT);
  if (picture_) ImageList_Draw(picture_.Get(), 0, dc, kPicturePos.x, kPicturePos.y, ILD_TRANSPARENT);
}

void TAboutForm::PaintLabelBackground(HWND label, HDC dc) {
  RECT panel_rect;
  GetClientRect(bak_panel_->Handle(), &panel_rect);
  POINT origin{0, 0};
  MapWindowPoints(label, bak_panel_->Handle(), &origin, 1);
  POINT old_origin;
  OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old_origin);
  PaintPanelBackground(dc, panel_rect);
  SetViewportOrgEx(dc, old_origin.x, old_origin.y, nullptr);
}

void TAboutForm::PaintProdName(HDC dc, const RECT& rect) {
  PaintLabelBackground(prod_name_label_->Handle(), dc);
  const std::string text = prod_name_label_->Text();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kNavy);
  HGDIOBJ old = SelectObject(dc, title_font_.Get());
  RECT r = rect;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

void TAboutForm::PaintInfo(HDC dc, const RECT& rect) {
  PaintLabelBackground(info_label_->Handle(), dc);
  const std::string text = info_label_->Text();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kBlack);
  HGDIOBJ old = SelectObject(dc, GetSharedFont("Tahoma", 11));
  RECT r = rect;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, kInfoFormat);
  SelectObject(dc, old);
}

void TAboutForm::PaintCloseGlyph(HDC dc, const RECT& rect) {
  const UniqueGdiObject pen(CreatePen(PS_SOLID, 2, kTitleCorner));
  HGDIOBJ old = SelectObject(dc, pen.Get());
  const int inset = 5;
  MoveToEx(dc, rect.left + inset, rect.top + inset, nullptr);
  LineTo(dc, rect.right - inset, rect.bottom - inset);
  MoveToEx(dc, rect.right - inset, rect.top + inset, nullptr);
  LineTo(dc, rect.left + inset, rect.bottom - inset);
  SelectObject(dc, old);
}

// Pending messages run before each action, and one of them may close this window: nothing
// below reads the object after ProcessMessages.
void TAboutForm::WebBtClick() {
  AppHost().ProcessMessages();
  OpenWebPage(ServiceInfo.HomeUrl);
}

void TAboutForm::EmailBtClick() {
  HWND owner = GetWindow(hwnd_, GW_OWNER);
  AppHost().ProcessMessages();
  OpenContactLink(IsWindow(owner) ? owner : nullptr, ServiceInfo.HomeEmail);
}

void TAboutForm::DonateBtClick() {
  AppHost().ProcessMessages();
  OpenDonationPage();
}

// Posted, so the window is not destroyed inside its own button's click.
void TAboutForm::CloseBtClick() { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

void TAboutForm::BakPanelMouseDown(int button) {
  if (button != 0) return;
  DragByPanel(hwnd_, bak_panel_->Handle());
}

LRESULT TAboutForm::WndProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  return TWindow::WndProc(msg, wparam, lparam);
}

}  // namespace parlix

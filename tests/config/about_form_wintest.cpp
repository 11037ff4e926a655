// The about window in the test's own process: layout and texts, the three link buttons
// through recording handlers, dragging, and closing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "config/about_form_win.h"
#include "config/web_page_win.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "support/driver_win.h"
#include "support/test_window_win.h"
#include "widgets/controls_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;
using test::DrainMessages;
using test::WaitUntil;
using test::WindowText;

class AboutFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_info_ = ServiceInfo;
    ServiceInfo = DefaultServiceInfo();
    owner_ = test::MakeTestWindow({.caption = "owner"});
    ASSERT_NE(owner_, nullptr);
    previous_page_ = SetOpenWebPageHandler([this](const std::string& url) { opened_.push_back(url); });
    previous_contact_ = SetOpenContactLinkHandler([this](const std::string& link) { contacted_.push_back(link); });
    ASSERT_FALSE(OpenWindowFlags.AboutOpen);
    form_ = TAboutForm::Open(owner_);
    handle_ = form_->Handle();
    DrainMessages();
  }
  void TearDown() override {
    if (IsWindow(handle_)) DestroyWindow(handle_);
    DestroyWindow(owner_);
    SetOpenWebPageHandler(previous_page_);
    SetOpenContactLinkHandler(previous_contact_);
    ServiceInfo = saved_info_;
    DrainMessages();
  }

  TServiceInfo saved_info_;
  HWND owner_ = nullptr;
  TAboutForm* form_ = nullptr;
  HWND handle_ = nullptr;
  std::vector<std::string> opened_;
  std::vector<std::string> contacted_;
  TOpenWebPageHandler previous_page_, previous_contact_;
};

TEST_F(AboutFormTest, WindowIsFramelessCentredAndOwned) {
  EXPECT_TRUE(OpenWindowFlags.AboutOpen);
  EXPECT_TRUE(IsWindowVisible(handle_));
  EXPECT_EQ(test::ClassName(handle_), kAboutFormClass);
  EXPECT_EQ(WindowText(handle_), "About...");
  EXPECT_EQ(GetWindow(handle_, GW_OWNER), owner_);
  EXPECT_EQ(GetWindowLongPtrA(handle_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
  RECT client{};
  GetClientRect(handle_, &client);
  EXPECT_EQ(client, (RECT{0, 0, 365, 200}));
  const RECT window = test::WindowRect(handle_);
  EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - 365) / 2);
  EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 2);
}

TEST_F(AboutFormTest, LabelsAndButtonsShowTheirTexts) {
  EXPECT_EQ(WindowText(form_->ProdNameLabel()), Unscramble(kProductTitleLit));
  const RECT name = test::RectIn(form_->ProdNameLabel());
  EXPECT_EQ(std::pair(name.left, name.top), std::pair(132L, 26L));

  const std::string info = WindowText(form_->InfoLabel());
  EXPECT_EQ(info.rfind("version vexa! 2.5 (build 025000)\r\n\r\n", 0), 0u) << info;
  EXPECT_EQ(info.substr(info.find("\r\n\r\n") + 4), Unscramble(kAboutInfo1Lit) + "\r\n" + Unscramble(kAboutInfo2Lit));
  EXPECT_EQ(AboutInfoText(), info);
  EXPECT_EQ(test::RectIn(form_->InfoLabel()), (RECT{80, 77, 80 + 250, 77 + 55}));
  // Every line, the second information line last, lies wholly inside the label as it is
  // drawn (centred, wrapped at the label's width): nothing is cut at its bottom.
  HDC dc = GetDC(form_->InfoLabel());
  HGDIOBJ old_font = SelectObject(dc, GetSharedFont("Tahoma", 11));
  RECT needed{0, 0, 250, 0};
  DrawTextA(dc, info.c_str(), static_cast<int>(info.size()), &needed,
            DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old_font);
  ReleaseDC(form_->InfoLabel(), dc);
  EXPECT_LE(needed.right - needed.left, 250);
  EXPECT_LE(needed.bottom, 55) << "the text needs " << needed.bottom / metrics.tmHeight << " lines";

  const struct {
    HWND button;
    const char* caption;
    int left, top, width, height;
    std::string hint;
  } buttons[] = {
      {form_->DonateBt(), "Make a donation", 42, 145, 130, 20, "Support " + Unscramble(kProductNameLit) + " today!"},
      {form_->WebBt(), "Web page", 42, 172, 130, 20, "Visit our home page"},
      {form_->EmailBt(), "E-mail", 192, 172, 130, 20, "Send us your comments or suggestions"},
      {form_->CloseBt(), "Close", 341, 7, 19, 19, "Close"},
  };
  for (const auto& b : buttons) {
    EXPECT_EQ(WindowText(b.button), b.caption);
    EXPECT_EQ(test::RectIn(b.button), (RECT{b.left, b.top, b.left + b.width, b.top + b.height})) << b.caption;
    EXPECT_EQ(GetParent(b.button), form_->BakPanel()) << b.caption;
    EXPECT_EQ(form_->Hint(b.button), b.hint) << b.caption;
  }
}

TEST_F(AboutFormTest, PictureAndLabelsLieOnThePanelColour) {
  // Pixels read back from the screen: the picture's magenta is transparent, and the info
  // label, which lies over the picture's square, shows the panel under it.
  SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  auto pixel = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(handle_, &p);
    return GetPixel(screen, p.x, p.y);
  };
  // Wine puts a window's drawing on the X screen a moment after it is done: wait until
  // the plain panel shows there before reading the rest.
  WaitUntil([&] {
    const COLORREF shown = pixel(360, 140);
    return shown == CLR_INVALID || shown == COLORREF{15461355};
  }, 5s);
  const COLORREF plain_panel = pixel(360, 140);
  const COLORREF corner = pixel(3, 14 + 127);       // the picture's transparent bottom-left pixel
  const COLORREF bubble = pixel(3 + 56, 14 + 56);  // inside the front bubble
  const COLORREF text_line = pixel(3 + 40, 14 + 70);  // a text line of the front bubble
  const COLORREF under_label = pixel(81, 78);       // the label's corner, over the picture's square
  ReleaseDC(nullptr, screen);
  if (plain_panel == CLR_INVALID) GTEST_SKIP() << "the screen cannot be read back here";
  EXPECT_EQ(plain_panel, COLORREF{15461355});
  EXPECT_EQ(corner, COLORREF{15461355});
  EXPECT_EQ(bubble, RGB(60, 110, 200));
  EXPECT_EQ(text_line, RGB(255, 255, 255));
  EXPECT_EQ(under_label, COLORREF{15461355});
}

TEST_F(AboutFormTest, ButtonsOpenTheCurrentServiceAddresses) {
  for (HWND button : {form_->WebBt(), form_->EmailBt(), form_->DonateBt()}) test::SendClick(button);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], Unscramble(kHomePageLit));
  const std::string item = Unscramble(kProductTitleLit) + " " + Unscramble(kCaptionSuffixLit);
  EXPECT_EQ(opened_[1], *FormatDonationUrl(Unscramble(kDonationPageLit), {item, "Donate", ""}));
  EXPECT_NE(opened_[1].find("Donate"), std::string::npos);
  EXPECT_EQ(contacted_, std::vector<std::string>{Unscramble(kEmailLit)});

  // A service file applied while the window is open counts at the next press.
  ServiceInfo.HomeUrl = "http://127.0.0.1:9/new-home";
  ServiceInfo.HomeEmail = "mailto:new@127.0.0.1";
  ServiceInfo.DonateUrl = "http://127.0.0.1:9/give?for=%s&what=%s%s";
  for (HWND button : {form_->WebBt(), form_->EmailBt(), form_->DonateBt()}) test::SendClick(button);
  ASSERT_EQ(opened_.size(), 4u);
  EXPECT_EQ(opened_[2], "http://127.0.0.1:9/new-home");
  EXPECT_EQ(opened_[3], "http://127.0.0.1:9/give?for=" + item + "&what=Donate");
  EXPECT_EQ(contacted_, (std::vector<std::string>{Unscramble(kEmailLit), "mailto:new@127.0.0.1"}));
  EXPECT_TRUE(IsWindow(handle_));
}

TEST_F(AboutFormTest, EmptyOrUnusableAddresses) {
  ServiceInfo.DonateUrl = "";
  ServiceInfo.HomeEmail = "";
  ServiceInfo.HomeUrl = "";
  for (HWND button : {form_->DonateBt(), form_->EmailBt()}) test::SendClick(button);
  ServiceInfo.DonateUrl = "http://127.0.0.1:9/give?n=%d";
  ServiceInfo.HomeEmail = "C:\\windows\\system32\\cmd.exe";
  for (HWND button : {form_->DonateBt(), form_->EmailBt()}) test::SendClick(button);
  EXPECT_TRUE(contacted_.empty());
  // The web page button starts the browser even with an empty address.
  test::SendClick(form_->WebBt());
  EXPECT_EQ(opened_, std::vector<std::string>{""});
}

TEST_F(AboutFormTest, LeftPressesOnPanelPictureAndLabelsDragTheWindow) {
  std::vector<WPARAM> presses;
  ASSERT_TRUE(SetWindowSubclass(handle_, test::RecordMovePresses, 1, reinterpret_cast<DWORD_PTR>(&presses)));
  SendMessageA(form_->BakPanel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));  // on the picture
  SendMessageA(form_->ProdNameLabel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(form_->InfoLabel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(presses, (std::vector<WPARAM>{HTCAPTION, HTCAPTION, HTCAPTION}));
  SendMessageA(form_->BakPanel(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, 60));
  SendMessageA(form_->InfoLabel(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
  // A press on a button is the button's, not a drag.
  SendMessageA(form_->WebBt(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(form_->WebBt(), WM_LBUTTONUP, 0, MAKELPARAM(200, 200));  // released outside: no click
  EXPECT_EQ(presses.size(), 3u);
  EXPECT_TRUE(opened_.empty());
  RemoveWindowSubclass(handle_, test::RecordMovePresses, 1);
}

TEST_F(AboutFormTest, CloseButtonFreesTheWindowAndClearsTheFlag) {
  test::SendClick(form_->CloseBt());
  // The close is posted, so the button's own click returns first.
  EXPECT_TRUE(IsWindow(handle_));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(handle_); }, 5s));
  EXPECT_FALSE(OpenWindowFlags.AboutOpen);
  EXPECT_TRUE(opened_.empty());

  // Opening again after a close works, and any other close clears the flag as well.
  form_ = TAboutForm::Open(owner_);
  handle_ = form_->Handle();
  EXPECT_TRUE(OpenWindowFlags.AboutOpen);
  SendMessageA(handle_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(handle_));
  EXPECT_FALSE(OpenWindowFlags.AboutOpen);
}

TEST_F(AboutFormTest, ClosingTheOwnerClosesTheWindow) {
  DestroyWindow(owner_);
  owner_ = nullptr;
  EXPECT_FALSE(IsWindow(handle_));
  EXPECT_FALSE(OpenWindowFlags.AboutOpen);
}

}  // namespace
}  // namespace parlix

// The language window in this test's own process, opened over an owner window that stands
// in for the main window: the radio mark, choosing by click and by key, closing on lost
// activation, drags from the labels and the painted rows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "shared/globals.h"
#include "support/dib_canvas_win.h"
#include "support/driver_win.h"
#include "support/test_window_win.h"
#include "translate/lang_form_win.h"
#include "translate/pair_label_win.h"
#include "widgets/controls_win.h"
#include "widgets/images_win.h"

namespace parlix {
namespace {

using test::TDibCanvas;
using test::DrainMessages;
using test::WaitUntil;
using namespace std::chrono_literals;

constexpr POINT kButtonOffset{11, 122};
constexpr COLORREF kFormColor = RGB(230, 230, 230);
// Each row's label reaches to the panel's edge, so the key shows behind the longest names.
constexpr int kLabelWidth = 165;

class LangFormTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenOver(600, 500, 5); }

  void TearDown() override {
    if (IsWindow(form_hwnd_)) DestroyWindow(form_hwnd_);
    if (owner_ != nullptr) DestroyWindow(owner_);
    EXPECT_TRUE(test::WaitUntil([] { return !OpenWindowFlags.LanguagesOpen; }));
  }

  void OpenOver(int left, int top, int current_pair) {
    if (owner_ == nullptr) {
      owner_ = test::MakeTestWindow({.class_name = "LangFormTestOwner", .caption = "owner",
                                     .style = WS_POPUP | WS_VISIBLE, .left = left, .top = top, .width = 250,
                                     .height = 230, .background = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))});
      SetForegroundWindow(owner_);
    }
    ASSERT_NE(owner_, nullptr);
    TLangFormEvents events;
    events.OnPairChosen = [this](int pair) {
      chosen_.push_back(pair);
      // The mark already stands on the chosen row when the main window hears of it.
      marks_at_choice_.push_back(TLangForm::Current() ? TLangForm::Current()->CheckedPair() : -2);
    };
    events.OnClosed = [this] {
      ++closed_;
      flag_at_close_ = OpenWindowFlags.LanguagesOpen;
    };
    form_ = TLangForm::Open(owner_, kButtonOffset, current_pair, std::move(events));
    ASSERT_NE(form_, nullptr);
    form_hwnd_ = form_->Handle();
    DrainMessages();
  }

  bool WaitClosed() { return WaitUntil([&] { return !IsWindow(form_hwnd_); }, 5s); }

  void ExpectClosedOnce() {
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(closed_, 1);
    EXPECT_FALSE(flag_at_close_) << "LanguagesOpen still set when the closed event ran";
    EXPECT_FALSE(OpenWindowFlags.LanguagesOpen);
    EXPECT_EQ(TLangForm::Current(), nullptr);
  }

  void Click(HWND control) {
    RECT rect{};
    GetClientRect(control, &rect);
    const LPARAM at = MAKELPARAM(rect.right / 2, rect.bottom / 2);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(control, WM_LBUTTONUP, 0, at);
  }

  HWND owner_ = nullptr;
  TLangForm* form_ = nullptr;
  HWND form_hwnd_ = nullptr;
  std::vector<int> chosen_;
  std::vector<int> marks_at_choice_;
  int closed_ = 0;
  bool flag_at_close_ = true;
};

TEST_F(LangFormTest, OpensOnceWithTheCurrentPairMarked) {
  EXPECT_TRUE(OpenWindowFlags.LanguagesOpen);
  EXPECT_EQ(TLangForm::Current(), form_);
  EXPECT_EQ(form_->CheckedPair(), 5);
  for (int row = 0; row < TLangForm::kPairCount; ++row)
    EXPECT_EQ(SendMessageA(form_->PairButton(row), BM_GETCHECK, 0, 0), row == 5 ? BST_CHECKED : BST_UNCHECKED)
        << "row " << row;
  EXPECT_EQ(GetFocus(), form_->PairButton(5));

  EXPECT_TRUE(IsWindowVisible(form_hwnd_));
  EXPECT_EQ(GetWindow(form_hwnd_, GW_OWNER), owner_);
  EXPECT_TRUE(GetWindowLongA(form_hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindowLongA(form_hwnd_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
  EXPECT_EQ(test::WindowText(form_hwnd_), "Languages");
  RECT client{};
  GetClientRect(form_hwnd_, &client);
  EXPECT_EQ(client, (RECT{0, 0, 200, 280}));

  // A second opening while one exists makes nothing and leaves the first alone.
  TLangFormEvents other;
  other.OnClosed = [] { ADD_FAILURE() << "closed event of a window never opened"; };
  EXPECT_EQ(TLangForm::Open(owner_, kButtonOffset, 2, std::move(other)), nullptr);
  EXPECT_EQ(form_->CheckedPair(), 5);
  EXPECT_EQ(closed_, 0);
}

TEST_F(LangFormTest, RowsAndCloseButtonSitWhereTheLayoutPutsThem) {
  for (int row = 0; row < TLangForm::kPairCount; ++row) {
    const RECT button = test::RectIn(form_->PairButton(row), form_hwnd_);
    const RECT label = test::RectIn(form_->PairLabel(row), form_hwnd_);
    EXPECT_EQ(std::tuple(button.left, button.top, button.right - button.left), std::tuple(15, 15 + 20 * row, 17));
    EXPECT_EQ(label, (RECT{33, 15 + 20 * row, 33 + kLabelWidth, 15 + 20 * row + 17}));
  }
  const RECT close = test::RectIn(form_->CloseButton(), form_hwnd_);
  EXPECT_EQ(std::pair(close.left, close.top), std::pair(177L, 257L));
  EXPECT_EQ(form_->Hint(form_->CloseButton()), "Close");
}

TEST_F(LangFormTest, StandsLeftOfAndAboveTheLanguageButton) {
  EXPECT_EQ(test::WindowRect(form_hwnd_), (RECT{600 + 11 - 200 + 4, 500 + 122 - 280 + 4, 600 + 15, 500 + 126}));
}

TEST_F(LangFormTest, ClickingTheFocusedRadioButtonOfRowNineChoosesItAndCloses) {
  Click(form_->PairButton(9));
  EXPECT_EQ(std::pair(chosen_, marks_at_choice_), std::pair(std::vector{9}, std::vector{9}));
  ExpectClosedOnce();
}

TEST_F(LangFormTest, AClickReportedForAnUnfocusedButtonIsIgnored) {
  // The program moves the mark (as SelectPair does while the window is open) ...
  form_->CheckPairButton(3);
  EXPECT_EQ(form_->CheckedPair(), 3);
  // ... and a click notification for a button the user never touched chooses nothing.
  SendMessageA(form_hwnd_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form_->PairButton(3)), BN_CLICKED),
               reinterpret_cast<LPARAM>(form_->PairButton(3)));
  DrainMessages();
  EXPECT_TRUE(chosen_.empty());
  EXPECT_TRUE(IsWindow(form_hwnd_));
  EXPECT_EQ(closed_, 0);
  // Rows outside the table leave the mark where it is.
  form_->CheckPairButton(12);
  form_->CheckPairButton(-1);
  EXPECT_EQ(form_->CheckedPair(), 3);
}

TEST_F(LangFormTest, F3ChoosesEnglishToFrenchAndCloses) {
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_F3, 1);
  // A key typed after it chooses nothing more: it is discarded, or meets a closing window.
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_F7, 1);
  ExpectClosedOnce();
  EXPECT_EQ(std::pair(chosen_, marks_at_choice_), std::pair(std::vector{2}, std::vector{2}));
}

TEST_F(LangFormTest, ShiftF3DoesTheSame) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  keys[VK_LSHIFT] = 0x80;
  SetKeyboardState(keys);
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_F3, 1);
  ExpectClosedOnce();
  keys[VK_SHIFT] = 0;
  keys[VK_LSHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(chosen_, (std::vector<int>{2}));
}

TEST_F(LangFormTest, AltF12ArrivesAsASystemKeyAndStillChooses) {
  PostMessageA(GetFocus(), WM_SYSKEYDOWN, VK_F12, 1 | (1 << 29));
  ExpectClosedOnce();
  EXPECT_EQ(chosen_, (std::vector<int>{11}));
}

TEST_F(LangFormTest, FunctionKeysReachTheWindowItselfToo) {
  // The window passes the focus on to the checked row, so that the arrow keys start there.
  SetFocus(form_hwnd_);
  EXPECT_EQ(GetFocus(), form_->PairButton(form_->CheckedPair()));
  PostMessageA(form_hwnd_, WM_KEYDOWN, VK_F1, 1);
  ExpectClosedOnce();
  EXPECT_EQ(chosen_, (std::vector<int>{0}));
}

TEST_F(LangFormTest, OtherKeysChooseNothing) {
  for (UINT key : {static_cast<UINT>('A'), static_cast<UINT>(VK_ESCAPE), static_cast<UINT>(VK_F13),
                   static_cast<UINT>(VK_DOWN)})
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
  DrainMessages();
  EXPECT_TRUE(chosen_.empty());
  EXPECT_TRUE(IsWindow(form_hwnd_));
  EXPECT_EQ(form_->CheckedPair(), 5);
}

TEST_F(LangFormTest, LosingActivationCloses) {
  ASSERT_EQ(GetActiveWindow(), form_hwnd_);
  SetForegroundWindow(owner_);
  SetActiveWindow(owner_);
  ExpectClosedOnce();
  EXPECT_TRUE(chosen_.empty());
}

TEST_F(LangFormTest, APressOnARowLabelOrThePanelDragsAndLeavesThePairUnchanged) {
  std::vector<WPARAM> drags;
  SetWindowSubclass(form_hwnd_, test::RecordMovePresses, 1, reinterpret_cast<DWORD_PTR>(&drags));
  SendMessageA(form_->PairLabel(9), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
  SendMessageA(form_->PairLabel(9), WM_LBUTTONUP, 0, MAKELPARAM(20, 8));
  SendMessageA(form_->CenterPanel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(190, 100));
  // Other buttons start nothing.
  SendMessageA(form_->PairLabel(2), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 8));
  SendMessageA(form_->CenterPanel(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(190, 100));
  DrainMessages();
  EXPECT_EQ(drags, (std::vector<WPARAM>{HTCAPTION, HTCAPTION}));
  EXPECT_TRUE(chosen_.empty());
  EXPECT_EQ(form_->CheckedPair(), 5);
  EXPECT_TRUE(IsWindow(form_hwnd_));
  RemoveWindowSubclass(form_hwnd_, test::RecordMovePresses, 1);
}

TEST_F(LangFormTest, TheCloseButtonClosesWithoutChoosing) {
  Click(form_->CloseButton());
  ExpectClosedOnce();
  EXPECT_TRUE(chosen_.empty());
}

TEST_F(LangFormTest, ClosingTwiceRunsTheCloseStepsOnce) {
  form_->Close();
  form_->Close();
  // Until the posted close is handled the window still takes input; it must choose nothing.
  SendMessageA(GetFocus(), WM_KEYDOWN, VK_F4, 1);
  Click(form_->PairButton(7));
  ExpectClosedOnce();
  EXPECT_TRUE(chosen_.empty()) << "input after the close was requested still chose a pair";
}

TEST_F(LangFormTest, TheOwnerGoingTakesTheWindowWithIt) {
  DestroyWindow(owner_);
  owner_ = nullptr;
  EXPECT_FALSE(IsWindow(form_hwnd_));
  EXPECT_EQ(closed_, 1);
  EXPECT_FALSE(OpenWindowFlags.LanguagesOpen);
  EXPECT_EQ(TLangForm::Current(), nullptr);
}

TEST_F(LangFormTest, EveryRowPaintsItsWholePairWithTheKey) {
  const UniqueImageList flags = LoadFlagImages();
  ASSERT_TRUE(flags);
  for (int row = 0; row < TLangForm::kPairCount; ++row) {
    HWND label = form_->PairLabel(row);
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    TDibCanvas shown(kLabelWidth, 17, RGB(0, 0, 0));
    HDC dc = GetDC(label);
    BitBlt(shown.Dc(), 0, 0, kLabelWidth, 17, dc, 0, 0, SRCCOPY);
    ReleaseDC(label, dc);

    // Painted with room to spare, so that what the row cuts off shows.
    constexpr int kRoom = 2 * kLabelWidth;
    TDibCanvas expected(kRoom, 17, kFormColor);
    HGDIOBJ old = SelectObject(expected.Dc(), GetSharedFont("Tahoma", 11));
    PaintPairLabel(expected.Dc(), row, true, flags.Get(), nullptr);
    SelectObject(expected.Dc(), old);
    EXPECT_EQ(expected.CountOther(kLabelWidth, 0, kRoom, 17, kFormColor), 0)
        << "row " << row << ": the label with its key is wider than its row";

    int differing = 0;
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < kLabelWidth; ++x)
        if (shown.Pixel(x, y) != expected.Pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << "row " << row;
    // And it is a picture, not an empty row.
    EXPECT_GT(shown.CountOther(0, 0, kLabelWidth, 17, kFormColor), 50) << "row " << row;
  }
}

class LangFormCornerTest : public LangFormTest {
 protected:
  void SetUp() override {}
};

TEST_F(LangFormCornerTest, NearTheTopLeftScreenCornerOpensAtTen) {
  OpenOver(30, 40, 1);
  const RECT rect = test::WindowRect(form_hwnd_);
  EXPECT_EQ(std::pair(rect.left, rect.top), std::pair(10L, 10L));
  EXPECT_EQ(form_->CheckedPair(), 1);
}

}  // namespace
}  // namespace parlix

// The main window in this test's own process: keys, the text area, the start rules of a
// translation and temporary names.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/main_form_win.h"
#include "config/web_page.h"
#include "config/web_page_win.h"
#include "net/proxy_settings.h"
#include "shared/code_cript.h"
#include "shared/globals.h"
#include "shared/literals.h"
#include "platform/thread_win.h"
#include "support/box_closer_win.h"
#include "support/driver_win.h"
#include "support/main_form_fixture_win.h"
#include "support/screen_win.h"
#include "translate/lang_form_win.h"
#include "translate/pair_label_win.h"
#include "widgets/controls_win.h"

namespace parlix {
namespace {

using test::FindChild;
using test::BoxCloser;
using test::WaitUntil;
using test::WindowText;
using namespace std::chrono_literals;

void SendKey(HWND target, UINT vk, bool ctrl) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(state);
  SendMessageA(target, WM_KEYDOWN, vk, 1);
  state[VK_CONTROL] = 0;
  SetKeyboardState(state);
}

class MainFormTest : public test::MainFormFixture {
 protected:
  void SetUp() override {
    MainFormFixture::SetUp();
    translate_bt_ = FindChild(form_->Handle(), "TParlixControl", std::string("Translate"));
    ASSERT_NE(translate_bt_, nullptr);
    previous_ = SetOpenWebPageHandler([this](const std::string& url) { opened_.push_back(url); });
  }
  void TearDown() override {
    SetOpenWebPageHandler(previous_);
    ServiceInfo.ClosedVersion = false;
    MainFormFixture::TearDown();
  }
  void SetText(const char* text) { SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }
  // The window's translations go to the stand-ins.
  void ProxyThroughStandins() {
    ASSERT_TRUE(standins_.Running());
    ProxySettings.Enabled = true;
    ProxySettings.Address = "127.0.0.1";
    ProxySettings.Port = std::to_string(standins_.port);
  }

  const test::TStandins standins_ = test::Standins();

  HWND translate_bt_ = nullptr;
  std::vector<std::string> opened_;
  TOpenWebPageHandler previous_;
};

TEST_F(MainFormTest, TypingEnablesTranslateAndEscapeClears) {
  EXPECT_FALSE(IsWindowEnabled(translate_bt_));
  SetText(" ");  // blanks count as text here
  EXPECT_TRUE(IsWindowEnabled(translate_bt_));
  SendKey(memo_, VK_ESCAPE, true);  // Ctrl+Escape does nothing
  EXPECT_EQ(WindowText(memo_), " ");
  SendKey(memo_, VK_ESCAPE, false);
  EXPECT_EQ(WindowText(memo_), "");
  EXPECT_FALSE(IsWindowEnabled(translate_bt_));
}

TEST_F(MainFormTest, FunctionKeysSelectPairsWithoutCtrl) {
  ASSERT_EQ(form_->CurrentPair, 1);
  UpdateWindow(form_->LangPaintHandle());
  SendKey(memo_, VK_F5, false);
  EXPECT_EQ(form_->CurrentPair, 4);
  // The label is due for a repaint.
  EXPECT_TRUE(GetUpdateRect(form_->LangPaintHandle(), nullptr, FALSE));
  UpdateWindow(form_->LangPaintHandle());
  SendKey(memo_, VK_F1, true);
  EXPECT_EQ(form_->CurrentPair, 4);
  SendKey(memo_, VK_F12, false);
  EXPECT_EQ(form_->CurrentPair, 11);
  SendKey(memo_, VK_F1, false);
  EXPECT_EQ(form_->CurrentPair, 0);
}

// Under Wine the designed label cut "English to Portuguese" and "Portuguese to English".
TEST_F(MainFormTest, PairLabelHoldsEveryPairsWholeTextBesideTheTranslateButton) {
  const HWND label = form_->LangPaintHandle();
  const RECT rect = test::WindowRect(label);
  const RECT button = test::WindowRect(translate_bt_);
  EXPECT_LT(rect.right, button.left);
  POINT at{button.left, button.top};
  ScreenToClient(GetParent(translate_bt_), &at);
  EXPECT_EQ(at.x, 182) << "the translate button moved";
  const HDC dc = GetDC(label);
  for (int pair = 0; pair < 12; ++pair) {
    SendKey(memo_, VK_F1 + pair, false);
    EXPECT_LE(PairLabelWidth(dc, form_->CurrentPair, false, GetSharedFont("Tahoma", 11), rect.right - rect.left),
              rect.right - rect.left) << WindowText(label);
  }
  ReleaseDC(label, dc);
}

TEST_F(MainFormTest, LanguageWindowFollowsTheFunctionKeysAndGivesTheButtonBack) {
  HWND languages_bt = FindChild(form_->Handle(), "TParlixControl", std::string("Select language"));
  ASSERT_NE(languages_bt, nullptr);
  SendKey(memo_, VK_F6, false);  // pair 5
  SendMessageA(form_->Handle(), WM_USER + 3, 0, 0);
  ASSERT_NE(TLangForm::Current(), nullptr);
  EXPECT_TRUE(OpenWindowFlags.LanguagesOpen);
  EXPECT_EQ(TLangForm::Current()->CheckedPair(), 5);
  EXPECT_FALSE(IsWindowEnabled(languages_bt));
  // A second request while it is open makes no second window.
  SendMessageA(form_->Handle(), WM_USER + 3, 0, 0);
  SetFocus(memo_);
  SendKey(memo_, VK_F7, false);
  EXPECT_EQ(form_->CurrentPair, 6);
  if (TLangForm::Current() != nullptr) {
    EXPECT_EQ(TLangForm::Current()->CheckedPair(), 6);
    TLangForm::Current()->Close();
  }
  ASSERT_TRUE(WaitUntil([] { return !OpenWindowFlags.LanguagesOpen; }));
  EXPECT_TRUE(IsWindowEnabled(languages_bt));
}

TEST_F(MainFormTest, ClosedVersionShowsTheMessageAndOpensTheHomePageEveryTime) {
  ServiceInfo.ClosedVersion = true;
  ServiceInfo.HomeUrl = "http://home.example/";
  SetText("hello");
  BoxCloser closer;
  for (int attempt = 0; attempt < 2; ++attempt) {
    PostMessageA(form_->Handle(), WM_USER + 4, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return opened_.size() == static_cast<size_t>(attempt + 1); }, 10s));
  }
  EXPECT_EQ(closer.Texts(), std::vector<std::string>(2, Unscramble(kClosedVersionLit)));
  EXPECT_EQ(opened_[1], "http://home.example/");
  EXPECT_FALSE(form_->Translation().Translating);
  EXPECT_EQ(WindowText(memo_), "hello");
  EXPECT_TRUE(IsWindowEnabled(memo_));
}

TEST_F(MainFormTest, HintsHaveTheProgramsColourAndTime) {
  EXPECT_EQ(SendMessageA(form_->HintWindow(), TTM_GETTIPBKCOLOR, 0, 0), 0xCDDCE1);
  EXPECT_EQ(SendMessageA(form_->HintWindow(), TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 10000);
}

TEST_F(MainFormTest, ButtonsAndMenuCommandsOpenTheirPages) {
  test::SendClick(FindChild(form_->Handle(), "TParlixControl", std::string("More free products")));
  test::SendClick(FindChild(form_->Handle(), "TParlixControl", std::string("Make a donation")));
  SendMessageA(form_->Handle(), WM_COMMAND, kGoogleWebpageBt, 0);
  // Without a promotional address the button falls back to the products page.
  ServiceInfo.AdvUrl.clear();
  test::SendClick(FindChild(form_->Handle(), "TParlixControl", std::string("More free products")));
  EXPECT_EQ(opened_, (std::vector<std::string>{ServiceInfo.ProdUrl,
                                               DonationPageAddress(ServiceInfo.DonateUrl).value_or("none"),
                                               Unscramble(kWebPageLit), Unscramble(kProductsPageLit)}));
}

TEST_F(MainFormTest, CtrlEnterTwiceQuicklyStartsOneTranslationAndAddsNoLineBreak) {
  ASSERT_NO_FATAL_FAILURE(ProxyThroughStandins());
  const std::string record = standins_.RecordRequests("\"delay\": 0.5");
  SetText("thank you");
  for (int press = 0; press < 2; ++press) {
    // As with a real key, the line feed character is queued when the key-down is handled.
    PostMessageA(memo_, WM_CHAR, 0x0A, 1);
    SendKey(memo_, VK_RETURN, true);
  }
  ASSERT_TRUE(WaitUntil([&] { return form_->Translation().Translating; }, 5s));
  ASSERT_TRUE(WaitUntil([&] { return !form_->Translation().Translating; }, 20s));
  standins_.SetControl("{}");
  EXPECT_EQ(WindowText(memo_), "thank you");
  const std::string requests = test::ReadFileBytes(record);
  EXPECT_EQ(test::PostsIn(requests), 1) << requests;
  DeleteFileA(record.c_str());
}

TEST_F(MainFormTest, BlankTextStartsNothing) {
  SetText("  \r\n\t \r\n");
  SendMessageA(form_->Handle(), WM_USER + 4, 0, 0);
  EXPECT_FALSE(form_->Translation().Translating);
  EXPECT_EQ(form_->Translation().TransWorker, nullptr);
  EXPECT_TRUE(IsWindowEnabled(memo_));
  EXPECT_EQ(WindowText(memo_), "  \r\n\t \r\n");
}

TEST_F(MainFormTest, TempFileNamesSkipExistingFiles) {
  // The generator is deterministic: the name it gives first is made to exist, and the
  // generator is wound back to where it gave that name.
  TTranslationSession& session = form_->Translation();
  const PseudoRandom before = session.Random;
  const std::string first = session.MakeTempFileName();
  ASSERT_TRUE(test::WriteFileBytes(first, "taken"));
  session.Random = before;
  const std::string name = session.MakeTempFileName();
  EXPECT_NE(name, first);
  EXPECT_EQ(name.rfind(TempPath, 0), 0u);
  EXPECT_EQ(name.size(), TempPath.size() + 12);
  EXPECT_EQ(name.substr(name.size() - 4), ".dat");
  EXPECT_FALSE(test::FileExists(name));
  DeleteFileA(first.c_str());
}

std::string MenuText(HMENU menu, int position) {
  char text[128] = {};
  GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
  return text;
}

ULONG_PTR MenuImage(HMENU menu, UINT command) {
  return static_cast<ULONG_PTR>(MenuItemImageIndex(menu, command, false));
}

TEST_F(MainFormTest, MenuHasItsSevenItemsInOrder) {
  HMENU menu = form_->UtilsPopup();
  ASSERT_EQ(GetMenuItemCount(menu), 7);
  const char* expected[] = {"Restore Parlix", "Stay on-top", "Translate from clipboard", "Open Google web page...",
                            "Configuration...", "Exit", "About..."};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(MenuText(menu, i), expected[i]) << i;
  EXPECT_EQ(GetMenuDefaultItem(menu, TRUE, 0), 0u);
  EXPECT_EQ((std::vector{MenuImage(menu, kRestoreBt), MenuImage(menu, kGoogleWebpageBt), MenuImage(menu, kExitBt),
                         MenuImage(menu, kAboutBt)}),
            (std::vector<ULONG_PTR>{0, 7, 9, 10}));
}

TEST_F(MainFormTest, StayOnTopTogglesTheTopmostStateAndItsImage) {
  const HWND main = form_->Handle();
  EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SendMessageA(main, WM_COMMAND, kStayontopBt, 0);
  EXPECT_TRUE(form_->StayOnTopChecked());
  EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // The image follows the check mark when the menu is shown; show it and dismiss it.
  PostMessageA(main, WM_NULL, 0, 0);
  ASSERT_TRUE(test::WhileMenuOpen(
      [&] { form_->TrayVis()->OnShowPopupMenu(*form_->TrayVis(), form_->UtilsPopup(), POINT{100, 100}); },
      [] { return true; }, [](HWND) {}));
  EXPECT_EQ(MenuImage(form_->UtilsPopup(), kStayontopBt), 2u);
  EXPECT_EQ(GetMenuState(form_->UtilsPopup(), kStayontopBt, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  SendMessageA(main, WM_COMMAND, kStayontopBt, 0);
  EXPECT_FALSE(form_->StayOnTopChecked());
  EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MainFormTest, AboutTwiceGivesOneWindow) {
  // A current settings file: no first run, so no about window yet.
  EXPECT_FALSE(OpenWindowFlags.AboutOpen);
  SendMessageA(form_->Handle(), WM_COMMAND, kAboutBt, 0);
  SendMessageA(form_->Handle(), WM_COMMAND, kAboutBt, 0);
  EXPECT_EQ(test::TopWindowsOf(GetCurrentProcessId(), "TAboutForm").size(), 1u);
  EXPECT_TRUE(OpenWindowFlags.AboutOpen);
}

TEST_F(MainFormTest, DoubleClickPastesFromTheClipboardAndSelectsAll) {
  ASSERT_TRUE(test::SetClipboardText("from the clipboard"));
  SendMessageA(memo_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(WindowText(memo_), "from the clipboard");
  DWORD start = 1, end = 0;
  SendMessageA(memo_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(std::pair(start, end), std::pair(0ul, 18ul));
  EXPECT_TRUE(IsWindowEnabled(translate_bt_));
  EXPECT_EQ(form_->MemoHint(), "Double click or <Escape> to clear text area\r\nPress <Ctrl + Enter> to Translate");
  // A second double click clears it.
  SendMessageA(memo_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(WindowText(memo_), "");
  EXPECT_FALSE(IsWindowEnabled(translate_bt_));
  EXPECT_EQ(form_->MemoHint(), "Double click to paste from clipboard\r\nPress <Ctrl + Enter> to Translate");
}

TEST_F(MainFormTest, DoubleClickWithoutClipboardTextChangesOnlyTheHint) {
  test::EmptyClipboardNow();
  const std::string hint_before = form_->MemoHint();
  SendMessageA(memo_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(WindowText(memo_), "");
  EXPECT_FALSE(IsWindowEnabled(translate_bt_));
  // No clipboard text and no text: the hint is left as it was.
  EXPECT_EQ(form_->MemoHint(), hint_before);
}

TEST_F(MainFormTest, TrayIconAlternatesWhileTranslatingAndEndsOnFrameZero) {
  ASSERT_NO_FATAL_FAILURE(ProxyThroughStandins());
  standins_.SetControl("{\"delay\": 1.6}");
  SetText("thank you");
  PostMessageA(form_->Handle(), WM_USER + 4, 0, 0);
  std::vector<int> frames;
  WaitUntil(
      [&] {
        if (frames.empty() || frames.back() != form_->TrayIconFrame()) frames.push_back(form_->TrayIconFrame());
        return !form_->Translation().Translating && frames.size() > 1;
      },
      20s);
  standins_.SetControl("{}");
  EXPECT_FALSE(form_->Translation().Translating);
  EXPECT_EQ(form_->TrayIconFrame(), 0);
  // 0, 1, 0, 1, ... : a frame every 250 ms over 1.6 s gives several changes.
  ASSERT_GE(frames.size(), 4u);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], static_cast<int>(i % 2)) << i;
}

TEST_F(MainFormTest, ATranslationTheSystemCannotStartLeavesTheWindowFreeAndSaysSo) {
  const test::TReplaced<decltype(&::CreateThread)> refuse(
      ThreadSystemCalls().create_thread,
      [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
      });
  SetText("thank you");
  BoxCloser closer;
  PostMessageA(form_->Handle(), WM_USER + 4, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !closer.Texts().empty(); }, 10s));
  EXPECT_NE(closer.Texts()[0].find("Error: Cannot start the translation."), std::string::npos) << closer.Texts()[0];
  EXPECT_FALSE(form_->Translation().Translating);
  EXPECT_EQ(form_->Translation().TransWorker, nullptr);
  EXPECT_TRUE(IsWindowEnabled(memo_));
  EXPECT_TRUE(IsWindowEnabled(translate_bt_));
  EXPECT_EQ(form_->TrayIconFrame(), 0);
  EXPECT_EQ(WindowText(memo_), "thank you");
}

}  // namespace
}  // namespace parlix

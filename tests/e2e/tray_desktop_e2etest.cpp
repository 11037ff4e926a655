// The main window's place and its trips to the tray, on a desktop with a taskbar.
#include "support/session_win.h"

namespace parlix::test {
namespace {

constexpr char kSpanish[] = "gracias";

// Where the main window stands: right-aligned, a little above the taskbar.
void ExpectAboveTheTaskbarAtTheRightEdge(HWND main) {
  const RECT rect = WindowRect(main), taskbar = WindowRect(FindWindowA("Shell_TrayWnd", nullptr));
  EXPECT_EQ(rect.left, GetSystemMetrics(SM_CXSCREEN) - 250 - 25);
  EXPECT_EQ(rect.bottom, taskbar.top - 15);
}

class TrayDesktop : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_TRUE(taskbar != nullptr && IsWindowVisible(taskbar)) << "needs a desktop with a taskbar";
    ASSERT_TRUE(session_.Start(standins_.port));
  }
  void TrayClick(UINT mouse_message) { PostMessageA(main_, TrayCallbackMessage(), 0, mouse_message); }
  HWND TranslateAndWaitForResult() {
    session_.Translate("thank you");
    return session_.WaitForResult(kSpanish) ? program_->FindTopWindow("TTransForm") : nullptr;
  }
};

TEST_F(TrayDesktop, BorderlessWindowAboveTheTaskbarAtTheRightEdge) {
  RECT rect;
  GetWindowRect(main_, &rect);
  EXPECT_EQ(rect.right - rect.left, 250);
  EXPECT_EQ(rect.bottom - rect.top, 230);
  EXPECT_EQ(GetWindowLongA(main_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_SYSMENU), 0);
  ExpectAboveTheTaskbarAtTheRightEdge(main_);
  // No taskbar button: a tool window.
  EXPECT_TRUE(GetWindowLongA(main_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_F(TrayDesktop, MinimizeAndTrayClickBringTheWindowsBack) {
  HWND result = TranslateAndWaitForResult();
  ASSERT_NE(result, nullptr);
  PostMessageA(main_, WM_COMMAND, 106, 0);  // the About command
  HWND about = program_->WaitForTopWindow("TAboutForm");
  ASSERT_NE(about, nullptr);
  PostMessageA(main_, WM_USER + 8, 0, 0);  // what MinimizeBt posts
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main_); }));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(result) && !IsWindowVisible(about); }));
  // Somebody moved the window meanwhile; the click puts it back above the taskbar.
  SetWindowPos(main_, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  TrayClick(WM_LBUTTONUP);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main_) != FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(result) && IsWindowVisible(about); }));
  ExpectAboveTheTaskbarAtTheRightEdge(main_);
}

TEST_F(TrayDesktop, AltF4GoesToTheTrayAndClosesNothing) {
  HWND result = TranslateAndWaitForResult();
  ASSERT_NE(result, nullptr);
  HWND result_memo = FindChild(result, "Edit");
  PostMessageA(result_memo, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main_); }));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(result); }));
  Sleep(300);
  EXPECT_TRUE(IsWindow(result));
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_TRUE(program_->Running());
  // Again while in the tray: nothing happens.
  PostMessageA(main_, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  Sleep(300);
  EXPECT_TRUE(program_->Running());
  EXPECT_FALSE(IsWindowVisible(main_));
}

TEST_F(TrayDesktop, RightButtonReleaseOnTheIconOpensTheMenu) {
  HWND menu = session_.OpenTrayMenu();
  ASSERT_NE(menu, nullptr);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
}

}  // namespace
}  // namespace parlix::test

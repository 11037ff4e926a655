// A person at the keyboard and mouse: real key presses and clicks through the X server
// (xdotool), on Wine's virtual desktop with its taskbar. Nothing here posts keys to a
// window: where the keys land is what these tests are about. They run on an X display of
// their own, since any other program on the display could take the focus.
#include "support/session_win.h"
#include "support/x11_input_win.h"

namespace parlix::test {
namespace {

constexpr COLORREF kHintColour = 0xCDDCE1;

class KeyboardX11 : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_NE(GetEnvironmentVariableA("DISPLAY", nullptr, 0), 0u) << "needs an X display";
    const TUnixResult xdotool = RunUnix("command -v xdotool && command -v import");
    ASSERT_EQ(xdotool.status, 0) << "needs xdotool and ImageMagick's import (tools/install-deps): " << xdotool.output;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_TRUE(taskbar != nullptr && IsWindowVisible(taskbar)) << "needs a desktop with a taskbar";
    WriteSettingsWithProxy(standins_.port);
    if (monitor_clipboard_) SetIniValue("Miscellaneous", "MonitorClp", "1");
    EmptyClipboardNow();
    ASSERT_TRUE(session_.Launch());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main_) && GetForegroundWindow() == main_; }))
        << "the main window is not the active window after start";
  }
  void TearDown() override {
    if (other_ != nullptr) DestroyWindow(other_);
    ProgramTest::TearDown();
  }

  std::string MemoText() const { return WindowText(memo_); }
  // The pair label carries the pair it shows as its text.
  bool LabelShows(const std::string& pair) const { return ProgramControl(pair) != nullptr; }
  HWND ProgramControl(const std::string& text) const { return FindChild(main_, "TParlixControl", text); }
  bool Type(const std::string& text) { return Xdotool("type --delay 40 '" + text + "'"); }
  bool Key(const std::string& keys) { return Xdotool("key --delay 40 " + keys); }
  // The text area ends up with exactly this text (typing takes a moment to arrive).
  bool MemoBecomes(const std::string& text) { return WaitUntil([&] { return MemoText() == text; }, 5s); }
  // Where the program's keys go, for failure messages.
  std::string FocusReport() const {
    const GUITHREADINFO info = GuiThreadInfoOf(main_);
    return "focus " + ClassName(info.hwndFocus) + ", active " + ClassName(info.hwndActive) + ", foreground " +
           ClassName(GetForegroundWindow());
  }
  bool NoTaskbarButton() const { return TaskbarButtonsOf(program_->ProcessId()).empty(); }

  HWND other_ = nullptr;
  bool monitor_clipboard_ = false;  // "Translate from clipboard" on at start
};

class ClipboardX11 : public KeyboardX11 {
 protected:
  void SetUp() override {
    monitor_clipboard_ = true;
    KeyboardX11::SetUp();
  }
};

TEST_F(KeyboardX11, TypingTranslatingAndThePairKeysWorkFromTheKeyboard) {
  EXPECT_TRUE(NoTaskbarButton());
  // Right after start the keys go to the text area.
  ASSERT_TRUE(Type("thank you"));
  ASSERT_TRUE(MemoBecomes("thank you")) << "typed text did not land in the text area: '" << MemoText() << "', "
                                         << FocusReport();

  ASSERT_TRUE(Key("ctrl+Return"));
  ASSERT_TRUE(session_.WaitForResult("gracias")) << "no translation arrived";
  EXPECT_EQ(MemoText(), "thank you") << "Ctrl+Enter added a line break";
  EXPECT_TRUE(NoTaskbarButton()) << "a window shows a button on the taskbar";

  // The translation brought the main window to the front: typing goes on in the text area.
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }));
  ASSERT_TRUE(Type(" very much"));
  EXPECT_TRUE(MemoBecomes("thank you very much")) << "'" << MemoText() << "'";

  ASSERT_TRUE(Key("Escape"));
  EXPECT_TRUE(MemoBecomes(""));

  ASSERT_TRUE(LabelShows("English to Spanish"));
  ASSERT_TRUE(Key("F10"));
  EXPECT_TRUE(WaitUntil([&] { return LabelShows("French to German"); })) << "F10 did not choose French to German";
  ASSERT_TRUE(Key("alt+F5"));
  EXPECT_TRUE(WaitUntil([&] { return LabelShows("English to Portuguese"); })) << "Alt+F5 did not choose pair 4";
  // The menu mode that F10 would start elsewhere does not eat what comes next.
  ASSERT_TRUE(Type("hello"));
  EXPECT_TRUE(MemoBecomes("hello")) << "'" << MemoText() << "'";
  EXPECT_TRUE(program_->Running());
}

TEST_F(KeyboardX11, TheTextAreaHasTheFocusAgainAfterTheTrayAndAnotherWindow) {
  ASSERT_TRUE(Type("one"));
  ASSERT_TRUE(MemoBecomes("one"));

  // Minimize with a real click on the button, back with a real click on the tray icon.
  HWND minimize = ProgramControl("Minimize");
  ASSERT_NE(minimize, nullptr);
  ASSERT_TRUE(ClickAt(CentreOf(minimize)));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main_); })) << "the minimize button did not hide the window";
  EXPECT_TRUE(NoTaskbarButton());
  const RECT taskbar = WindowRect(FindWindowA("Shell_TrayWnd", nullptr));
  // The notification area fills from the right; the program's is the only icon there.
  ASSERT_TRUE(ClickAt(POINT{taskbar.right - 10, (taskbar.top + taskbar.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main_) && GetForegroundWindow() == main_; }))
      << "the tray click did not bring the window back";
  EXPECT_TRUE(NoTaskbarButton());
  // A person starts typing a moment after the window is back, not within the same
  // millisecond: the X server may still be passing the keyboard between Wine's windows.
  Sleep(300);
  ASSERT_TRUE(Type(" two"));
  EXPECT_TRUE(MemoBecomes("one two")) << "after the tray: '" << MemoText() << "', " << FocusReport();

  // Another program's window takes the keys, then a click on the pair label (not on the
  // text area) brings the main window back, and the keys with it.
  other_ = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 200, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other_, nullptr);
  ASSERT_TRUE(ClickAt(CentreOf(other_)));
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other_; }));
  ASSERT_TRUE(Type("elsewhere"));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(other_) == "elsewhere"; }));
  EXPECT_EQ(MemoText(), "one two");

  HWND label = ProgramControl("English to Spanish");
  ASSERT_NE(label, nullptr);
  ASSERT_TRUE(ClickAt(CentreOf(label)));
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }));
  Sleep(300);
  ASSERT_TRUE(Type(" three"));
  EXPECT_TRUE(MemoBecomes("one two three")) << "after switching back: '" << MemoText() << "', " << FocusReport();
  EXPECT_EQ(WindowText(other_), "elsewhere");
}

// What the screen shows, not what the tooltip stores. (Wine draws tooltips unthemed unless a
// theme is active in the prefix; on Windows a themed tooltip ignores the colour it is given,
// which is why the hint window opts out of theming.)
TEST_F(KeyboardX11, AHintShowsItsColourOnTheScreen) {
  ASSERT_TRUE(Type("hint"));
  ASSERT_TRUE(MemoBecomes("hint"));
  const POINT over = CentreOf(memo_);
  // A small move inside the text area after arriving, as a hand does, starts the hint's timer.
  ASSERT_TRUE(Xdotool("mousemove --sync " + std::to_string(over.x) + " " + std::to_string(over.y)));
  ASSERT_TRUE(Xdotool("mousemove --sync " + std::to_string(over.x + 3) + " " + std::to_string(over.y + 2)));
  HWND hint = program_->WaitForVisibleTopWindow("tooltips_class32", 5s);
  ASSERT_NE(hint, nullptr) << "no hint appeared";
  const std::optional<COLORREF> colour = DominantScreenColour(WindowRect(hint));
  ASSERT_TRUE(colour.has_value());
  EXPECT_EQ(*colour, kHintColour) << "the hint's background on the screen is 0x" << std::hex << *colour;
}

// A Linux program copies a text on the same X display while the program is, for Wine, the
// active one (no Wine window but its own is there): the copy is translated all the same.
TEST_F(ClipboardX11, TextCopiedInALinuxProgramIsTranslated) {
  const TUnixResult xclip = RunUnix("command -v xclip");
  ASSERT_EQ(xclip.status, 0) << "needs xclip (tools/install-deps)";
  ASSERT_EQ(GetForegroundWindow(), main_);
  // xclip stays in the background to serve the selection, as the copying program would.
  ASSERT_EQ(RunUnix("printf 'thank you' | timeout 60 xclip -selection clipboard").status, 0);
  EXPECT_TRUE(MemoBecomes("thank you")) << "'" << MemoText() << "'";
  EXPECT_TRUE(session_.WaitForResult("gracias")) << "the copied text was not translated";

  // A copy inside the program itself still starts nothing: the result window's double click
  // copies the translation, and the text area keeps what it had.
  SetWindowTextA(memo_, "kept");
  HWND result_memo = session_.ResultMemo();
  ASSERT_NE(result_memo, nullptr);
  const POINT at = CentreOf(result_memo);
  ASSERT_TRUE(Xdotool("mousemove --sync " + std::to_string(at.x) + " " + std::to_string(at.y) +
                      " click --repeat 2 --delay 100 1"));
  EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == std::optional<std::string>("gracias"); }))
      << "the double click did not copy";
  Sleep(500);
  EXPECT_EQ(MemoText(), "kept");
}

}  // namespace
}  // namespace parlix::test

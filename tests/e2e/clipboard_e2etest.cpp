// Translating from the clipboard: copies made in another program while Parlix Desk is in
// the background.
#include "support/session_win.h"
#include "support/test_window_win.h"

namespace parlix::test {
namespace {

class ClipboardMonitoring : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    EmptyClipboardNow();
  }
  void Start(bool monitor) {
    WriteSettingsWithProxy(standins_.port);
    if (monitor) SetIniValue("Miscellaneous", "MonitorClp", "1");
    ASSERT_TRUE(session_.Launch());
    // The program joins the clipboard viewer chain as its window is made; a copy made
    // before then would be missed, so wait until its first notice has been taken in.
    ASSERT_TRUE(WaitUntil([&] { return GetClipboardViewer() != nullptr; }));
  }
  // Another program's window in front, so the copies come from "elsewhere".
  void ActivateOther() {
    ShowWindow(other_.Handle(), SW_SHOW);
    SetForegroundWindow(other_.Handle());
    WaitUntil([&] { return GetForegroundWindow() == other_.Handle(); }, 5s);
  }
  // Nothing was started by the copy: the text area and the screen stay as they were.
  void ExpectNothingStarted() {
    EXPECT_FALSE(WaitUntil([&] { return !WindowText(session_.memo).empty(); }, 1500ms));
    EXPECT_EQ(WindowText(session_.memo), "");
    EXPECT_EQ(session_.program->FindTopWindow("TTransForm"), nullptr);
  }

  TTestWindow other_{{.class_name = "ParlixTestForeground", .caption = "other program", .style = WS_OVERLAPPEDWINDOW,
                      .left = 10, .top = 10, .width = 200, .height = 100}};
};

TEST_F(ClipboardMonitoring, CopyElsewhereIsTranslated) {
  Start(true);
  ActivateOther();
  ASSERT_TRUE(SetClipboardText("thank you"));
  ASSERT_TRUE(session_.WaitForResult("gracias"));
  EXPECT_EQ(WindowText(session_.memo), "thank you");
}

TEST_F(ClipboardMonitoring, SecondCopyDuringATranslationIsIgnored) {
  Start(true);
  standins_.SetControl("{\"delay\": 1.5}");
  ActivateOther();
  ASSERT_TRUE(SetClipboardText("thank you"));
  ASSERT_TRUE(WaitUntil([&] { return WindowText(session_.memo) == "thank you"; }));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(session_.memo); })) << "the translation did not start";
  ASSERT_TRUE(SetClipboardText("hello"));
  ASSERT_TRUE(session_.WaitForResult("gracias"));
  EXPECT_EQ(WindowText(session_.memo), "thank you");
}

TEST_F(ClipboardMonitoring, CopyWhileTheProgramIsActiveStartsNothing) {
  Start(true);
  SetForegroundWindow(session_.main);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == session_.main; }, 5s));
  ASSERT_TRUE(SetClipboardText("thank you"));
  ExpectNothingStarted();
}

TEST_F(ClipboardMonitoring, MonitoringOffOnlyUpdatesTheHint) {
  Start(false);
  ActivateOther();
  ASSERT_TRUE(SetClipboardText("thank you"));
  ExpectNothingStarted();
}

}  // namespace
}  // namespace parlix::test

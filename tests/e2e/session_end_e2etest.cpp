// The end of the Windows session (logoff or shutdown) as the system announces it: the query
// to every top-level window of the program, then the end itself.
#include "support/session_win.h"

namespace parlix::test {
namespace {

class SessionEnd : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(session_.Start(standins_.port));
  }
  void TearDown() override {
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ProgramTest::TearDown();
  }

  // What the system asks every top-level window before the session ends; whether each one
  // agreed within the time limit. A window that goes while the others are asked (a hint, a
  // worker's window stopped by the main window's answer) is asked no more.
  bool AllAgreeToEnd() {
    bool all_agreed = true;
    for (HWND w : session_.program->TopWindows()) {
      DWORD_PTR answer = 0;
      const bool answered =
          SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer) != 0;
      if (!answered && !IsWindow(w)) continue;
      if (!answered || answer == FALSE) all_agreed = false;
    }
    return all_agreed;
  }
  // What the system then tells them: the session ends, or (another program refused) goes on.
  void TellSessionEnds(bool ends) {
    for (HWND w : session_.program->TopWindows())
      SendMessageTimeoutA(w, WM_ENDSESSION, ends, ends ? ENDSESSION_LOGOFF : 0, SMTO_NORMAL, 20000, nullptr);
  }
};

TEST_F(SessionEnd, LogoffDuringATranslationSavesThePairLeavesNoFileAndEnds) {
  // A pair chosen in this run lives only in memory until the program closes.
  PostKey(session_.memo, VK_F3);
  ASSERT_TRUE(WaitUntil([&] { return FindChild(session_.main, "TParlixControl", std::string("English to French")); }))
      << "the label does not show the chosen pair";
  // The answer's first bytes come at once and the rest only after 8 s, so the answer file
  // exists and the worker is still reading when the session ends. (A plain delay before
  // the answer made the file appear only at its very end, for a few milliseconds.)
  standins_.SetControl("{\"split\": 300, \"split_delay\": 8}");
  session_.Translate("thank you");
  ASSERT_TRUE(WaitUntil([&] { return !session_.NoNewAnswerFile(); })) << "no answer file while the request runs";

  EXPECT_TRUE(AllAgreeToEnd());
  TellSessionEnds(true);
  // No box waits for a user who is logging off; the program ends by itself.
  EXPECT_EQ(session_.program->FindMessageBox(), nullptr);
  ASSERT_TRUE(session_.program->WaitForExit());
  EXPECT_EQ(IniValue("Language", "Last"), "2");
  EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(standins_.port));
  EXPECT_TRUE(session_.NoNewAnswerFile());
}

// With the configuration window open too: its own save put the refusal in a box.
TEST_F(SessionEnd, AnUnwritableSettingsFileDoesNotHoldUpTheLogoff) {
  PostKey(session_.memo, VK_F5);
  ASSERT_TRUE(WaitUntil([&] { return FindChild(session_.main, "TParlixControl", std::string("English to Portuguese")) != nullptr; }));
  ASSERT_TRUE(session_.ChooseFromTrayMenu(5));  // "Configuration..."
  ASSERT_NE(session_.program->WaitForTopWindow("TConfigForm"), nullptr);
  ASSERT_TRUE(SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(AllAgreeToEnd());
  TellSessionEnds(true);
  EXPECT_EQ(session_.program->FindMessageBox(), nullptr);
  EXPECT_TRUE(session_.program->WaitForExit());
  EXPECT_EQ(IniValue("Language", "Last"), "1");  // the file kept what it had
}

TEST_F(SessionEnd, ACancelledSessionEndKeepsTheProgramRunning) {
  EXPECT_TRUE(AllAgreeToEnd());
  TellSessionEnds(false);
  Sleep(300);
  EXPECT_TRUE(session_.program->Running());
  ASSERT_TRUE(IsWindow(session_.main));
  // The settings were written at the query already.
  EXPECT_EQ(IniValue("Language", "Last"), "1");
  // Still usable: a translation goes through.
  session_.Translate("thank you");
  EXPECT_TRUE(session_.WaitForResult("gracias"));
  EXPECT_TRUE(session_.program->Exit());
}

}  // namespace
}  // namespace parlix::test

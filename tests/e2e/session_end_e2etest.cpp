// The end of the Windows session (logoff or shutdown) as the system announces it: the query
// to every top-level window of the program, then the end itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/driver_win.h"

namespace parlix::test {
namespace {

std::string IniValue(const std::string& section, const std::string& key) {
  char buffer[256] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer, sizeof(buffer),
                           SettingsFilePath().c_str());
  return buffer;
}

class SessionEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running());
    standins_.SetControl("{}");
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteSettingsWithProxy(standins_.port, 1);
    dat_before_ = TempDatFiles();
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
    memo_ = FindChild(main_, "Edit");
    ASSERT_NE(memo_, nullptr);
  }
  void TearDown() override {
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    standins_.SetControl("{}");
    if (program_ && program_->Running()) program_->Kill();
  }

  // What the system does at a logoff: every top-level window is asked, and when all agreed,
  // told that the session ends. Returns whether every window agreed within the time limit.
  bool LogOff() {
    bool all_agreed = true;
    const std::vector<HWND> windows = program_->TopWindows();
    for (HWND w : windows) {
      DWORD_PTR answer = 0;
      const bool answered =
          SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer) != 0;
      // A worker's window that went away with its worker, stopped by the main window's
      // answer, is asked no more.
      if (!IsWindow(w)) continue;
      if (!answered || answer == FALSE) all_agreed = false;
    }
    for (HWND w : windows)
      if (IsWindow(w)) SendMessageTimeoutA(w, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, nullptr);
    return all_agreed;
  }

  bool NoNewDatFile() const {
    for (const auto& f : TempDatFiles())
      if (std::find(dat_before_.begin(), dat_before_.end(), f) == dat_before_.end()) return false;
    return true;
  }

  TStandins standins_;
  std::vector<std::string> dat_before_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
  HWND memo_ = nullptr;
};

TEST_F(SessionEnd, LogoffDuringATranslationSavesThePairLeavesNoFileAndEnds) {
  // A pair chosen in this run lives only in memory until the program closes.
  PostKey(memo_, VK_F3);
  ASSERT_TRUE(WaitUntil([&] { return FindChild(main_, "TParlixControl", std::string("English to French")) != nullptr; }))
      << "the label does not show the chosen pair";
  // The answer's first bytes come at once and the rest only after 8 s, so the answer file
  // exists and the worker is still reading when the session ends. (A plain delay before
  // the answer made the file appear only at its very end, for a few milliseconds.)
  standins_.SetControl("{\"split\": 300, \"split_delay\": 8}");
  SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("thank you"));
  PostMessageA(main_, WM_USER + 4, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !NoNewDatFile(); })) << "no answer file while the request runs";

  EXPECT_TRUE(LogOff());
  // No box waits for a user who is logging off; the program ends by itself.
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
  ASSERT_TRUE(program_->WaitForExit());
  EXPECT_EQ(IniValue("Language", "Last"), "2");
  EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(standins_.port));
  EXPECT_TRUE(NoNewDatFile());
}

// With the configuration window open too: its own save put the refusal in a box.
TEST_F(SessionEnd, AnUnwritableSettingsFileDoesNotHoldUpTheLogoff) {
  PostKey(memo_, VK_F5);
  ASSERT_TRUE(WaitUntil([&] { return FindChild(main_, "TParlixControl", std::string("English to Portuguese")) != nullptr; }));
  PostMessageA(main_, RegisterWindowMessageA("WM_TRAYCALLBACK"), 0, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = program_->FindTopWindow("#32768")) && IsWindowVisible(menu); }));
  for (int i = 0; i < 5; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);  // "Configuration..."
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_NE(program_->WaitForTopWindow("TConfigForm"), nullptr);
  ASSERT_TRUE(SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(LogOff());
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
  EXPECT_TRUE(program_->WaitForExit());
  EXPECT_EQ(IniValue("Language", "Last"), "1");  // the file kept what it had
}

TEST_F(SessionEnd, ACancelledSessionEndKeepsTheProgramRunning) {
  for (HWND w : program_->TopWindows()) {
    DWORD_PTR answer = 0;
    const bool answered =
        SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer) != 0;
    // A window of the program may go while the others are asked (a hint, a worker's window).
    if (!answered && !IsWindow(w)) continue;
    ASSERT_TRUE(answered);
    EXPECT_TRUE(answer);
  }
  // Another program refused: the system tells everybody that the session goes on.
  for (HWND w : program_->TopWindows()) SendMessageTimeoutA(w, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 20000, nullptr);
  Sleep(300);
  EXPECT_TRUE(program_->Running());
  ASSERT_TRUE(IsWindow(main_));
  // The settings were written at the query already.
  EXPECT_EQ(IniValue("Language", "Last"), "1");
  // Still usable: a translation goes through.
  SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("thank you"));
  PostMessageA(main_, WM_USER + 4, 0, 0);
  HWND result = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    result = program_->FindTopWindow("TTransForm");
    return result != nullptr && WindowText(FindChild(result, "Edit")) == "gracias";
  }, 30s));
  EXPECT_TRUE(program_->Exit());
}

}  // namespace
}  // namespace parlix::test

// Translating from the clipboard: copies made in another program while Parlix Desk is in
// the background.
#include <gtest/gtest.h>

#include "support/driver_win.h"

namespace parlix::test {
namespace {

// Another program's window in front, so the copies come from "elsewhere".
class TForeground {
 public:
  TForeground() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ParlixTestForeground";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, "ParlixTestForeground", "other program", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                            nullptr, nullptr, nullptr, nullptr);
  }
  ~TForeground() { DestroyWindow(hwnd_); }
  void Activate() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    WaitUntil([&] { return GetForegroundWindow() == hwnd_; }, 5s);
  }

 private:
  HWND hwnd_ = nullptr;
};

class ClipboardMonitoring : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running());
    standins_.SetControl("{}");
    EmptyClipboardNow();
  }
  void Start(bool monitor) {
    WriteSettingsWithProxy(standins_.port);
    if (monitor)
      WritePrivateProfileStringA("Miscellaneous", "MonitorClp", "1", SettingsFilePath().c_str());
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
    memo_ = FindChild(main_, "Edit");
    Sleep(300);
  }
  void TearDown() override {
    standins_.SetControl("{}");
    if (program_) program_->ExitDismissingBoxes();
  }
  HWND ResultMemo() const {
    HWND result = program_->FindTopWindow("TTransForm");
    return result != nullptr ? FindChild(result, "Edit") : nullptr;
  }
  bool ResultIs(const std::string& text) const { return ResultMemo() != nullptr && WindowText(ResultMemo()) == text; }

  TStandins standins_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
  HWND memo_ = nullptr;
  TForeground other_;
};

TEST_F(ClipboardMonitoring, CopyElsewhereIsTranslated) {
  Start(true);
  other_.Activate();
  ASSERT_TRUE(SetClipboardText("thank you"));
  ASSERT_TRUE(WaitUntil([&] { return ResultIs("gracias"); }, 30s));
  EXPECT_EQ(WindowText(memo_), "thank you");
}

TEST_F(ClipboardMonitoring, SecondCopyDuringATranslationIsIgnored) {
  Start(true);
  standins_.SetControl("{\"delay\": 1.5}");
  other_.Activate();
  ASSERT_TRUE(SetClipboardText("thank you"));
  ASSERT_TRUE(WaitUntil([&] { return WindowText(memo_) == "thank you"; }));
  Sleep(200);
  ASSERT_TRUE(SetClipboardText("hello"));
  ASSERT_TRUE(WaitUntil([&] { return ResultIs("gracias"); }, 30s));
  EXPECT_EQ(WindowText(memo_), "thank you");
}

TEST_F(ClipboardMonitoring, CopyWhileTheProgramIsActiveStartsNothing) {
  Start(true);
  SetForegroundWindow(main_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }, 5s));
  ASSERT_TRUE(SetClipboardText("thank you"));
  Sleep(1500);
  EXPECT_EQ(WindowText(memo_), "");
  EXPECT_EQ(program_->FindTopWindow("TTransForm"), nullptr);
}

TEST_F(ClipboardMonitoring, MonitoringOffOnlyUpdatesTheHint) {
  Start(false);
  other_.Activate();
  ASSERT_TRUE(SetClipboardText("thank you"));
  Sleep(1500);
  EXPECT_EQ(WindowText(memo_), "");
  EXPECT_EQ(program_->FindTopWindow("TTransForm"), nullptr);
}

}  // namespace
}  // namespace parlix::test

// The service file, fetched by the whole program from the stand-in maker's server.
#include <gtest/gtest.h>

#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"
#include "support/driver_win.h"

namespace parlix::test {
namespace {

class ServiceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running());
    // Beside the control file, on the Z: drive, so the stand-in can read it by its Unix path.
    service_file_ = standins_.control_file + ".service.txt";
  }
  void TearDown() override {
    standins_.SetControl("{}");
    // No: an update offer left up must not open anything on the way out.
    if (program_) program_->ExitDismissingBoxes(IDNO);
    DeleteFileA(service_file_.c_str());
  }
  // Serves `ini` (plain text) encoded as the program expects it.
  void Serve(const std::string& ini) {
    ASSERT_TRUE(WriteFileBytes(service_file_, EncodeServiceText(ini, Unscramble(kServiceAlphabetLit))));
    std::string unix_path = service_file_.substr(2);
    for (char& c : unix_path)
      if (c == '\\') c = '/';
    standins_.SetControl("{\"service_file\": \"" + unix_path + "\"}");
  }
  void Start() {
    WriteSettingsWithProxy(standins_.port);
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
  }

  TStandins standins_;
  std::string service_file_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
};

TEST_F(ServiceFile, DailyMessageIsShownOnceAndTheDateRecorded) {
  Serve("[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n[Home]\r\nPopupMsg=Hello from the maker\r\n");
  Start();
  HWND box = program_->WaitForMessageBox(30s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Hello from the maker");
  PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return program_->FindMessageBox() == nullptr; }));
  ASSERT_TRUE(program_->Exit());
  char shown[64] = {};
  GetPrivateProfileStringA("Popups", "DateShown", "", shown, sizeof(shown), SettingsFilePath().c_str());
  EXPECT_STRNE(shown, "");

  // Same day, next run: the message is not shown again.
  program_ = std::make_unique<TProgram>();
  main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
  WritePrivateProfileStringA("Popups", "DateShown", shown, SettingsFilePath().c_str());
  Sleep(3000);
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
}

TEST_F(ServiceFile, ClosedBuildRefusesToTranslate) {
  Serve("[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n[ClosedVersions]\r\nCount=1\r\nVersion1=" +
        Scramble("025000") + "\r\n");
  Start();
  // The check runs in the background; ask until the build knows it is closed.
  HWND memo = FindChild(main_, "Edit");
  test::SendBounded(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("thank you"));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    PostMessageA(main_, WM_USER + 4, 0, 0);
    Sleep(300);
    box = program_->FindMessageBox();
    if (box != nullptr) return true;
    // A translation that went through before the check finished: dismiss its window.
    if (HWND result = program_->FindTopWindow("TTransForm")) PostMessageA(result, WM_USER + 7, 0, 0);
    return false;
  }, 30s));
  EXPECT_EQ(MessageBoxText(box), Unscramble(kClosedVersionLit));
  PressButton(box, IDOK);
}

}  // namespace
}  // namespace parlix::test

// The service file, fetched by the whole program from the stand-in maker's server.
#include "shared/code_cript.h"
#include "shared/literals.h"
#include "support/session_win.h"

namespace parlix::test {
namespace {

class ServiceFile : public ProgramTest {
 protected:
  void TearDown() override {
    // No: an update offer left up must not open anything on the way out.
    session_.Close(IDNO);
    ProgramTest::TearDown();
  }
  void Start() { ASSERT_TRUE(session_.Start(standins_.port)); }
};

TEST_F(ServiceFile, DailyMessageIsShownOnceAndTheDateRecorded) {
  ASSERT_TRUE(standins_.ServeServiceFile(ServiceFileWithPopup("Hello from the maker")));
  Start();
  EXPECT_EQ(session_.DismissBox(30s), "Hello from the maker");
  ASSERT_TRUE(session_.program->Exit());
  const std::string shown = IniValue("Popups", "DateShown");
  EXPECT_NE(shown, "");
  EXPECT_NE(shown, "<missing>");

  // Same day, next run: the message is not shown again.
  ASSERT_TRUE(session_.Launch());
  SetIniValue("Popups", "DateShown", shown);
  Sleep(3000);
  EXPECT_EQ(session_.program->FindMessageBox(), nullptr);
}

TEST_F(ServiceFile, ClosedBuildRefusesToTranslate) {
  ASSERT_TRUE(standins_.ServeServiceFile("[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n"
                                         "[ClosedVersions]\r\nCount=1\r\nVersion1=" + Scramble("025000") + "\r\n"));
  Start();
  // The check runs in the background; ask until the build knows it is closed.
  SendBounded(session_.memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("thank you"));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    PostMessageA(session_.main, WM_USER + 4, 0, 0);
    Sleep(300);
    box = session_.program->FindMessageBox();
    if (box != nullptr) return true;
    // A translation that went through before the check finished: dismiss its window.
    if (HWND result = session_.program->FindTopWindow("TTransForm")) PostMessageA(result, WM_USER + 7, 0, 0);
    return false;
  }, 30s));
  EXPECT_EQ(MessageBoxText(box), Unscramble(kClosedVersionLit));
  PressButton(box, IDOK);
}

}  // namespace
}  // namespace parlix::test

#include "support/session_win.h"

namespace parlix::test {
namespace {

std::string TempFile(const std::string& name, const std::string& text) {
  const std::string path = TempFolder() + name;
  WriteFileBytes(path, text);
  return path;
}

class Startup : public ProgramTest {};

TEST_F(Startup, MainWindowAppearsAndClosesOnTheExitMessage) {
  ASSERT_TRUE(session_.Launch());
  EXPECT_EQ(WindowText(session_.main), "Parlix");
  ASSERT_TRUE(session_.program->Exit());
  EXPECT_EQ(session_.program->ExitCode(), 0u);
}

TEST_F(Startup, SecondCopyIsRefusedAndTheFirstKeepsRunning) {
  ASSERT_TRUE(session_.Launch());
  TProgram& first = *session_.program;
  TProgram second;
  ASSERT_TRUE(second.Started());
  HWND box = second.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Parlix is already running. Cannot continue.");
  EXPECT_EQ(second.FindTopWindow("TMainForm"), nullptr);
  PressButton(box, IDOK);
  EXPECT_TRUE(second.WaitForExit());
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(IsWindowVisible(session_.main));
  ASSERT_TRUE(first.Exit());
}

TEST_F(Startup, AutoArgumentInAnyCaseSendsTheWindowToTheTray) {
  ASSERT_TRUE(session_.Launch("/AUTO"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(session_.main); }));
  ASSERT_TRUE(session_.program->Exit());
}

TEST_F(Startup, QuotedFilePathIsLoadedIntoTheTextArea) {
  const std::string path = TempFile("parlix start text.txt", "Hello from a file\r\nsecond line");
  ASSERT_TRUE(session_.Launch("\"" + path + "\""));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(session_.memo) == "Hello from a file\r\nsecond line"; }));
  EXPECT_TRUE(IsWindowVisible(session_.main));
  ASSERT_TRUE(session_.program->Exit());
  DeleteFileA(path.c_str());
}

TEST_F(Startup, AFileTooLargeToBeATextIsRefusedWithAMessage) {
  const std::string path = TempFolder() + "parlix huge text.txt";
  {
    // 16 MiB and one byte, made by setting the end rather than by writing it.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 16 * 1024 * 1024 + 1;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
  }
  TProgram program("\"" + path + "\"");
  HWND box = program.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "The file is too large to load:\r\n" + path);
  PressButton(box, IDOK);
  HWND main = program.WaitForTopWindow("TMainForm", std::string("Parlix"));
  ASSERT_NE(main, nullptr);
  HWND memo = FindChild(main, "Edit");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(WindowText(memo), "");
  ASSERT_TRUE(program.Exit());
  DeleteFileA(path.c_str());
}

TEST_F(Startup, MissingFilePathChangesNothing) {
  ASSERT_TRUE(session_.Launch("\"C:\\no such folder\\missing.txt\""));
  Sleep(500);
  EXPECT_EQ(WindowText(session_.memo), "");
  EXPECT_TRUE(IsWindowVisible(session_.main));
  ASSERT_TRUE(session_.program->Exit());
}

}  // namespace
}  // namespace parlix::test

#include <gtest/gtest.h>

#include "support/driver_win.h"

namespace parlix::test {
namespace {

TEST(Startup, MainWindowAppearsAndClosesOnPostedMessage) {
  TProgram program;
  ASSERT_TRUE(program.Started());
  HWND main = program.WaitForTopWindow("TMainForm");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowText(main), "Parlix");
  // The Exit command's message.
  PostMessageA(main, WM_USER + 7, 0, 0);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
}  // namespace parlix::test

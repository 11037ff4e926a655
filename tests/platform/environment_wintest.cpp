#include <gtest/gtest.h>
#include <windows.h>

// The tests of text handling assume the Western ANSI code page that the Wine runner selects.
TEST(TestEnvironment, AnsiCodePageIs1252) { EXPECT_EQ(GetACP(), 1252u); }

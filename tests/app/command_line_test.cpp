#include <gtest/gtest.h>

#include "app/command_line.h"

namespace parlix {
namespace {

TEST(CommandLine, SplitsOnBlanksAndGroupsQuotes) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\parlix.exe\"  /auto"),
            (std::vector<std::string>{"C:\\Program Files\\parlix.exe", "/auto"}));
  EXPECT_EQ(SplitCommandLine("parlix.exe \"C:\\my docs\\a.txt\" extra"),
            (std::vector<std::string>{"parlix.exe", "C:\\my docs\\a.txt", "extra"}));
  EXPECT_EQ(SplitCommandLine("a\tb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
  // A quote left open runs to the end of the line.
  EXPECT_EQ(SplitCommandLine("p \"a b"), (std::vector<std::string>{"p", "a b"}));
}

TEST(CommandLine, FirstArgument) {
  EXPECT_EQ(FirstArgument("parlix.exe"), std::nullopt);
  EXPECT_EQ(FirstArgument("parlix.exe \"C:\\a b\\t.txt\""), "C:\\a b\\t.txt");
  EXPECT_EQ(FirstArgument("parlix.exe C:\\t.txt /auto"), "C:\\t.txt");
  EXPECT_EQ(FirstArgument("parlix.exe \"\""), "");
}

TEST(CommandLine, AutoStartInAnyCase) {
  for (const char* a : {"/auto", "/AUTO", "/Auto", "/aUtO"}) EXPECT_TRUE(IsAutoStartArgument(a)) << a;
  for (const char* a : {"auto", "/auto ", "/autox", "-auto", ""}) EXPECT_FALSE(IsAutoStartArgument(a)) << a;
}

}  // namespace
}  // namespace parlix

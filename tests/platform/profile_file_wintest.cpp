#include <gtest/gtest.h>
#include <windows.h>

#include "platform/profile_file_win.h"
#include "support/driver_win.h"

namespace parlix {
namespace {

TEST(ProfileFile, WritesAndReadsBack) {
  const std::string path = test::TempFolder() + "parlix-profile-test.ini";
  DeleteFileA(path.c_str());
  TProfileFile file(path);
  EXPECT_FALSE(file.Exists());
  file.WriteString("S", "K", "value with spaces");
  EXPECT_TRUE(file.Exists());
  EXPECT_EQ(file.ReadString("S", "K", "d"), "value with spaces");
  EXPECT_EQ(file.ReadString("S", "missing", "d"), "d");
  file.Delete();
  EXPECT_FALSE(file.Exists());
}

TEST(ProfileFile, ReadOnlyFileRefusesWrites) {
  const std::string path = test::TempFolder() + "parlix-readonly-test.ini";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  TProfileFile file(path);
  file.WriteString("S", "K", "1");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  try {
    file.WriteString("S", "K", "2");
    ADD_FAILURE() << "no error; GetLastError " << GetLastError();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace parlix

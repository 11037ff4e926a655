// Opening pages through the real registry of the test prefix: a stand-in browser is
// registered for ".htm" files, started by OpenWebPage, and reports the command line it got.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "config/web_page_win.h"
#include "shared/globals.h"
#include "support/driver_win.h"
#include "support/registry_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;

constexpr char kRecorderName[] = "parlix_page_recorder.exe";
constexpr char kTestClass[] = "ParlixTestHtmlFile";
const std::string kUserHtmKey = std::string(kFileExtsKey) + ".htm";
const std::string kAppKey = std::string("Applications\\") + kRecorderName;

// The build gives a Unix path; Wine maps it through the Z: drive.
std::string RecorderPath() { return test::UnixToWindowsPath(PARLIX_PAGE_RECORDER); }

class WebPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(test::TempFolder().empty());
    out_path_ = test::TempFolder() + "parlix_recorded_command.txt";
    DeleteFileA(out_path_.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("PARLIX_RECORDER_OUT", out_path_.c_str()));
    ASSERT_TRUE(test::FileExists(RecorderPath())) << RecorderPath();
    // Whatever handler another part of the program set, these tests want the browser lookup.
    previous_ = SetOpenWebPageHandler(nullptr);
  }
  void TearDown() override {
    SetOpenWebPageHandler(previous_);
    test::DeleteRegTree(HKEY_CLASSES_ROOT, kAppKey);
    test::DeleteRegTree(HKEY_CLASSES_ROOT, kTestClass);
    DeleteFileA(out_path_.c_str());
    SetEnvironmentVariableA("PARLIX_RECORDER_OUT", nullptr);
  }

  // Registers the recorder under the per-user choice for ".htm" with the given command.
  void RegisterPerUser(const std::string& command) {
    ASSERT_TRUE(test::SetRegString(HKEY_CURRENT_USER, kUserHtmKey, "Application", kRecorderName));
    ASSERT_TRUE(test::SetRegString(HKEY_CLASSES_ROOT, kAppKey + "\\shell\\open\\command", "", command));
  }

  std::optional<std::string> RecordedCommandLine() {
    // Under load Wine has been seen to show the renamed file before its bytes: wait for
    // the bytes, not the name.
    std::string bytes;
    if (!test::WaitUntil([&] { return !(bytes = test::ReadFileBytes(out_path_)).empty(); }, 15s)) return std::nullopt;
    return bytes;
  }

  std::string out_path_;
  TOpenWebPageHandler previous_;
  test::TSavedRegValue user_application_{HKEY_CURRENT_USER, kUserHtmKey, "Application"};
  test::TSavedRegValue user_prog_id_{HKEY_CURRENT_USER, kUserHtmKey, "ProgID"};
  test::TSavedRegValue htm_class_{HKEY_CLASSES_ROOT, ".htm", ""};
  test::TSavedRegValue htm_perceived_{HKEY_CLASSES_ROOT, ".htm", "PerceivedType"};
};

void ForgetPerUserChoice() {
  test::DeleteRegValue(HKEY_CURRENT_USER, kUserHtmKey, "Application");
  test::DeleteRegValue(HKEY_CURRENT_USER, kUserHtmKey, "ProgID");
}

TEST_F(WebPageTest, PerUserApplicationIsStartedWithTheAddressInItsPlaceholder) {
  // The class registry keeps naming the system's own browser; the per-user choice wins.
  RegisterPerUser("\"" + RecorderPath() + "\" -url \"%1\"");
  const std::string address = "http://127.0.0.1:9/page%20one?x=1&y=%41";
  const auto line = WebPageCommandLine(address);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(std::pair(line->Program, line->Parameters), std::pair(RecorderPath(), "-url \"" + address + "\""));

  ASSERT_TRUE(OpenWebPage(address));
  const auto recorded = RecordedCommandLine();
  ASSERT_TRUE(recorded.has_value());
  // The shell puts the program in front of the parameters, which arrive unchanged.
  EXPECT_NE(recorded->find("page_recorder"), std::string::npos) << *recorded;
  const std::string tail = "-url \"" + address + "\"";
  EXPECT_TRUE(recorded->ends_with(tail)) << *recorded;
}

TEST_F(WebPageTest, ClassRegistryCommandWithoutPlaceholderGetsTheQuotedAddress) {
  ForgetPerUserChoice();
  ASSERT_TRUE(test::SetRegString(HKEY_CLASSES_ROOT, ".htm", "", kTestClass));
  ASSERT_TRUE(test::SetRegString(HKEY_CLASSES_ROOT, std::string(kTestClass) + "\\shell\\open\\command", "",
                         "\"" + RecorderPath() + "\" -nohome"));
  const std::string address = "http://127.0.0.1:9/donate?item=Parlix Desk&ref=";
  ASSERT_TRUE(OpenWebPage(address));
  const auto recorded = RecordedCommandLine();
  ASSERT_TRUE(recorded.has_value());
  // The blank travels encoded, so the address stays one argument whatever the template.
  const std::string tail = "-nohome \"http://127.0.0.1:9/donate?item=Parlix%20Desk&ref=\"";
  EXPECT_TRUE(recorded->ends_with(tail)) << *recorded;
}

// Addresses that are no web page never reach the browser: a UNC path would make Windows
// hand the user's credentials to its host.
TEST_F(WebPageTest, AddressesThatAreNoWebPageStartNothing) {
  RegisterPerUser("\"" + RecorderPath() + "\" \"%1\"");
  for (const char* address : {"\\\\127.0.0.1\\share\\x", "file:///C:/windows/win.ini", "-new-window"}) {
    EXPECT_FALSE(OpenWebPage(address)) << address;
  }
  Sleep(1000);
  EXPECT_FALSE(test::FileExists(out_path_));
  ASSERT_TRUE(OpenWebPage("http://127.0.0.1:9/ok"));
  const auto recorded = RecordedCommandLine();
  ASSERT_TRUE(recorded.has_value());
  EXPECT_NE(recorded->find("\"http://127.0.0.1:9/ok\""), std::string::npos) << *recorded;
}

TEST_F(WebPageTest, BareProgramNamesAreFoundInTheSystemFolderOnly) {
  char system_folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system_folder, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::string copy = std::string(system_folder, length) + "\\" + kRecorderName;
  ASSERT_TRUE(CopyFileA(RecorderPath().c_str(), copy.c_str(), FALSE));
  RegisterPerUser(std::string(kRecorderName) + " %1");
  const std::string address = "http://127.0.0.1:9/";
  auto line = WebPageCommandLine(address);
  DeleteFileA(copy.c_str());
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(std::pair(line->Program, line->Parameters), std::pair(copy, address));

  // Now only on the search path (the recorder's own folder is the current one): not found.
  RegisterPerUser("parlix_no_such_browser.exe %1");
  EXPECT_FALSE(WebPageCommandLine(address).has_value());
  EXPECT_FALSE(OpenWebPage(address));
  Sleep(300);
  EXPECT_FALSE(test::FileExists(out_path_));
}

TEST_F(WebPageTest, NothingOpensWithoutAUsableCommand) {
  // A program reference with a resource index names no program; being the first candidate,
  // it is not passed over for the system's browser.
  ASSERT_EQ(RecorderPath().find(' '), std::string::npos);
  RegisterPerUser(RecorderPath() + ",1 %1");
  EXPECT_FALSE(OpenWebPage("http://127.0.0.1:9/"));
  // A ".htm" class without any command.
  ForgetPerUserChoice();
  ASSERT_TRUE(test::SetRegString(HKEY_CLASSES_ROOT, std::string(kTestClass) + "\\DefaultIcon", "", "x.ico"));
  ASSERT_TRUE(test::SetRegString(HKEY_CLASSES_ROOT, ".htm", "", kTestClass));
  test::DeleteRegValue(HKEY_CLASSES_ROOT, ".htm", "PerceivedType");
  EXPECT_FALSE(WebPageCommandLine("http://127.0.0.1:9/").has_value());
  EXPECT_FALSE(OpenWebPage("http://127.0.0.1:9/"));
  Sleep(300);
  EXPECT_FALSE(test::FileExists(out_path_));
}

TEST_F(WebPageTest, HandlersReplaceTheLookupAndDonationPageIsFilled) {
  std::vector<std::string> opened;
  SetOpenWebPageHandler([&](const std::string& url) { opened.push_back(url); });
  std::vector<std::string> contacted;
  auto previous_contact = SetOpenContactLinkHandler([&](const std::string& link) { contacted.push_back(link); });

  const TServiceInfo saved = ServiceInfo;
  ServiceInfo.DonateUrl = "http://127.0.0.1:9/d?i=%s&a=%s&r=%s";
  OpenDonationPage();
  ServiceInfo.DonateUrl = "";
  OpenDonationPage();
  ServiceInfo.DonateUrl = "http://127.0.0.1:9/d?i=%s&n=%d";
  OpenDonationPage();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("http://127.0.0.1:9/d?i=", 0), 0u);
  EXPECT_NE(opened[0].find("&a=Donate&r="), std::string::npos);

  OpenContactLink(nullptr, "mailto:someone@127.0.0.1");
  OpenContactLink(nullptr, "");
  OpenContactLink(nullptr, "C:\\windows\\system32\\cmd.exe");
  EXPECT_EQ(contacted, std::vector<std::string>{"mailto:someone@127.0.0.1"});

  ServiceInfo = saved;
  SetOpenContactLinkHandler(previous_contact);
}

}  // namespace
}  // namespace parlix

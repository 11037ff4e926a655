#include <regex>
#include <sstream>

#include "support/registry_win.h"
#include "support/session_win.h"

namespace parlix::test {
namespace {

std::vector<std::string> SectionsOf(const std::string& text) {
  std::vector<std::string> sections;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') sections.push_back(line.substr(1, line.size() - 2));
  }
  return sections;
}

void WriteIni(const std::string& text) {
  DeleteSettingsFile();
  ASSERT_TRUE(WriteSettingsFile(text));
}

bool IsRegistryGuid(const std::string& guid) {
  return std::regex_match(guid, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})"));
}

const char kCurrentFile[] =
    "[Parlix]\r\nVersion=025000\r\nGUID={11111111-2222-3333-4444-555555555555}\r\n"
    "[Language]\r\nLast=3\r\n"
    "[Proxy]\r\nAutodetect=0\r\nEnabled=1\r\nAddress=127.0.0.1\r\nPort=8080\r\nAuthenticate=1\r\n"
    "Username=alice\r\nPassword=s3cret\r\n"
    "[Miscellaneous]\r\nOntop=0\r\nMonitorClp=0\r\n"
    "[Popups]\r\nDateShown=\r\n";

// The current file with one of its lines changed.
std::string CurrentFileWith(const std::string& line, const std::string& instead) {
  std::string text = kCurrentFile;
  return text.replace(text.find(line), line.size(), instead);
}

class SettingsFile : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    RemoveFile();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    RemoveFile();
  }
  static void RemoveFile() {
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteSettingsFile();
  }
  // The program, started and ended again: what it wrote on the way.
  void RunOnce() {
    ASSERT_TRUE(session_.Launch());
    ASSERT_TRUE(program_->Exit());
  }
};

TEST_F(SettingsFile, FirstRunOpensAboutAndWritesAllSectionsAtOnce) {
  ASSERT_TRUE(session_.Launch());
  EXPECT_NE(program_->WaitForTopWindow("TAboutForm"), nullptr);
  // Written right away, before any exit (key by key, so wait for the last section).
  const std::vector<std::string> all_sections{"Parlix", "Language", "Proxy", "Miscellaneous", "Popups", "Engine"};
  ASSERT_TRUE(WaitUntil([&] { return SectionsOf(ReadFileBytes(SettingsFilePath())) == all_sections; }));
  EXPECT_EQ(IniValue("Parlix", "Version"), "025000");
  // A first run gets real translations at once: Apertium's public server.
  EXPECT_EQ(IniValue("Engine", "Kind"), "apertium");
  EXPECT_EQ(IniValue("Engine", "Address"), "https://apertium.org/apy");
  const std::string guid = IniValue("Parlix", "GUID");
  EXPECT_EQ(guid.size(), 38u);
  EXPECT_TRUE(IsRegistryGuid(guid)) << guid;
  EXPECT_EQ(IniValue("Language", "Last"), "1");
  ASSERT_TRUE(program_->Exit());
}

TEST_F(SettingsFile, OlderVersionIsRenewedKeepingTheValuesRead) {
  WriteIni(
      "[Parlix]\r\nVersion=024000\r\nGUID={AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}\r\nExtra=gone\r\n"
      "[Language]\r\nLast=7\r\n[Proxy]\r\nAutodetect=0\r\nEnabled=1\r\nAddress=proxyhost\r\nPort=3128\r\n"
      "[Miscellaneous]\r\nMonitorClp=1\r\n[Popups]\r\nDateShown=1/2/2026\r\n[Other]\r\nKey=x\r\n");
  ASSERT_TRUE(session_.Launch());
  // The renewed file is written key by key; its last key marks the end.
  ASSERT_TRUE(WaitUntil([] { return IniValue("Parlix", "Version") == "025000" && IniValue("Popups", "DateShown") != "<missing>"; }));
  // No first run: the version was there.
  Sleep(300);
  EXPECT_EQ(program_->FindTopWindow("TAboutForm"), nullptr);
  const std::string guid = IniValue("Parlix", "GUID");
  EXPECT_TRUE(IsRegistryGuid(guid));
  EXPECT_NE(guid, "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
  const struct {
    const char *section, *key, *value;
  } kept[] = {{"Parlix", "Extra", "<missing>"},    {"Other", "Key", "<missing>"},        {"Language", "Last", "7"},
              {"Proxy", "Address", "proxyhost"}, {"Miscellaneous", "MonitorClp", "1"}, {"Popups", "DateShown", "1/2/2026"}};
  for (const auto& k : kept) EXPECT_EQ(IniValue(k.section, k.key), k.value) << k.section << " " << k.key;
  ASSERT_TRUE(program_->Exit());
}

TEST_F(SettingsFile, EmptyGuidIsRenewedWithoutTheAboutWindow) {
  WriteIni("[Parlix]\r\nVersion=025000\r\nGUID=\r\n[Language]\r\nLast=2\r\n");
  ASSERT_TRUE(session_.Launch());
  ASSERT_TRUE(WaitUntil([] { return IsRegistryGuid(IniValue("Parlix", "GUID")) && IniValue("Popups", "DateShown") != "<missing>"; }));
  Sleep(300);
  EXPECT_EQ(program_->FindTopWindow("TAboutForm"), nullptr);
  EXPECT_EQ(IniValue("Language", "Last"), "2");
  ASSERT_TRUE(program_->Exit());
}

TEST_F(SettingsFile, LastOutsideThePairTableIsWrittenBackAsTheDefault) {
  WriteIni(CurrentFileWith("Last=3", "Last=42"));
  RunOnce();
  EXPECT_EQ(IniValue("Language", "Last"), "1");
}

TEST_F(SettingsFile, WithoutAutodetectTheSixProxyKeysAreKeptAsStored) {
  WriteIni(kCurrentFile);
  RunOnce();
  ExpectIni("Proxy", {{"Autodetect", "0"}, {"Enabled", "1"}, {"Address", "127.0.0.1"}, {"Port", "8080"},
                      {"Authenticate", "1"}, {"Username", "alice"}, {"Password", "s3cret"}});
  EXPECT_EQ(IniValue("Parlix", "GUID"), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(IniValue("Language", "Last"), "3");
}

TEST_F(SettingsFile, AutodetectUsesTheSystemProxyAndClearsCredentialsOnExit) {
  TSystemProxy registry(1, "HTTP=Gate.Example:3128;ftp=other:21");
  WriteIni(CurrentFileWith("Autodetect=0", "Autodetect=1"));
  RunOnce();
  ExpectIni("Proxy", {{"Autodetect", "1"}, {"Enabled", "1"}, {"Address", "gate.example"}, {"Port", "3128"},
                      {"Authenticate", "0"}, {"Username", ""}, {"Password", ""}});
}

TEST_F(SettingsFile, AutodetectWithTheSystemSwitchOffLeavesTheProxyOff) {
  TSystemProxy registry(0, "http=gate:3128");
  WriteIni(CurrentFileWith("Autodetect=0", "Autodetect=1"));
  RunOnce();
  ExpectIni("Proxy", {{"Enabled", "0"}, {"Address", "gate"}, {"Port", "3128"}});
}

TEST_F(SettingsFile, ReadOnlyFileAbandonsTheCloseWithAnError) {
  WriteIni(kCurrentFile);
  ASSERT_TRUE(SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(session_.Launch());
  PostMessageA(main_, WM_USER + 7, 0, 0);
  EXPECT_EQ(session_.DismissBox(), "Unable to write to " + SettingsFilePath());
  Sleep(300);
  EXPECT_TRUE(program_->Running());
  EXPECT_TRUE(IsWindow(main_));
  // Writable again: the next close goes through.
  SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(program_->Exit());
}

}  // namespace
}  // namespace parlix::test

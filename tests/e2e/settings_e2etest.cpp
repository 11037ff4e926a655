#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/driver_win.h"

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

std::string IniValue(const std::string& section, const std::string& key) {
  char buffer[1024] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer, sizeof(buffer),
                           SettingsFilePath().c_str());
  return buffer;
}

void WriteIni(const std::string& text) {
  DeleteSettingsFile();
  ASSERT_TRUE(WriteFileBytes(SettingsFilePath(), text));
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

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    // The data folder exists once the program ran; make sure it does for the tests that write first.
    const std::string folder = AppDataFolder() + "ParlixSoft";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Parlix").c_str(), nullptr);
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteSettingsFile();
  }
  void TearDown() override {
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteSettingsFile();
  }
};

TEST_F(SettingsFile, FirstRunOpensAboutAndWritesAllSectionsAtOnce) {
  TProgram program;
  ASSERT_TRUE(program.Started());
  ASSERT_NE(program.WaitForTopWindow("TMainForm", std::string("Parlix")), nullptr);
  EXPECT_NE(program.WaitForTopWindow("TAboutForm"), nullptr);
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
  ASSERT_TRUE(program.Exit());
}

TEST_F(SettingsFile, OlderVersionIsRenewedKeepingTheValuesRead) {
  WriteIni(
      "[Parlix]\r\nVersion=024000\r\nGUID={AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}\r\nExtra=gone\r\n"
      "[Language]\r\nLast=7\r\n[Proxy]\r\nAutodetect=0\r\nEnabled=1\r\nAddress=proxyhost\r\nPort=3128\r\n"
      "[Miscellaneous]\r\nMonitorClp=1\r\n[Popups]\r\nDateShown=1/2/2026\r\n[Other]\r\nKey=x\r\n");
  TProgram program;
  ASSERT_NE(program.WaitForTopWindow("TMainForm", std::string("Parlix")), nullptr);
  // The renewed file is written key by key; its last key marks the end.
  ASSERT_TRUE(WaitUntil([] { return IniValue("Parlix", "Version") == "025000" && IniValue("Popups", "DateShown") != "<missing>"; }));
  // No first run: the version was there.
  Sleep(300);
  EXPECT_EQ(program.FindTopWindow("TAboutForm"), nullptr);
  const std::string guid = IniValue("Parlix", "GUID");
  EXPECT_TRUE(IsRegistryGuid(guid));
  EXPECT_NE(guid, "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
  EXPECT_EQ(IniValue("Parlix", "Extra"), "<missing>");
  EXPECT_EQ(IniValue("Other", "Key"), "<missing>");
  EXPECT_EQ(IniValue("Language", "Last"), "7");
  EXPECT_EQ(IniValue("Proxy", "Address"), "proxyhost");
  EXPECT_EQ(IniValue("Miscellaneous", "MonitorClp"), "1");
  EXPECT_EQ(IniValue("Popups", "DateShown"), "1/2/2026");
  ASSERT_TRUE(program.Exit());
}

TEST_F(SettingsFile, EmptyGuidIsRenewedWithoutTheAboutWindow) {
  WriteIni("[Parlix]\r\nVersion=025000\r\nGUID=\r\n[Language]\r\nLast=2\r\n");
  TProgram program;
  ASSERT_NE(program.WaitForTopWindow("TMainForm", std::string("Parlix")), nullptr);
  ASSERT_TRUE(WaitUntil([] { return IsRegistryGuid(IniValue("Parlix", "GUID")) && IniValue("Popups", "DateShown") != "<missing>"; }));
  Sleep(300);
  EXPECT_EQ(program.FindTopWindow("TAboutForm"), nullptr);
  EXPECT_EQ(IniValue("Language", "Last"), "2");
  ASSERT_TRUE(program.Exit());
}

TEST_F(SettingsFile, LastOutsideThePairTableIsWrittenBackAsTheDefault) {
  std::string text = kCurrentFile;
  text.replace(text.find("Last=3"), 6, "Last=42");
  WriteIni(text);
  TProgram program;
  ASSERT_TRUE(program.Exit());
  EXPECT_EQ(IniValue("Language", "Last"), "1");
}

TEST_F(SettingsFile, WithoutAutodetectTheSixProxyKeysAreKeptAsStored) {
  WriteIni(kCurrentFile);
  TProgram program;
  ASSERT_TRUE(program.Exit());
  EXPECT_EQ(IniValue("Proxy", "Autodetect"), "0");
  EXPECT_EQ(IniValue("Proxy", "Enabled"), "1");
  EXPECT_EQ(IniValue("Proxy", "Address"), "127.0.0.1");
  EXPECT_EQ(IniValue("Proxy", "Port"), "8080");
  EXPECT_EQ(IniValue("Proxy", "Authenticate"), "1");
  EXPECT_EQ(IniValue("Proxy", "Username"), "alice");
  EXPECT_EQ(IniValue("Proxy", "Password"), "s3cret");
  EXPECT_EQ(IniValue("Parlix", "GUID"), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(IniValue("Language", "Last"), "3");
}

class SystemProxyRegistry {
 public:
  SystemProxyRegistry(DWORD enable, const char* server) {
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    RegSetValueExA(key_, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof(enable));
    RegSetValueExA(key_, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                   static_cast<DWORD>(strlen(server) + 1));
  }
  ~SystemProxyRegistry() {
    RegDeleteValueA(key_, "ProxyEnable");
    RegDeleteValueA(key_, "ProxyServer");
    RegCloseKey(key_);
  }

 private:
  static constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  HKEY key_ = nullptr;
};

TEST_F(SettingsFile, AutodetectUsesTheSystemProxyAndClearsCredentialsOnExit) {
  SystemProxyRegistry registry(1, "HTTP=Gate.Example:3128;ftp=other:21");
  std::string text = kCurrentFile;
  text.replace(text.find("Autodetect=0"), 12, "Autodetect=1");
  WriteIni(text);
  TProgram program;
  ASSERT_TRUE(program.Exit());
  EXPECT_EQ(IniValue("Proxy", "Autodetect"), "1");
  EXPECT_EQ(IniValue("Proxy", "Enabled"), "1");
  EXPECT_EQ(IniValue("Proxy", "Address"), "gate.example");
  EXPECT_EQ(IniValue("Proxy", "Port"), "3128");
  EXPECT_EQ(IniValue("Proxy", "Authenticate"), "0");
  EXPECT_EQ(IniValue("Proxy", "Username"), "");
  EXPECT_EQ(IniValue("Proxy", "Password"), "");
}

TEST_F(SettingsFile, AutodetectWithTheSystemSwitchOffLeavesTheProxyOff) {
  SystemProxyRegistry registry(0, "http=gate:3128");
  std::string text = kCurrentFile;
  text.replace(text.find("Autodetect=0"), 12, "Autodetect=1");
  WriteIni(text);
  TProgram program;
  ASSERT_TRUE(program.Exit());
  EXPECT_EQ(IniValue("Proxy", "Enabled"), "0");
  EXPECT_EQ(IniValue("Proxy", "Address"), "gate");
  EXPECT_EQ(IniValue("Proxy", "Port"), "3128");
}

TEST_F(SettingsFile, ReadOnlyFileAbandonsTheCloseWithAnError) {
  WriteIni(kCurrentFile);
  ASSERT_TRUE(SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  TProgram program;
  HWND main = program.WaitForTopWindow("TMainForm", std::string("Parlix"));
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_USER + 7, 0, 0);
  HWND box = program.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Unable to write to " + SettingsFilePath());
  PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return program.FindMessageBox() == nullptr; }));
  Sleep(300);
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(IsWindow(main));
  // Writable again: the next close goes through.
  SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(program.Exit());
}

}  // namespace
}  // namespace parlix::test

// The packages as a user gets them, in a fresh prefix of their own (tools/package-test makes
// it, unpacks the portable zip and runs this program there with the stand-ins up): the real
// setup program and uninstaller run silently, and the prefix is read back afterwards.
#include <windows.h>

#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/registry_win.h"
#include "support/session_win.h"
#include "support/shell_link_win.h"

namespace parlix::test {
namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Parlix Desk";
constexpr char kRunValue[] = "Parlix Desk";
constexpr char kBrowserButtonKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\";
constexpr auto kSetupTimeout = 60s;

// Files tools/package-test hands over (Unix paths of the package folder and the unpacked zip).
std::string SetupPath() { return EnvText("PARLIX_SETUP"); }
std::string PortableExe() { return EnvText("PARLIX_PORTABLE_EXE"); }

std::string DesktopLink() { return ShellFolder("Desktop") + "Parlix.lnk"; }
std::string StartMenuLink() { return ShellFolder("Programs") + "Parlix.lnk"; }
std::string ExpectedInstallFolder() { return ShellFolder("Local AppData") + "Programs\\Parlix Desk"; }

// Runs exe and waits for it: its exit code, or nullopt when it did not start or end in time.
std::optional<DWORD> RunAndWait(const std::string& exe, const std::string& arguments) {
  TProgram run(arguments, exe);
  if (!run.Started() || !run.WaitForExit(kSetupTimeout)) return std::nullopt;
  return run.ExitCode();
}

std::optional<DWORD> RunSetup(const std::string& options = "") {
  return RunAndWait(UnixToWindowsPath(SetupPath()), options.empty() ? "/S" : "/S " + options);
}

std::string WithoutTrailingDelimiter(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// "a.b.c" out of ".../ParlixDesk-a.b.c-setup.exe".
std::string VersionOfSetupName() {
  std::smatch m;
  const std::string path = SetupPath();
  static const std::regex name(R"(ParlixDesk-(\d+)\.(\d+)\.(\d+)-setup\.exe$)");
  if (!std::regex_search(path, m, name)) return "";
  return m[1].str() + "." + m[2].str() + "." + m[3].str();
}

struct TVersionInfo {
  std::string fixed;                         // "a.b.c.d" from the fixed part
  std::map<std::string, std::string> texts;  // the US English string table, by name
};

std::optional<TVersionInfo> ReadVersionInfo(const std::string& exe) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data())) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr)
    return std::nullopt;
  TVersionInfo info;
  for (DWORD part : {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                     LOWORD(fixed->dwFileVersionLS)})
    info.fixed += (info.fixed.empty() ? "" : ".") + std::to_string(part);
  for (const char* name :
       {"FileVersion", "ProductVersion", "ProductName", "FileDescription", "CompanyName", "LegalCopyright"}) {
    char* value = nullptr;
    UINT chars = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) && value != nullptr)
      info.texts[name] = value;
  }
  return info;
}

class Packages : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_FALSE(SetupPath().empty()) << "run through tools/package-test";
  }

  // Starts exe with a settings file pointing at the stand-ins and waits for its main window.
  void Start(const std::string& exe, int pair = 1) {
    WriteSettingsWithProxy(standins_.port, pair);
    ASSERT_TRUE(session_.Launch("", exe)) << exe;
  }

  void TranslateSample() {
    session_.Translate(kSample);
    EXPECT_TRUE(session_.WaitForResult(kSampleSpanish)) << session_.Result();
  }

  // Through the program's Exit path, which ends it with code 0.
  void Exit() {
    EXPECT_TRUE(program_->Exit());
    ExpectExitedCleanly();
  }
  void ExpectExitedCleanly() {
    EXPECT_EQ(program_->ExitCode(), 0u) << "the program did not leave through its Exit path";
    session_.Close();
  }
};

TEST_F(Packages, VersionResourceMatchesTheSetupName) {
  const std::string version = VersionOfSetupName();
  ASSERT_FALSE(version.empty()) << SetupPath();
  // The installed exe is byte for byte this one (checked below).
  std::optional<TVersionInfo> info = ReadVersionInfo(UnixToWindowsPath(PortableExe()));
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->fixed, version + ".0");
  for (const auto& [name, value] : std::map<std::string, std::string>{
           {"FileVersion", version}, {"ProductVersion", version}, {"ProductName", "Parlix Desk"},
           {"FileDescription", "Parlix Desk Translator"}, {"CompanyName", "ParlixSoft"}})
    EXPECT_EQ(info->texts[name], value) << name;
  EXPECT_NE(info->texts["LegalCopyright"].find("ParlixSoft"), std::string::npos) << info->texts["LegalCopyright"];
  // The setup program says the same of itself.
  std::optional<TVersionInfo> setup = ReadVersionInfo(UnixToWindowsPath(SetupPath()));
  ASSERT_TRUE(setup.has_value());
  EXPECT_EQ(setup->texts["ProductVersion"], version);
}

TEST_F(Packages, PortableZipUnpacksToAProgramThatTranslates) {
  ASSERT_TRUE(FileExists(UnixToWindowsPath(PortableExe())));
  Start(UnixToWindowsPath(PortableExe()));
  TranslateSample();
  Exit();
}

// One user's whole story with the setup program: install, use, upgrade while the program
// runs, uninstall.
TEST_F(Packages, InstallRunUpgradeWhileRunningAndUninstall) {
  ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "the prefix is not fresh";
  ASSERT_EQ(RunSetup("/AUTOSTART=1"), std::optional<DWORD>(0));

  const std::string folder = ExpectedInstallFolder();
  const std::string exe = folder + "\\parlix.exe";
  const std::string uninstaller = folder + "\\uninstall.exe";
  EXPECT_TRUE(FileExists(exe));
  EXPECT_TRUE(FileExists(uninstaller));
  EXPECT_EQ(ReadFileBytes(exe), ReadFileBytes(UnixToWindowsPath(PortableExe())));

  // Both shortcuts, as the configuration window makes them.
  for (const std::string& path : {StartMenuLink(), DesktopLink()}) {
    const std::optional<TShellLink> link = ReadShellLink(path);
    ASSERT_TRUE(link.has_value()) << path;
    EXPECT_TRUE(SameText(link->target, exe)) << link->target;
    EXPECT_TRUE(SameText(WithoutTrailingDelimiter(link->working_folder), folder)) << link->working_folder;
    EXPECT_EQ(link->arguments, "");
    EXPECT_EQ(link->description, "Parlix Desk Translator");
    EXPECT_TRUE(SameText(link->icon_file, exe)) << link->icon_file;
    EXPECT_EQ(link->icon_index, 0);
  }
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, kRunValue), "\"" + exe + "\" /auto");

  // Apps and features.
  ExpectRegStrings(HKEY_CURRENT_USER, kUninstallKey,
                   {{"DisplayName", "Parlix Desk"}, {"DisplayVersion", VersionOfSetupName()}, {"Publisher", "ParlixSoft"},
                    {"DisplayIcon", exe + ",0"}, {"InstallLocation", folder},
                    {"UninstallString", "\"" + uninstaller + "\""}, {"QuietUninstallString", "\"" + uninstaller + "\" /S"}});
  const DWORD exe_kb = static_cast<DWORD>(ReadFileBytes(exe).size() / 1024);
  const std::optional<DWORD> estimated = RegDword(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(estimated.has_value());
  EXPECT_GE(*estimated, exe_kb);
  EXPECT_LT(*estimated, exe_kb + 1024);
  EXPECT_EQ(RegDword(HKEY_CURRENT_USER, kUninstallKey, "NoModify"), std::optional<DWORD>(1));
  EXPECT_EQ(RegDword(HKEY_CURRENT_USER, kUninstallKey, "NoRepair"), std::optional<DWORD>(1));

  // The installed program works.
  Start(exe);
  TranslateSample();
  Exit();

  // An older build in place (different bytes) and running, with a pair chosen in this run:
  // a second silent install closes it through its Exit path, so the pair is saved, then
  // replaces it. The shortcuts and the autostart entry stay as they were.
  {
    std::string older = ReadFileBytes(exe);
    older.append(4096, '\0');
    ASSERT_TRUE(WriteFileBytes(exe, older));
  }
  Start(exe, 1);
  PostKey(memo_, VK_F6);  // pair 5
  ASSERT_EQ(RunSetup(), std::optional<DWORD>(0));
  EXPECT_TRUE(program_->WaitForExit(5s)) << "setup left the program running";
  ExpectExitedCleanly();
  EXPECT_EQ(IniValue("Language", "Last"), "5");
  EXPECT_EQ(ReadFileBytes(exe), ReadFileBytes(UnixToWindowsPath(PortableExe())));
  EXPECT_TRUE(ReadShellLink(DesktopLink()).has_value());
  EXPECT_TRUE(ReadShellLink(StartMenuLink()).has_value());
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, kRunValue), "\"" + exe + "\" /auto");

  // A browser button this installation made (its key is named by the settings file's GUID).
  const std::string guid = IniValue("Parlix", "GUID");
  ASSERT_EQ(guid.size(), 38u);
  const std::string button_key = kBrowserButtonKey + guid;
  ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, button_key, "Exec", exe));
  const std::string toolbar_icon = DataFolder() + "ToolbarIcon.ico";
  ASSERT_TRUE(WriteFileBytes(toolbar_icon, "icon"));

  // Uninstall the way Apps and features does it silently (its command line checked above). The
  // uninstaller hands over to a copy of itself and returns at once: wait for its work.
  ASSERT_EQ(RunAndWait(uninstaller, "/S"), std::optional<DWORD>(0));
  EXPECT_TRUE(WaitUntil([&] { return !RegKeyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60s));
  EXPECT_TRUE(WaitUntil([&] { return !FolderExists(folder); }, 10s)) << "program folder still there";
  EXPECT_FALSE(FileExists(exe));
  EXPECT_FALSE(FileExists(uninstaller));
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(FileExists(StartMenuLink()));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, kRunValue), std::nullopt);
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, button_key));
  EXPECT_FALSE(FileExists(toolbar_icon));
  // The user's settings stay for a later install.
  EXPECT_TRUE(FileExists(SettingsFilePath()));
  EXPECT_EQ(IniValue("Language", "Last"), "5");
}

// A copy that holds the single-instance mutex but never answers (here: no window at all)
// gets a limited time; then a silent setup gives up with exit code 2 and changes nothing.
TEST_F(Packages, SetupGivesUpOnACopyThatDoesNotCloseAndChangesNothing) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "PARLIXmutex");
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  const std::optional<DWORD> code = RunSetup();
  CloseHandle(mutex);
  EXPECT_EQ(code, std::optional<DWORD>(2));
  EXPECT_FALSE(FolderExists(ExpectedInstallFolder()));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_FALSE(FileExists(StartMenuLink()));
}

// Installed elsewhere without the options, the uninstaller closes the running program through
// its Exit path and takes only what is its own: an autostart entry and a browser button of
// another copy, and a file of the user's in the program folder, stay.
TEST_F(Packages, UninstallClosesTheProgramAndLeavesWhatIsNotItsOwn) {
  ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "an earlier test left an install";
  const std::string folder = "C:\\Other Place\\Parlix";
  ASSERT_EQ(RunSetup("/DESKTOP=0 /AUTOSTART=0 /D=" + folder), std::optional<DWORD>(0));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation"), folder);
  EXPECT_TRUE(FileExists(folder + "\\parlix.exe"));
  EXPECT_TRUE(ReadShellLink(StartMenuLink()).has_value());
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, kRunValue), std::nullopt);

  const std::string other_exe = "C:\\Elsewhere\\parlix.exe";
  const std::string other_run = "\"" + other_exe + "\" /auto";
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kRunKey, kRunValue, other_run));
  const std::string guid = IniValue("Parlix", "GUID");
  ASSERT_EQ(guid.size(), 38u);
  const std::string button_key = kBrowserButtonKey + guid;
  ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, button_key, "Exec", other_exe));
  const std::string toolbar_icon = DataFolder() + "ToolbarIcon.ico";
  ASSERT_TRUE(WriteFileBytes(toolbar_icon, "icon"));
  const std::string users_file = folder + "\\notes.txt";
  ASSERT_TRUE(WriteFileBytes(users_file, "mine"));

  // Running, it is closed through its Exit path first, like setup does it.
  Start(folder + "\\parlix.exe", 1);
  PostKey(memo_, VK_F3);  // pair 2
  ASSERT_EQ(RunAndWait(folder + "\\uninstall.exe", "/S"), std::optional<DWORD>(0));
  EXPECT_TRUE(program_->WaitForExit(30s)) << "the uninstaller left the program running";
  ExpectExitedCleanly();
  EXPECT_TRUE(WaitUntil([&] { return !RegKeyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60s));
  EXPECT_EQ(IniValue("Language", "Last"), "2");
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + "\\uninstall.exe"); }, 10s));
  EXPECT_FALSE(FileExists(folder + "\\parlix.exe"));
  EXPECT_FALSE(FileExists(StartMenuLink()));
  EXPECT_TRUE(FileExists(users_file));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, kRunValue), other_run);
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, button_key, "Exec"), other_exe);
  EXPECT_TRUE(FileExists(toolbar_icon));

  DeleteRegValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
  DeleteRegTree(HKEY_LOCAL_MACHINE, button_key);
  DeleteFileA(toolbar_icon.c_str());
}

}  // namespace
}  // namespace parlix::test

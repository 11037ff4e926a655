// The configuration window in the running program: opened from the tray menu, its layout
// and values, Autodetect, saving on close and the proxy the next translation takes, and the
// four integration boxes toggled by real mouse clicks and the space bar.
#include <windows.h>

#include <mutex>

#include "support/loopback_peer_win.h"
#include "support/registry_win.h"
#include "support/session_win.h"
#include "support/shell_link_win.h"
#include "support/tls_trust_win.h"
#include "support/x11_input_win.h"

namespace parlix::test {
namespace {

constexpr char kGuid[] = "{11111111-2222-3333-4444-555555555555}";
constexpr char kBrowserKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{11111111-2222-3333-4444-555555555555}";
constexpr int kConfigurationCommandRow = 5;  // the menu's fifth item

void WriteSettings(const std::string& proxy_lines) {
  WriteSettingsFile(std::string("[Parlix]\r\nVersion=025000\r\nGUID=") + kGuid + "\r\n[Language]\r\nLast=1\r\n[Proxy]\r\n" +
                    proxy_lines + "[Miscellaneous]\r\nOntop=0\r\nMonitorClp=0\r\n[Popups]\r\nDateShown=\r\n"
                    "[Engine]\r\nKind=page\r\nAddress=\r\nKey=\r\n");
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The texts of the edits, in order, so a row of them reads as one expectation.
std::vector<std::string> Texts(const std::vector<HWND>& edits) {
  std::vector<std::string> texts;
  for (HWND edit : edits) texts.push_back(WindowText(edit));
  return texts;
}

// Real input through the X server (xdotool), so activation, focus and the button's own
// click handling happen as for a person.
void ClickAt(HWND control) {
  const RECT rect = WindowRect(control);
  // Without --sync: xdotool's --sync waits for the pointer to move, for ever when it is there already.
  EXPECT_TRUE(Xdotool("mousemove " + std::to_string(rect.left + 6) + " " + std::to_string((rect.top + rect.bottom) / 2) +
                      " click 1"))
      << ClassName(control);
}

// Keys by their X names.
void PressKeys(const std::vector<std::string>& names) {
  for (const std::string& name : names) EXPECT_TRUE(Xdotool("key " + name)) << name;
}

// Text key by key (letters, digits and the few marks an address has).
void TypeText(const std::string& text) {
  std::vector<std::string> names;
  for (char c : text) names.push_back(c == ':' ? "colon" : c == '/' ? "slash" : c == '.' ? "period" : std::string(1, c));
  PressKeys(names);
}

// The image sizes and colour depths an icon file announces, after checking it is one.
std::vector<std::pair<int, int>> IconImages(const std::string& bytes) {
  std::vector<std::pair<int, int>> images;
  if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0) return images;
  auto byte = [&](size_t p) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[p])); };
  auto u32 = [&](size_t p) { return byte(p) | byte(p + 1) << 8 | byte(p + 2) << 16 | byte(p + 3) << 24; };
  const int count = static_cast<int>(byte(4) | byte(5) << 8);
  for (int i = 0; i < count; ++i) {
    const size_t at = 6 + 16 * static_cast<size_t>(i);
    if (at + 16 > bytes.size()) return {};
    const uint32_t size = u32(at + 8), offset = u32(at + 12);
    if (offset + size > bytes.size() || size < 40) return {};
    // The image's own header must agree with the directory.
    const int width = static_cast<int>(u32(offset + 4));
    if (width != static_cast<int>(byte(at))) return {};
    images.emplace_back(width, static_cast<int>(byte(offset + 14)));
  }
  return images;
}

class ConfigWindow : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_NE(GetEnvironmentVariableA("DISPLAY", nullptr, 0), 0u) << "needs an X display";
    ASSERT_EQ(RunUnix("command -v xdotool").status, 0) << "needs xdotool (tools/install-deps)";
    CleanIntegrations();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    CleanIntegrations();
    DeleteRegValue(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer");
    DeleteRegValue(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable");
    if (!copied_exe_.empty()) {
      DeleteFileA(copied_exe_.c_str());
      RemoveDirectoryA(FolderOfCopy().c_str());
    }
  }

  static void CleanIntegrations() {
    DeleteFileA((ShellFolder("Desktop") + "Parlix.lnk").c_str());
    DeleteFileA((ShellFolder("Programs") + "Parlix.lnk").c_str());
    DeleteRegValue(HKEY_CURRENT_USER, kRunKey, "Parlix Desk");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBrowserKey);
    DeleteFileA((DataFolder() + "ToolbarIcon.ico").c_str());
  }

  static std::string FolderOfCopy() { return "C:\\Program Files\\Parlix Test"; }

  void Start(const std::string& exe = TProgram::PARLIX_EXE_PATH()) { ASSERT_TRUE(session_.Launch("", exe)); }
  // The stand-in proxy without credentials, the page service as the engine.
  void StartOnTheStandins(const std::string& exe = TProgram::PARLIX_EXE_PATH()) {
    WriteSettingsWithEngine("page", "", "", standins_.port);
    Start(exe);
  }

  // The tray icon's right click opens the menu; the keys pick "Configuration...".
  void ChooseConfigurationFromTrayMenu() { ASSERT_TRUE(session_.ChooseFromTrayMenu(kConfigurationCommandRow)); }

  HWND OpenConfig() {
    ChooseConfigurationFromTrayMenu();
    HWND form = program_->WaitForTopWindow("TConfigForm");
    if (form != nullptr) WaitUntil([&] { return IsWindowVisible(form) != FALSE; });
    return form;
  }

  HWND Box(HWND form, const char* caption) { return FindChild(form, "Button", std::string(caption)); }

  // The edits by their place in the proxy group: address, port, user name, password.
  std::vector<HWND> Edits(HWND form) {
    std::vector<HWND> edits(4, nullptr);
    for (HWND edit : Children(form, "Edit")) {
      const RECT r = RectIn(edit, form);
      for (int i = 0; i < 4; ++i)
        if (r.left == 7 + 90 && r.top == 7 + (i < 2 ? 42 + 25 * i : 113 + 25 * (i - 2))) edits[i] = edit;
    }
    return edits;
  }

  // Clicks the box and waits for its action to settle; an information box is confirmed.
  void ClickBox(HWND box) {
    ClickAt(box);
    Settle();
  }
  void SpaceOn(HWND box) {
    ASSERT_TRUE(WaitUntil([&] { return GetFocus() == box || GuiThreadInfoOf(box).hwndFocus == box; }, 5s));
    PressKeys({"space"});
    Settle();
  }
  // Input through the X server reaches the program with no sign this process can wait on,
  // and what a click sets off (a file, a key, a box) differs from box to box: the pause of
  // a person between two actions.
  void Settle() { PumpFor(500); }

  std::string copied_exe_;
};

TEST_F(ConfigWindow, OpensOnceWithItsLayoutAndTheStoredValuesAndAlwaysSavesOnClose) {
  WriteSettings("Autodetect=0\r\nEnabled=1\r\nAddress=127.0.0.1\r\nPort=" + std::to_string(standins_.port) +
                "\r\nAuthenticate=1\r\nUsername=alice\r\nPassword=s3cret\r\n");
  Start();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(WindowText(form), "Configuration");
  EXPECT_EQ(GetWindow(form, GW_OWNER), main_);
  EXPECT_EQ(GetWindowLongA(form, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
  // Two columns, centred: the translation engine's group stands right of the others.
  const RECT window = WindowRect(form);
  const LONG left = (GetSystemMetrics(SM_CXSCREEN) - 492) / 2, top = (GetSystemMetrics(SM_CYSCREEN) - 310) / 2;
  EXPECT_EQ(window, (RECT{left, top, left + 492, top + 310}));

  HWND proxy_group = Box(form, " HTTP Proxy ");
  HWND shortcuts_group = Box(form, " Shortcuts ");
  ASSERT_NE(proxy_group, nullptr);
  ASSERT_NE(shortcuts_group, nullptr);
  const RECT group = RectIn(proxy_group, form);
  EXPECT_EQ(group, (RECT{7, 7, 7 + 235, 7 + 170}));
  const RECT autodetect = RectIn(Box(form, "Autodetect"), form);
  EXPECT_EQ(autodetect.left - group.left, 153);
  EXPECT_EQ(autodetect.top - group.top, 6);
  EXPECT_EQ(autodetect.right - autodetect.left, 80);
  const std::vector<HWND> edits = Edits(form);
  for (HWND edit : edits) ASSERT_NE(edit, nullptr);
  EXPECT_EQ(RectIn(edits[1], form), (RECT{97, 74, 97 + 121, 74 + 19}));  // the port, right of its label
  EXPECT_EQ(GetWindowLongA(edits[1], GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0);
  const RECT shortcuts = RectIn(shortcuts_group, form);
  const RECT launch = RectIn(Box(form, "Launch with Windows"), form);
  EXPECT_EQ(shortcuts.top, 181);
  EXPECT_EQ(launch.left - shortcuts.left, 10);
  EXPECT_EQ(launch.top - shortcuts.top, 78);
  EXPECT_EQ(launch.right - launch.left, 215);
  HWND close = FindChild(form, "TParlixControl", std::string("Close"));
  ASSERT_NE(close, nullptr);
  const RECT close_rect = RectIn(close, form);
  EXPECT_EQ(close_rect.left, 226);
  EXPECT_EQ(close_rect.top, 286);
  EXPECT_EQ(close_rect.right - close_rect.left, 19);

  // The stored values, with the details enabled as Autodetect is off.
  EXPECT_FALSE(Checked(Box(form, "Autodetect")));
  EXPECT_TRUE(Checked(Box(form, "Use proxy")));
  EXPECT_TRUE(Checked(Box(form, "Authenticate")));
  EXPECT_EQ(Texts(edits), (std::vector<std::string>{"127.0.0.1", std::to_string(standins_.port), "alice", "s3cret"}));
  EXPECT_TRUE(GetWindowLongA(edits[3], GWL_STYLE) & ES_PASSWORD);
  EXPECT_EQ(SendMessageA(edits[3], EM_GETPASSWORDCHAR, 0, 0), '*');
  for (HWND control : {Box(form, "Use proxy"), edits[0], edits[1], Box(form, "Authenticate"), edits[2], edits[3]})
    EXPECT_TRUE(IsWindowEnabled(control));

  // The command again: still one window.
  ChooseConfigurationFromTrayMenu();
  Settle();
  EXPECT_EQ(program_->TopWindows("TConfigForm").size(), 1u);

  // The main window goes to the tray; this one stays.
  PostMessageA(main_, WM_USER + 8, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main_); }));
  Settle();
  EXPECT_TRUE(IsWindowVisible(form));

  // Pressing on the background drags the window along.
  {
    const POINT from{window.left + 100, window.top + 296};
    std::string drag = "mousemove " + std::to_string(from.x) + " " + std::to_string(from.y) + " mousedown 1 sleep 0.2";
    for (int step = 1; step <= 4; ++step)
      drag += " sleep 0.1 mousemove " + std::to_string(from.x - 10 * step) + " " + std::to_string(from.y - 8 * step);
    EXPECT_TRUE(Xdotool(drag + " mouseup 1"));
    RECT moved;
    EXPECT_TRUE(WaitUntil([&] {
      GetWindowRect(form, &moved);
      return moved.left == window.left - 40 && moved.top == window.top - 32;
    }, 5s)) << moved.left << "," << moved.top;
  }

  // Nothing changed, and still the file is written when the window closes.
  DeleteSettingsFile();
  ClickAt(close);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); }));
  ASSERT_TRUE(WaitUntil([] { return IniValue("Popups", "DateShown") != "<missing>"; }));
  ExpectIni("Proxy", {{"Username", "alice"}, {"Port", std::to_string(standins_.port)}});

  // Closed, it opens again.
  form = OpenConfig();
  EXPECT_NE(form, nullptr);
}

TEST_F(ConfigWindow, AutodetectShowsStoredValuesDetectsOnTickAndRestoresOnClear) {
  ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable", 1));
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer", "http=stored-gate:3128"));
  WriteSettings("Autodetect=1\r\nEnabled=0\r\nAddress=\r\nPort=\r\nAuthenticate=0\r\nUsername=\r\nPassword=\r\n");
  Start();
  // The system changes after the program read its settings.
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer", "ftp=x:21;HTTP=Fresh-Gate:8080"));
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  HWND autodetect = Box(form, "Autodetect");
  HWND use_proxy = Box(form, "Use proxy");
  HWND auth = Box(form, "Authenticate");
  const std::vector<HWND> edits = Edits(form);
  for (HWND edit : edits) ASSERT_NE(edit, nullptr);
  using Shown = std::vector<std::string>;  // address, port, user name, password
  const Shown stored{"stored-gate", "3128", "", ""};

  // Open with Autodetect: the stored (load-time) values, all six disabled.
  EXPECT_TRUE(Checked(autodetect));
  EXPECT_TRUE(Checked(use_proxy));
  EXPECT_EQ(Texts(edits), stored);
  for (HWND control : {use_proxy, edits[0], edits[1], auth, edits[2], edits[3]}) EXPECT_FALSE(IsWindowEnabled(control));

  // Cleared by a click: the stored values again, enabled.
  ClickBox(autodetect);
  EXPECT_FALSE(Checked(autodetect));
  EXPECT_EQ(Texts(edits), stored);
  for (HWND control : {use_proxy, edits[0], edits[1], auth, edits[2], edits[3]}) EXPECT_TRUE(IsWindowEnabled(control));

  // Ticked by the space bar: a fresh detection.
  SpaceOn(autodetect);
  EXPECT_TRUE(Checked(autodetect));
  EXPECT_EQ(Texts(edits), (Shown{"fresh-gate", "8080", "", ""}));
  // Cleared again: the stored values, not the detected ones.
  SpaceOn(autodetect);
  EXPECT_EQ(Texts(edits), stored);

  // No entry for http: Use proxy, Address and Port are cleared, the credentials stay.
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer", "ftp=x:21"));
  SendMessageA(edits[2], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("bob"));
  SendMessageA(edits[3], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("pw"));
  ClickBox(auth);
  ASSERT_TRUE(Checked(auth));
  ClickBox(autodetect);
  EXPECT_TRUE(Checked(autodetect));
  EXPECT_FALSE(Checked(use_proxy));
  EXPECT_TRUE(Checked(auth));
  EXPECT_EQ(Texts(edits), (Shown{"", "", "bob", "pw"}));
}

TEST_F(ConfigWindow, ClosingKeepsTheTypedProxyAndTheNextTranslationGoesThroughIt) {
  // The new proxy: records the request line and answers with a page of its own.
  std::mutex lock;
  std::vector<std::string> requests;
  LoopbackPeer new_proxy(
      [&](PeerConnection& c) {
        const std::string request = c.ReceiveRequest();
        const size_t blank = request.find("\r\n\r\n");
        if (blank == std::string::npos) return;
        {
          std::lock_guard<std::mutex> guard(lock);
          requests.push_back(request.substr(0, request.find("\r\n")) + "|" + request.substr(blank + 4));
        }
        const std::string page =
            "<html><body>\n<div dir=\"ltr\" id=result_box class=\"short_text\">por el proxy nuevo</div>\n</body></html>\n";
        c.SendAll("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
                  "\r\nConnection: close\r\n\r\n" + page);
      },
      2);
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  const std::vector<HWND> edits = Edits(form);
  for (HWND edit : edits) ASSERT_NE(edit, nullptr);
  SendMessageA(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(new_proxy.PortText().c_str()));
  SendMessageA(edits[2], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("carol "));
  ClickAt(FindChild(form, "TParlixControl", std::string("Close")));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); }));
  ASSERT_TRUE(WaitUntil([&] { return IniValue("Proxy", "Port") == new_proxy.PortText(); }));
  // As typed: the trailing blank reaches the file (reading a profile string would trim it).
  EXPECT_NE(ReadFileBytes(SettingsFilePath()).find("\r\nUsername=carol \r\n"), std::string::npos)
      << ReadFileBytes(SettingsFilePath());
  EXPECT_EQ(IniValue("Proxy", "Address"), "127.0.0.1");
  EXPECT_EQ(IniValue("Proxy", "Enabled"), "1");

  session_.Translate("thank you");
  ASSERT_TRUE(session_.WaitForResult("por el proxy nuevo"));
  std::lock_guard<std::mutex> guard(lock);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find(' ', 5)), "POST http://translate.google.com/translate_t");
  EXPECT_NE(requests[0].find("text=thank+you"), std::string::npos) << requests[0];
}

TEST_F(ConfigWindow, ExitingWithTheWindowOpenKeepsWhatItShows) {
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  const std::vector<HWND> edits = Edits(form);
  ASSERT_NE(edits[0], nullptr);
  SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("gate.example"));
  ASSERT_TRUE(program_->Exit());
  EXPECT_EQ(IniValue("Proxy", "Address"), "gate.example");
}

TEST_F(ConfigWindow, ShortcutBoxesWriteAndRemoveTheirLinksByClickAndSpaceBar) {
  // A Start-menu shortcut from before: the box shows it, and opening the window keeps it.
  const std::string start_link = ShellFolder("Programs") + "Parlix.lnk";
  ASSERT_TRUE(WriteFileBytes(start_link, "old"));
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  const std::string program = TProgram::PARLIX_EXE_PATH();
  const std::string folder = program.substr(0, program.rfind('\\') + 1);
  HWND desk_box = Box(form, "Install Desktop shortcut");
  HWND start_box = Box(form, "Install Start menu shortcut");
  EXPECT_FALSE(Checked(desk_box));
  EXPECT_TRUE(Checked(start_box));
  EXPECT_EQ(ReadFileBytes(start_link), "old");

  const struct {
    HWND box;
    std::string link;
  } boxes[] = {{desk_box, ShellFolder("Desktop") + "Parlix.lnk"}, {start_box, start_link}};
  for (const auto& item : boxes) {
    SCOPED_TRACE(item.link);
    if (Checked(item.box)) {
      ClickBox(item.box);  // clears: the old file goes
      EXPECT_FALSE(FileExists(item.link));
      EXPECT_FALSE(Checked(item.box));
    }
    ClickBox(item.box);
    ASSERT_TRUE(Checked(item.box));
    ASSERT_TRUE(FileExists(item.link));
    const std::optional<TShellLink> fields = ReadShellLink(item.link);
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->target, program);
    EXPECT_EQ(fields->working_folder, folder);
    EXPECT_EQ(fields->description, "Parlix Desk Translator");
    EXPECT_EQ(fields->arguments, "");
    EXPECT_EQ(fields->icon_file, program);
    EXPECT_EQ(fields->icon_index, 0);
    SpaceOn(item.box);
    EXPECT_FALSE(Checked(item.box));
    EXPECT_FALSE(FileExists(item.link));
  }

  // A change that does not come from the user: the box's click arrives while another
  // control has the focus, and nothing is written.
  SetForegroundWindow(form);
  HWND autodetect = Box(form, "Autodetect");
  ClickBox(autodetect);
  ClickBox(autodetect);
  SendMessageA(desk_box, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(form, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(desk_box));
  Settle();
  EXPECT_FALSE(FileExists(boxes[0].link));
}

TEST_F(ConfigWindow, LaunchWithWindowsWritesTheQuotedPathAndShowsAnyEntryOfTheName) {
  // A program path with a blank in it.
  CreateDirectoryA(FolderOfCopy().c_str(), nullptr);
  copied_exe_ = FolderOfCopy() + "\\parlix.exe";
  ASSERT_TRUE(CopyFileA(TProgram::PARLIX_EXE_PATH().c_str(), copied_exe_.c_str(), FALSE));
  StartOnTheStandins(copied_exe_);
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  HWND box = Box(form, "Launch with Windows");
  EXPECT_FALSE(Checked(box));
  ClickBox(box);
  EXPECT_TRUE(Checked(box));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk"), "\"" + copied_exe_ + "\" /auto");
  SpaceOn(box);
  EXPECT_FALSE(Checked(box));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk"), std::nullopt);

  // The entry of another copy (the installed one beside this portable one): the box opens
  // ticked, and clearing it switches that entry off.
  PostMessageA(form, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); }));
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk", "C:\\Other\\parlix.exe /auto"));
  form = OpenConfig();
  ASSERT_NE(form, nullptr);
  box = Box(form, "Launch with Windows");
  EXPECT_TRUE(Checked(box));
  ClickBox(box);
  EXPECT_FALSE(Checked(box));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk"), std::nullopt);
  EXPECT_EQ(program_->FindMessageBox(), nullptr);

  // An entry made while the window was open is left as it is by a tick, without a word.
  ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk", "C:\\Other\\other.exe /tray"));
  SpaceOn(box);
  EXPECT_TRUE(Checked(box));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kRunKey, "Parlix Desk"), "C:\\Other\\other.exe /tray");
}

// People close such a window with Escape; it keeps what the window shows, as the close button does.
TEST_F(ConfigWindow, EscapeClosesTheWindowKeepingWhatItShows) {
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  SendMessageA(Edits(form)[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("gate.example"));
  ClickBox(Box(form, "Authenticate"));
  PressKeys({"Escape"});
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(form); }));
  EXPECT_TRUE(WaitUntil([&] { return IniValue("Proxy", "Address") == "gate.example"; }));
  EXPECT_EQ(IniValue("Proxy", "Authenticate"), "1");
}

TEST_F(ConfigWindow, BrowserButtonWritesItsKeyAndIconAndRemovesBoth) {
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  HWND box = Box(form, "Install Internet Explorer tool button");
  EXPECT_FALSE(Checked(box));
  const std::string icon = DataFolder() + "ToolbarIcon.ico";
  const std::string program = TProgram::PARLIX_EXE_PATH();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ClickAt(box);
    EXPECT_EQ(session_.DismissBox(10s),
              "Please start Internet Explorer. You might need to go to View / Toolbars / Customize and move Parlix "
              "button from \"Available toolbar buttons\" to \"Current toolbar buttons\".");
    Settle();
    EXPECT_TRUE(Checked(box));
    EXPECT_EQ(RegValueCount(HKEY_LOCAL_MACHINE, kBrowserKey), 8u);
    ExpectRegStrings(HKEY_LOCAL_MACHINE, kBrowserKey,
                     {{"ButtonText", "Parlix"}, {"MenuText", "Parlix"}, {"MenuStatusBar", "Parlix Desk Translator"},
                      {"ClSid", "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}"}, {"Default Visible", "Yes"},
                      {"Exec", program}, {"HotIcon", icon}, {"Icon", icon}});
    const std::vector<std::pair<int, int>> images = IconImages(ReadFileBytes(icon));
    const std::vector<std::pair<int, int>> expected{{24, 4}, {24, 8}, {20, 4}, {20, 8}, {16, 4}, {16, 8}};
    EXPECT_EQ(images, expected);
    HICON loaded = static_cast<HICON>(LoadImageA(nullptr, icon.c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
    EXPECT_NE(loaded, nullptr);
    if (loaded != nullptr) DestroyIcon(loaded);

    SpaceOn(box);
    EXPECT_FALSE(Checked(box));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kBrowserKey));
    EXPECT_FALSE(FileExists(icon));
  }
}

TEST_F(ConfigWindow, EngineChosenByClicksAndKeysIsUsedAndKeptAcrossARestart) {
  ASSERT_NE(TlsPort("PARLIX_TLS_PORT"), 0) << "run through tools/with-tls";
  ASSERT_TRUE(TrustTestCa());
  StartOnTheStandins();
  HWND form = OpenConfig();
  ASSERT_NE(form, nullptr);
  HWND combo = FindChild(form, "ComboBox");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);  // an older settings file: the page service
  ClickAt(combo);
  Settle();
  PressKeys({"Down", "Down", "Return", "Tab"});  // LibreTranslate, then its address
  const std::string address = "https://localhost:" + std::to_string(TlsPort("PARLIX_TLS_PORT"));
  TypeText(address);
  PressKeys({"Tab"});
  TypeText("k3y");
  Settle();
  ClickAt(FindChild(form, "TParlixControl", std::string("Close")));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); }));
  ASSERT_TRUE(WaitUntil([&] { return IniValue("Engine", "Kind") == "libretranslate"; }));
  EXPECT_EQ(IniValue("Engine", "Address"), address);
  EXPECT_EQ(IniValue("Engine", "Key"), "k3y");

  // The next translation asks it (through the proxy's tunnel), with the key.
  standins_.SetControl("{\"libre_key\": \"k3y\"}");
  session_.Translate("Thank you");
  ASSERT_TRUE(session_.WaitForResult("Gracias"));

  // Kept across a restart: the window shows it again.
  ASSERT_TRUE(program_->Exit());
  Start();
  form = OpenConfig();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(SendMessageA(FindChild(form, "ComboBox"), CB_GETCURSEL, 0, 0), 2);
}

}  // namespace
}  // namespace parlix::test

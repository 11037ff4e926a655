// Faults injected around the bytes: a connection reset in the headers, a proxy killed in
// the middle of an answer, a full disk under the answer file, settings files that are junk,
// huge, cut or read-only, and one that cannot be written when the session ends. Each ends in
// the program's words, leaves nothing in the temporary folder, and never leaves the settings
// file worse than it was.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shared/pseudo_random.h"
#include "support/loopback_peer_win.h"
#include "support/session_win.h"
#include "support/x11_input_win.h"

namespace parlix::test {
namespace {

constexpr char kSample[] = "Hello, good morning. Thank you!";
constexpr char kSampleSpanish[] = "Hola, buenos d\xED" "as. Gracias!";
constexpr char kInternetKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string IniValue(const std::string& section, const std::string& key) {
  char buffer[256] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer, sizeof(buffer),
                           SettingsFilePath().c_str());
  return buffer;
}

std::string Env(const char* name) {
  char value[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

std::string ReadHead(PeerConnection& conn) {
  std::string head;
  while (head.size() < 64 * 1024 && head.find("\r\n\r\n") == std::string::npos) {
    const std::string byte = conn.ReceiveExactly(1);
    if (byte.empty()) break;
    head += byte;
  }
  return head;
}

// The system's proxy, which a program with default settings (Autodetect) takes.
class TSystemProxy {
 public:
  explicit TSystemProxy(int port) {
    RegCreateKeyExA(HKEY_CURRENT_USER, kInternetKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
    const DWORD on = 1;
    const std::string server = "http=127.0.0.1:" + std::to_string(port);
    RegSetValueExA(key_, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegSetValueExA(key_, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>(server.size() + 1));
  }
  ~TSystemProxy() {
    RegDeleteValueA(key_, "ProxyEnable");
    RegDeleteValueA(key_, "ProxyServer");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
};

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
    standins_.SetControl("{}");
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  void TearDown() override {
    session_.Close();
    SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    standins_.SetControl("{}");
  }

  void ExpectTranslationFails(const std::string& words) {
    session_.Translate(kSample);
    EXPECT_EQ(session_.ErrorBoxLine(30s), words);
    EXPECT_TRUE(WaitUntil([&] { return session_.ControlsEnabled(); }));
    EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));
  }
  bool TranslatesTheSample() {
    session_.Translate(kSample);
    return WaitUntil([&] { return session_.Result() == kSampleSpanish && session_.ControlsEnabled(); }, 30s);
  }
  // Ends the program and checks that the settings file still holds the proxy it had.
  void ExpectSettingsIntactAfterExit(int port) {
    ASSERT_TRUE(session_.Program().Exit());
    EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(port));
    EXPECT_EQ(IniValue("Proxy", "Enabled"), "1");
  }

  TStandins standins_;
  TSession session_;
};

TEST_F(Faults, AConnectionResetInTheHeadersEndsInConnectionFailed) {
  LoopbackPeer resetting(
      [](PeerConnection& conn) {
        if (ReadHead(conn).rfind("GET ", 0) == 0) {
          conn.SendAll("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
          return;
        }
        conn.SendAll("HTTP/1.1 200 OK\r\nContent-Type: text/ht");
        Sleep(100);
        conn.Reset();
      },
      2);
  ASSERT_TRUE(session_.Start(resetting.Port()));
  ExpectTranslationFails("Error: Connection failed.");
  ExpectSettingsIntactAfterExit(resetting.Port());
}

TEST_F(Faults, AProxyKilledInTheMiddleOfAnAnswerEndsInConnectionFailed) {
  const int port = std::atoi(Env("PARLIX_TINYPROXY_PORT").c_str());
  const std::string pid = Env("PARLIX_TINYPROXY_PID");
  ASSERT_TRUE(port != 0 && !pid.empty()) << "run through tools/with-real-proxies";
  ASSERT_TRUE(session_.Start(port, "desk", "Tr4nsl8"));
  // The answer's first piece at once, the rest seconds later: the proxy dies in between.
  standins_.SetControl("{\"split\": 200, \"split_delay\": 5, \"scope\": \"translate\"}");
  session_.Translate(kSample);
  ASSERT_TRUE(WaitUntil([&] { return !session_.NoNewAnswerFile(); }, 20s)) << "the answer never began";
  const TUnixResult killed = RunUnix("kill -9 " + pid);
  ASSERT_TRUE(killed.finished && killed.status == 0) << killed.output;
  EXPECT_EQ(session_.ErrorBoxLine(20s), "Error: Connection failed.");
  EXPECT_TRUE(WaitUntil([&] { return session_.NoNewAnswerFile(); }));
  ExpectSettingsIntactAfterExit(port);
}

// A small file system of its own (tools/with-small-disk) as the temporary folder, filled up.
TEST_F(Faults, AFullDiskUnderTheAnswerFileEndsInTheProgramsWordsAndLeavesNothing) {
  const std::string small_disk = Env("PARLIX_SMALL_DISK");
  if (small_disk.empty()) GTEST_SKIP() << "no small file system (tools/with-small-disk needs root)";
  const std::string folder = UnixToWindowsPath(small_disk) + "\\";
  const std::string filler = folder + "filler.bin";
  {
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written == block.size()) {
    }
    CloseHandle(file);
  }
  TScopedEnv tmp("TMP", folder);
  TScopedEnv temp("TEMP", folder);
  const auto files_there = [&] {
    int count = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return count;
  };
  ASSERT_TRUE(session_.Start(standins_.port));
  ExpectTranslationFails("Error: Cannot download file.");
  EXPECT_TRUE(WaitUntil([&] { return files_there() == 1; })) << "files left on the full disk";
  // Room again: the same program translates.
  DeleteFileA(filler.c_str());
  EXPECT_TRUE(TranslatesTheSample());
  ExpectSettingsIntactAfterExit(standins_.port);
  EXPECT_EQ(files_there(), 0);
}

// Settings files a person may end up with. Each start gives a program that translates, with
// the values it could read or the defaults, and each file is as good afterwards as before.
TEST_F(Faults, BrokenSettingsFilesStartWithWhatCanBeReadAndAreNeverMadeWorse) {
  TSystemProxy system_proxy(standins_.port);  // what the defaults (Autodetect) take
  WriteSettingsWithProxy(standins_.port);
  const std::string good = ReadFileBytes(SettingsFilePath());
  std::string junk(1 << 20, '\0');
  PseudoRandom random;
  random.Seed(29);
  for (char& c : junk) c = static_cast<char>(random.Next(256));
  std::string huge = good;
  constexpr size_t kHugeBytes = 50u << 20;
  const std::string line = "Filler=" + std::string(90, 'x') + "\r\n";
  huge.reserve(kHugeBytes + line.size());
  huge += "[Filler]\r\n";
  while (huge.size() < kHugeBytes) huge += line;
  const std::string cut = good.substr(0, good.find("MonitorClp=") + 7);

  const struct {
    const char* name;
    const std::string& bytes;
    bool read_only;
    bool proxy_kept;  // the stored proxy is readable, and must still be there at the end
  } cases[] = {
      {"junk", junk, false, false},
      {"50 MB", huge, false, true},
      {"cut in the middle of a line", cut, false, true},
      {"junk, read-only", junk, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteFileBytes(SettingsFilePath(), c.bytes));
    if (c.read_only) SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY);
    TSession session;
    ASSERT_TRUE(session.Start(0));
    // A file that cannot be renewed says so once; the program goes on.
    if (c.read_only) {
      HWND box = session.Program().WaitForMessageBox(10s);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(MessageBoxText(box), "Unable to write to " + SettingsFilePath());
      PressButton(box, IDOK);
    }
    for (HWND about : session.Program().TopWindows("TAboutForm")) PostMessageA(about, WM_CLOSE, 0, 0);
    session.Translate(kSample);
    EXPECT_TRUE(WaitUntil([&] { return session.Result() == kSampleSpanish; }, 30s)) << session.Result();
    const std::string before_exit = ReadFileBytes(SettingsFilePath());
    if (c.read_only) {
      // Refused at exit too: the message, the program stays, and the file is as it was.
      PostMessageA(session.Main(), WM_USER + 7, 0, 0);
      HWND box = session.Program().WaitForMessageBox(10s);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(MessageBoxText(box), "Unable to write to " + SettingsFilePath());
      PressButton(box, IDOK);
      Sleep(300);
      EXPECT_TRUE(session.Program().Running());
      EXPECT_EQ(ReadFileBytes(SettingsFilePath()), before_exit);
      SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ASSERT_TRUE(session.Program().Exit(60s));
    EXPECT_EQ(IniValue("Parlix", "Version"), "025000");
    EXPECT_EQ(IniValue("Parlix", "GUID").size(), 38u);
    EXPECT_NE(IniValue("Popups", "DateShown"), "<missing>");
    if (c.proxy_kept) {
      EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(standins_.port));
    }
    EXPECT_TRUE(session.NoNewAnswerFile());
  }
}

// With the configuration window open, its own save used to show the refusal in a box,
// which held up the logoff.
TEST_F(Faults, AnUnwritableSettingsFileAtLogoffWithTheConfigurationWindowOpenShowsNoBox) {
  ASSERT_TRUE(session_.Start(standins_.port));
  PostMessageA(session_.Main(), RegisterWindowMessageA("WM_TRAYCALLBACK"), 0, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : session_.Program().TopWindows("#32768"))
      if (IsWindowVisible(w)) menu = w;
    return menu != nullptr;
  }));
  for (int i = 0; i < 5; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);  // "Configuration..."
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_NE(session_.Program().WaitForTopWindow("TConfigForm"), nullptr);
  const std::string before = ReadFileBytes(SettingsFilePath());
  ASSERT_TRUE(SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_READONLY));

  // As the system does: every top-level window is asked, then told.
  const std::vector<HWND> windows = session_.Program().TopWindows();
  for (HWND w : windows) {
    DWORD_PTR answer = 0;
    const bool answered = SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    if (!IsWindow(w)) continue;
    EXPECT_TRUE(answered && answer) << ClassName(w) << " held up the logoff";
  }
  EXPECT_EQ(session_.Program().FindMessageBox(), nullptr);
  for (HWND w : windows)
    if (IsWindow(w)) SendMessageTimeoutA(w, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, nullptr);
  EXPECT_TRUE(session_.Program().WaitForExit());
  EXPECT_EQ(ReadFileBytes(SettingsFilePath()), before);
}

}  // namespace
}  // namespace parlix::test

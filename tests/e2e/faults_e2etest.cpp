// Faults around the bytes: each ends in the program's words, leaves nothing in the temporary
// folder and never leaves the settings file worse than it was.
#include "shared/pseudo_random.h"
#include "support/loopback_peer_win.h"
#include "support/registry_win.h"
#include "support/session_win.h"
#include "support/x11_input_win.h"

namespace parlix::test {
namespace {

// One translation that must end in `words`, leaving no answer file, then the program's end,
// after which the settings file must still name the proxy.
void ExpectFailure(TSession& session, int port, const std::string& words, const std::function<void()>& fault = {}) {
  session.Translate(kSample);
  if (fault) fault();
  EXPECT_EQ(session.Outcome(), words);
  EXPECT_TRUE(WaitUntil([&] { return session.NoNewAnswerFile(); }));
  session.Close();
  EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(port));
}

TEST(Faults, AResetAKilledProxyAndAFullDiskEndInTheProgramsWords) {
  const TStandins standins = Standins();
  ASSERT_TRUE(standins.Running()) << "run through tools/with-standins";
  LoopbackPeer resetting([](PeerConnection& c) {
    if (c.ReceiveHead().rfind("GET ", 0) == 0) return;  // the service check: closed at once
    c.SendAll("HTTP/1.1 200 OK\r\nContent-Type: text/ht");
    Sleep(100);
    c.Reset();
  }, 2);
  TSession reset;
  ASSERT_TRUE(reset.Start(resetting.Port()));
  ExpectFailure(reset, resetting.Port(), "Error: Connection failed.");

  // tinyproxy (tools/with-real-proxies) killed between the answer's first piece and the rest.
  const int tinyproxy = EnvNumber("PARLIX_TINYPROXY_PORT");
  TSession killed;
  ASSERT_TRUE(killed.Start(tinyproxy, "desk", "Tr4nsl8"));
  standins.SetControl(R"({"split": 200, "split_delay": 5, "scope": "translate"})");
  ExpectFailure(killed, tinyproxy, "Error: Connection failed.", [&] {
    ASSERT_TRUE(WaitUntil([&] { return !killed.NoNewAnswerFile(); }, 20s)) << "the answer never began";
    EXPECT_EQ(RunUnix("kill -9 " + EnvText("PARLIX_TINYPROXY_PID")).status, 0);
  });
  standins.SetControl("{}");

  // The temporary folder on a small file system of its own (tools/with-small-disk), full.
  if (EnvText("PARLIX_SMALL_DISK").empty()) GTEST_SKIP() << "no small file system (tools/with-small-disk needs root)";
  const std::string disk = UnixToWindowsPath(EnvText("PARLIX_SMALL_DISK")) + "\\";
  HANDLE filler = CreateFileA((disk + "filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string block(4096, 'f');
  for (DWORD n = 0; WriteFile(filler, block.data(), 4096, &n, nullptr) && n == 4096;) {
  }
  CloseHandle(filler);
  SetEnvironmentVariableA("TMP", disk.c_str());
  SetEnvironmentVariableA("TEMP", disk.c_str());
  TSession full;
  ASSERT_TRUE(full.Start(standins.port));
  ExpectFailure(full, standins.port, "Error: Cannot download file.");
  SetEnvironmentVariableA("TMP", nullptr);
  SetEnvironmentVariableA("TEMP", nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((disk + "*.*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
    EXPECT_TRUE(found.cFileName[0] == '.' || std::string(found.cFileName) == "filler") << found.cFileName << " was left";
  FindClose(find);
  DeleteFileA((disk + "filler").c_str());
}

// Settings files a person may end up with: each start translates with what could be read
// (or the defaults, which take the system's proxy) and the file is never left worse.
TEST(Faults, BrokenSettingsFilesStartWithWhatCanBeReadAndAreNeverMadeWorse) {
  const TStandins standins = Standins();
  const std::string system_proxy = "http=127.0.0.1:" + std::to_string(standins.port);
  const TSystemProxy system(1, system_proxy);
  WriteSettingsWithProxy(standins.port);
  const std::string good = ReadFileBytes(SettingsFilePath());
  std::string junk(1 << 20, '\0'), huge = good + "[Filler]\r\n";
  PseudoRandom random;
  for (char& c : junk) c = static_cast<char>(random.Next(256));
  while (huge.size() < (50u << 20)) huge += "Filler=" + std::string(90, 'x') + "\r\n";
  const struct {
    const char* name;
    std::string bytes;
    bool read_only;
  } cases[] = {{"junk", junk, false},
               {"50 MB", huge, false},
               {"cut in a line", good.substr(0, good.find("MonitorClp=") + 7), false},
               {"junk, read-only", junk, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteFileBytes(SettingsFilePath(), c.bytes));
    SetFileAttributesA(SettingsFilePath().c_str(), c.read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    TSession session;
    ASSERT_TRUE(session.Start(0));
    // A file that cannot be renewed says so; the program goes on.
    if (c.read_only) {
      EXPECT_EQ(session.Outcome(10s), "Unable to write to " + SettingsFilePath());
    }
    session.Translate(kSample);
    EXPECT_EQ(session.Outcome(), kSampleSpanish);
    if (c.read_only) {
      // Refused at the exit too, which is abandoned; the file stays as it was.
      PostMessageA(session.main, WM_USER + 7, 0, 0);
      EXPECT_EQ(session.DismissBox(10s), "Unable to write to " + SettingsFilePath());
      EXPECT_EQ(ReadFileBytes(SettingsFilePath()), junk);
      SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ASSERT_TRUE(session.program->Exit(60s));
    EXPECT_EQ(IniValue("Parlix", "Version"), "025000");
    EXPECT_EQ(IniValue("Parlix", "GUID").size(), 38u);
    EXPECT_NE(IniValue("Popups", "DateShown"), "<missing>");
    if (c.bytes.rfind("[Parlix]", 0) == 0) {
      EXPECT_EQ(IniValue("Proxy", "Port"), std::to_string(standins.port));  // the readable values stay
    }
  }
}

}  // namespace
}  // namespace parlix::test

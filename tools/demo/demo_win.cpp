// Drives Parlix Desk through one translation, as a user would: puts the sample text into the
// text area, asks for the translation and waits for the result window.
//   parlix_demo.exe [--start PROGRAM] [--out FILE] [--config] [TEXT]
//   parlix_demo.exe --trust-ca       trusts the test CA named by PARLIX_TLS_CA in this prefix
// With --start it starts the program itself first, so both run on the same desktop (windows
// on one virtual desktop are invisible to a process on another) and nothing has to guess
// when the desktop is ready. The program is left running. Prints the translated text, or
// writes it to FILE as "ok TEXT" / "error MESSAGE"; exit status 0 when it arrived. With
// --config it then opens the configuration window through the menu command and waits for it.
#include <cstdio>
#include <string>

#include "support/driver_win.h"
#include "support/tls_trust_win.h"

using namespace parlix::test;

namespace {

std::string out_file;

int Report(bool ok, const std::string& text) {
  if (!out_file.empty()) {
    // Written whole under a temporary name and renamed, so a reader never sees half of it.
    const std::string partial = out_file + ".part";
    std::string line = ok ? "ok " : "error ";
    line += text;
    line += '\n';
    WriteFileBytes(partial, line);
    MoveFileExA(partial.c_str(), out_file.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  std::fprintf(ok ? stdout : stderr, "%s%s\n", ok ? "" : "demo: ", text.c_str());
  return ok ? 0 : 1;
}

std::string WindowsPath(const std::string& path) {
  return !path.empty() && path[0] == '/' ? UnixToWindowsPath(path) : path;
}

bool StartProgram(const std::string& program) {
  std::string line = "\"";
  line += WindowsPath(program);
  line += '"';
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string text = "Hello, good morning. Thank you!";
  std::string program;
  bool open_config = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--start" && i + 1 < argc)
      program = argv[++i];
    else if (arg == "--out" && i + 1 < argc)
      out_file = WindowsPath(argv[++i]);
    else if (arg == "--config")
      open_config = true;
    else if (arg == "--trust-ca")
      return TrustTestCa() ? 0 : Report(false, "cannot trust the CA named by PARLIX_TLS_CA");
    else
      text = arg;
  }
  if (!program.empty() && !StartProgram(program)) return Report(false, "cannot start " + program);

  HWND main = nullptr;
  // The caption is set at the end of the window's creation, after its controls.
  WaitUntil([&] { return (main = FindWindowA("TMainForm", "Parlix")) != nullptr; }, 60s);
  if (main == nullptr) return Report(false, "the main window did not appear within 60 s");
  HWND memo = nullptr;
  WaitUntil([&] { return (memo = FindChild(main, "Edit")) != nullptr; }, 10s);
  if (memo == nullptr) return Report(false, "the main window has no text area");
  // Close the about window of a first run, if any, so the screen shows the translation.
  if (HWND about = FindWindowA("TAboutForm", nullptr)) PostMessageA(about, WM_CLOSE, 0, 0);
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageA(main, WM_USER + 4, 0, 0);
  std::string translated;
  std::string refused;
  const bool arrived = WaitUntil(
      [&] {
        // An error box ends the wait with its words.
        HWND box = FindWindowA("#32770", nullptr);
        if (box != nullptr && GetWindow(box, GW_OWNER) == main) {
          refused = MessageBoxText(box);
          return true;
        }
        HWND result = FindWindowA("TTransForm", nullptr);
        HWND result_memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
        if (result_memo == nullptr) return false;
        translated = WindowText(result_memo);
        return !translated.empty();
      },
      60s);
  if (!arrived) return Report(false, "no translation arrived within 60 s");
  if (!refused.empty()) return Report(false, "the program said: " + refused.substr(0, refused.find("\r\n")));
  if (open_config) {
    PostMessageA(main, WM_COMMAND, 104, 0);  // "Configuration..."
    if (!WaitUntil([] { return FindWindowA("TConfigForm", nullptr) != nullptr; }, 20s))
      return Report(false, "the configuration window did not open within 20 s");
  }
  return Report(true, translated);
}

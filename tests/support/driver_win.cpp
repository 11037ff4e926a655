#include "support/driver_win.h"

#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"
#include "support/registry_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace parlix::test {

namespace {

// What the tray menu's Exit sends the main window; a second program may send it too.
constexpr UINT kExitMessage = WM_USER + 7;

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Windows of one process (or children of one window, pid 0) with the class and text asked for.
struct WindowFilter {
  DWORD pid;
  std::string class_name;
  std::optional<std::string> text;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lparam) {
  auto* filter = reinterpret_cast<WindowFilter*>(lparam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (filter->pid != 0 && pid != filter->pid) return TRUE;
  if (!filter->class_name.empty() && ClassName(hwnd) != filter->class_name) return TRUE;
  if (filter->text && WindowText(hwnd) != *filter->text) return TRUE;
  filter->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Windows(HWND parent, DWORD pid, const std::string& class_name,
                          const std::optional<std::string>& text) {
  WindowFilter filter{pid, class_name, text, {}};
  if (parent != nullptr)
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&filter));
  else
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&filter));
  return filter.found;
}

HWND First(const std::vector<HWND>& found) { return found.empty() ? nullptr : found.front(); }

// Another process may hold the clipboard open for a moment.
bool OpenClipboardWaiting() {
  return WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5s);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    PumpMessages();
    Sleep(20);
  }
}

bool DrainMessages(std::chrono::milliseconds timeout) {
  return WaitUntil([] { return LOWORD(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT)) == 0; }, timeout);
}

LRESULT SendBounded(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, std::chrono::milliseconds timeout) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) == 0 &&
      IsWindow(hwnd)) {
    ADD_FAILURE() << "window " << hwnd << " did not answer message 0x" << std::hex << msg << " within "
                  << std::dec << timeout.count() << " ms";
    return 0;
  }
  return static_cast<LRESULT>(result);
}

std::string TProgram::PARLIX_EXE_PATH() {
#ifdef PARLIX_EXE
  // The build gives a Unix path; Wine maps it through the Z: drive.
  const std::string path = PARLIX_EXE;
  return !path.empty() && path[0] == '/' ? UnixToWindowsPath(path) : path;
#else
  return "parlix.exe";
#endif
}

TProgram::TProgram(const std::string& arguments, const std::string& exe) {
  std::string command = "\"" + exe + "\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  WaitForInputIdle(process_, 10000);
}

TProgram::~TProgram() {
  if (process_ == nullptr) return;
  if (Running()) {
    Kill();
  } else if (ExitCode() >= 0xC0000000u) {
    // An exception code: the program crashed, however well the test's checks went.
    ADD_FAILURE() << "the program ended with exception code 0x" << std::hex << ExitCode();
  }
  CloseHandle(process_);
}

std::vector<HWND> TProgram::TopWindows(const std::string& class_name) const { return TopWindowsOf(pid_, class_name); }

HWND TProgram::FindTopWindow(const std::string& class_name, const std::optional<std::string>& caption) const {
  return First(Windows(nullptr, pid_, class_name, caption));
}

HWND TProgram::WaitForTopWindow(const std::string& class_name, const std::optional<std::string>& caption,
                                std::chrono::milliseconds timeout) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(class_name, caption)) != nullptr; }, timeout);
  return found;
}

HWND TProgram::WaitForVisibleTopWindow(const std::string& class_name, std::chrono::milliseconds timeout) const {
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND hwnd : TopWindows(class_name))
      if (IsWindowVisible(hwnd)) found = hwnd;
    return found != nullptr;
  }, timeout);
  return found;
}

HWND TProgram::FindMessageBox() const { return FirstVisible(TopWindows("#32770")); }

HWND TProgram::WaitForMessageBox(std::chrono::milliseconds timeout) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindMessageBox()) != nullptr; }, timeout);
  return found;
}

bool TProgram::WaitForExit(std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return !Running(); }, timeout);
}

bool TProgram::Exit(std::chrono::milliseconds timeout) {
  HWND main = WaitForTopWindow("TMainForm", std::string("Parlix"));
  if (main == nullptr) return false;
  PostMessageA(main, kExitMessage, 0, 0);
  return WaitForExit(timeout);
}

void TProgram::ExitDismissingBoxes(int button) {
  // The exit is asked again now and then: one that arrived before the main window was ready,
  // or while the program was busy with a box, may have been dropped.
  for (int tick = 0; tick < 100 && Running(); ++tick) {
    if (HWND box = FindMessageBox()) PressButton(box, button);
    if (tick % 20 == 0)
      if (HWND main = FindTopWindow("TMainForm", std::string("Parlix"))) PostMessageA(main, kExitMessage, 0, 0);
    Sleep(100);
  }
  if (Running()) Kill();
}

bool TProgram::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD TProgram::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_ != nullptr) GetExitCodeProcess(process_, &code);
  return code;
}

void TProgram::Kill() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 255);
  WaitForSingleObject(process_, 10000);
}

std::vector<HWND> TopWindowsOf(DWORD process_id, const std::string& class_name) {
  return Windows(nullptr, process_id, class_name, std::nullopt);
}

HWND FirstVisible(const std::vector<HWND>& windows) {
  for (HWND hwnd : windows)
    if (IsWindowVisible(hwnd)) return hwnd;
  return nullptr;
}

std::string WindowText(HWND hwnd) {
  // WM_GETTEXT works across processes; GetWindowText would not read another process's controls.
  const LRESULT length = SendBounded(hwnd, WM_GETTEXTLENGTH);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = SendBounded(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::string ClassName(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

std::vector<HWND> Children(HWND parent, const std::string& class_name) {
  return Windows(parent, 0, class_name, std::nullopt);
}

HWND FindChild(HWND parent, const std::string& class_name, const std::optional<std::string>& text) {
  return First(Windows(parent, 0, class_name, text));
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT RectIn(HWND control, HWND window) {
  RECT rect = WindowRect(control);
  MapWindowPoints(nullptr, window != nullptr ? window : GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

GUITHREADINFO GuiThreadInfoOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info;
}

std::string MessageBoxText(HWND box) {
  // The message of a message box is the static control with identifier 0xFFFF.
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text != nullptr) return WindowText(text);
  for (HWND child : Children(box, "Static")) {
    const std::string t = WindowText(child);
    if (!t.empty()) return t;
  }
  return "";
}

void PressButton(HWND box, int id) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

void SendClick(HWND control) {
  SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

bool SetClipboardText(const std::string& text) {
  if (!OpenClipboardWaiting())   return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool ok = false;
  if (memory != nullptr) {
    if (void* data = GlobalLock(memory)) {
      memcpy(data, text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      ok = SetClipboardData(CF_TEXT, memory) != nullptr;
    }
    if (!ok) GlobalFree(memory);
  }
  CloseClipboard();
  return ok;
}

std::optional<std::string> ClipboardText() {
  if (!OpenClipboardWaiting())   return std::nullopt;
  std::optional<std::string> result;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      result = std::string(text);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return result;
}

void EmptyClipboardNow() {
  if (!OpenClipboardWaiting())   return;
  EmptyClipboard();
  CloseClipboard();
}

void PostKey(HWND target, UINT vk, bool ctrl) {
  // Keyboard state is per thread; the program reads Ctrl through GetKeyState, so the
  // test sets it for the target's thread by attaching to its input, for as long as the
  // program handles the key.
  const DWORD target_thread = GetWindowThreadProcessId(target, nullptr);
  const DWORD self = GetCurrentThreadId();
  AttachThreadInput(self, target_thread, TRUE);
  BYTE state[256] = {};
  GetKeyboardState(state);
  const BYTE saved = state[VK_CONTROL];
  if (ctrl) state[VK_CONTROL] = 0x80;
  SetKeyboardState(state);
  // A thread may answer GetKeyState from a copy of the key state up to 50 ms old (Wine
  // keeps one): let any such copy in the program run out before it looks.
  Sleep(60);
  const UINT scan = MapVirtualKeyA(vk, 0);
  // As with a real key, the character is already queued when the key-down is handled:
  // posted first, it waits behind the key-down, which is sent (sent messages are handled
  // before posted ones) and returns only once the program has dealt with it.
  if (vk == VK_RETURN) PostMessageA(target, WM_CHAR, ctrl ? 0x0A : 0x0D, 1 | (scan << 16));
  if (vk == VK_ESCAPE) PostMessageA(target, WM_CHAR, 0x1B, 1 | (scan << 16));
  SendBounded(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
  state[VK_CONTROL] = saved;
  SetKeyboardState(state);
  AttachThreadInput(self, target_thread, FALSE);
}

std::string AppDataFolder() { return ShellFolder("AppData"); }

std::string DataFolder() { return AppDataFolder() + "ParlixSoft\\Parlix\\"; }

std::string SettingsFilePath() { return DataFolder() + "parlix.ini"; }

void DeleteSettingsFile() { DeleteFileA(SettingsFilePath().c_str()); }

bool WriteSettingsFile(const std::string& text) {
  const std::string folder = AppDataFolder() + "ParlixSoft";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\Parlix").c_str(), nullptr);
  SetFileAttributesA(SettingsFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
  return WriteFileBytes(SettingsFilePath(), text);
}

std::string IniValue(const std::string& section, const std::string& key) {
  char buffer[1024] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer, sizeof(buffer),
                           SettingsFilePath().c_str());
  return buffer;
}

void SetIniValue(const std::string& section, const std::string& key, const std::string& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), SettingsFilePath().c_str());
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TempFolder() {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  return folder;
}

std::string EnvText(const char* name) {
  char buffer[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
  return n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

int EnvNumber(const char* name) { return atoi(EnvText(name).c_str()); }

std::string UnixToWindowsPath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string WindowsToUnixPath(const std::string& z_path) {
  std::string path = z_path.substr(2);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool TStandins::SetControl(const std::string& json) const { return WriteFileBytes(control_file, json); }

bool TStandins::ServeServiceFile(const std::string& ini, const std::string& extra_json) const {
  return WriteFileBytes(ServiceFile(), EncodeServiceText(ini, Unscramble(kServiceAlphabetLit))) &&
         SetControl("{\"service_file\": \"" + WindowsToUnixPath(ServiceFile()) + "\"" +
                    (extra_json.empty() ? "" : ", " + extra_json) + "}");
}

std::string TStandins::RecordRequests(const std::string& members) const {
  const std::string record = control_file + ".requests";
  DeleteFileA(record.c_str());
  SetControl("{" + members + ", \"record\": \"" + WindowsToUnixPath(record) + "\"}");
  return record;
}

int PostsIn(const std::string& requests) {
  int posts = 0;
  for (size_t at = requests.find("\"POST\""); at != std::string::npos; at = requests.find("\"POST\"", at + 1))
    ++posts;
  return posts;
}

TStandins Standins() {
  TStandins standins;
  standins.port = EnvNumber("PARLIX_STANDIN_PORT");
  if (const std::string control = EnvText("PARLIX_STANDIN_CONTROL"); !control.empty())
    standins.control_file = UnixToWindowsPath(control);
  return standins;
}

namespace {

// port 0: no proxy. `engine` is the [Engine] section's lines, or empty for none.
void WriteProxySettings(int port, int last_pair, bool authenticate, const std::string& user,
                        const std::string& password, const std::string& engine = "") {
  WriteSettingsFile(
                 "[Parlix]\r\nVersion=025000\r\nGUID={11111111-2222-3333-4444-555555555555}\r\n"
                 "[Language]\r\nLast=" + std::to_string(last_pair) + "\r\n"
                 "[Proxy]\r\nAutodetect=0\r\nEnabled=" + (port != 0 ? "1" : "0") +
                     "\r\nAddress=127.0.0.1\r\nPort=" + std::to_string(port) +
                     "\r\nAuthenticate=" + (authenticate ? "1" : "0") + "\r\nUsername=" + user +
                     "\r\nPassword=" + password + "\r\n" + engine +
                     "[Miscellaneous]\r\nOntop=0\r\nMonitorClp=0\r\n[Popups]\r\nDateShown=\r\n");
}

}  // namespace

void WriteSettingsWithProxy(int port, int last_pair) { WriteProxySettings(port, last_pair, false, "", ""); }

void WriteSettingsWithProxyCredentials(int port, const std::string& user, const std::string& password) {
  WriteProxySettings(port, 1, true, user, password);
}

void WriteSettingsWithEngine(const std::string& kind, const std::string& address, const std::string& key,
                             int proxy_port, int last_pair) {
  WriteProxySettings(proxy_port, last_pair, false, "", "",
                     "[Engine]\r\nKind=" + kind + "\r\nAddress=" + address + "\r\nKey=" + key + "\r\n");
}

std::string ServiceFileWithPopup(const std::string& message, const std::string& home_lines) {
  return "[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n[Home]\r\nPopupMsg=" + message + "\r\n" + home_lines;
}

std::vector<std::string> TempDatFiles() {
  const std::string folder = TempFolder();
  std::vector<std::string> files;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*.dat").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    files.push_back(folder + data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return files;
}

}  // namespace parlix::test

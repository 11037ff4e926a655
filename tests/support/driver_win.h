// End-to-end driver: starts parlix.exe in the test prefix and works its windows from outside,
// the way a user (or a second program) would.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace parlix::test {

using namespace std::chrono_literals;

// Polls pred every 20 ms, pumping this thread's messages, until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s);

// Handles what is queued for this thread (posted and sent messages, paints) until none is
// left: what a window of the test posted to itself has then run. False if it never empties.
bool DrainMessages(std::chrono::milliseconds timeout = 5s);

// SendMessage to another process's window with a limit: a program that stopped answering
// fails the test (naming the message) instead of hanging it. Returns the result, 0 on time-out.
LRESULT SendBounded(HWND hwnd, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0,
                    std::chrono::milliseconds timeout = 10s);

class TProgram {
 public:
  // Starts the program with the given command-line arguments (appended after the quoted exe path).
  explicit TProgram(const std::string& arguments = "", const std::string& exe = PARLIX_EXE_PATH());
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;
  // Ends the process if it is still running.
  ~TProgram();

  static std::string PARLIX_EXE_PATH();

  bool Started() const { return process_ != nullptr; }
  DWORD ProcessId() const { return pid_; }

  // The first visible-or-not top-level window of this process with the class (and caption, if given).
  // The main window gets its caption at the end of its creation: wait for "Parlix" to
  // know its controls exist.
  HWND FindTopWindow(const std::string& class_name, const std::optional<std::string>& caption = {}) const;
  HWND WaitForTopWindow(const std::string& class_name, const std::optional<std::string>& caption = {},
                        std::chrono::milliseconds timeout = 20s) const;
  std::vector<HWND> TopWindows(const std::string& class_name = "") const;
  // A visible one of the class (the last in the system's order, as a popup menu or hint
  // comes and goes), or null when none showed within the time.
  HWND WaitForVisibleTopWindow(const std::string& class_name, std::chrono::milliseconds timeout = 10s) const;

  // A message box ("#32770" dialog) of this process, or null.
  HWND FindMessageBox() const;
  HWND WaitForMessageBox(std::chrono::milliseconds timeout = 20s) const;

  bool WaitForExit(std::chrono::milliseconds timeout = 20s) const;
  // Ends the program the way its Exit command does (the message to the main window) and waits.
  bool Exit(std::chrono::milliseconds timeout = 20s);
  // The same for a teardown, whatever state a test left: presses `button` on every message box
  // on the way (one left up, or one the exit itself raises) and kills what has not ended in time.
  void ExitDismissingBoxes(int button = IDOK);
  bool Running() const;
  DWORD ExitCode() const;
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Top-level windows of a process with the class ("" any), in the system's order, and the
// first of some windows that is visible (null when none is).
std::vector<HWND> TopWindowsOf(DWORD process_id, const std::string& class_name = "");
HWND FirstVisible(const std::vector<HWND>& windows);

std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);
// The child with the given class (and text), searched in depth.
HWND FindChild(HWND parent, const std::string& class_name, const std::optional<std::string>& text = {});
std::vector<HWND> Children(HWND parent, const std::string& class_name = "");
// Where a window stands on the screen, and in the client area of another (null: of its parent).
RECT WindowRect(HWND window);
RECT RectIn(HWND control, HWND window = nullptr);
// Focus and activation of the window's thread, which GetFocus of this process does not see.
GUITHREADINFO GuiThreadInfoOf(HWND window);

// The message text of a message box (its static text control).
std::string MessageBoxText(HWND box);
// Presses a message box button by its identifier (IDOK, IDYES, ...).
void PressButton(HWND box, int id = IDOK);
// A left button press and release sent to a control, three pixels into it.
void SendClick(HWND control);

bool SetClipboardText(const std::string& text);
// nullopt when the clipboard holds no text.
std::optional<std::string> ClipboardText();
void EmptyClipboardNow();

// Typing and keys, posted to a window of the program (focus-independent).
void PostKey(HWND target, UINT vk, bool ctrl = false);

// The program's settings file in the current prefix, from the AppData shell folder.
std::string AppDataFolder();
// The program's own folder below it (settings, toolbar icon), ending in '\'.
std::string DataFolder();
std::string SettingsFilePath();
void DeleteSettingsFile();
// Writes the whole settings file, making its folder and clearing a read-only mark first.
bool WriteSettingsFile(const std::string& text);
// One key of the settings file as the program's profile functions read it; "<missing>" if absent.
std::string IniValue(const std::string& section, const std::string& key);
void SetIniValue(const std::string& section, const std::string& key, const std::string& value);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The temporary folder, ending in '\'.
std::string TempFolder();

// An environment variable's value; "" (or 0) when it is not set.
std::string EnvText(const char* name);
int EnvNumber(const char* name);

// Puts another function in a slot of the program's (one of the system calls it makes through
// a table, a failing one in a test) for the life of this object.
template <typename Fn>
class TReplaced {
 public:
  TReplaced(Fn& slot, Fn replacement) : slot_(slot), previous_(slot) { slot_ = replacement; }
  ~TReplaced() { slot_ = previous_; }

 private:
  Fn& slot_;
  Fn previous_;
};

}  // namespace parlix::test

// Rectangles compare and print as a whole in the tests' checks. RECT is a global type, so
// these stand in the global namespace, where the checks find them.
inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace parlix::test {

// A Unix path as Wine's Z: drive shows it, and back.
std::string UnixToWindowsPath(const std::string& unix_path);
std::string WindowsToUnixPath(const std::string& z_path);

// The stand-in servers started by tools/with-standins around the test program.
struct TStandins {
  int port = 0;                   // PARLIX_STANDIN_PORT, 0 when not running
  std::string control_file;       // Windows path of the control file
  bool Running() const { return port != 0; }
  // Writes the control file (JSON); "{}" is normal behaviour.
  bool SetControl(const std::string& json) const;
  // Beside the control file, on the Z: drive, so the stand-in can read it by its Unix path.
  std::string ServiceFile() const { return control_file + ".service.txt"; }
  // The maker's server serves `ini` (plain text) encoded as the program expects it; extra_json
  // holds more members of the control file ("\"status\": 404").
  bool ServeServiceFile(const std::string& ini, const std::string& extra_json = "") const;
  // From now on the stand-in records the requests it gets in a file beside the control file,
  // `members` (more members of the control file) set too; the record's path.
  std::string RecordRequests(const std::string& members) const;
};
// How many translation requests (POSTs; the service file's GET does not count) a record holds.
int PostsIn(const std::string& requests);
TStandins Standins();

// Writes a current settings file (no first run) whose proxy points at 127.0.0.1:port.
void WriteSettingsWithProxy(int port, int last_pair = 1);
// The same with proxy credentials switched on.
void WriteSettingsWithProxyCredentials(int port, const std::string& user, const std::string& password);
// A current settings file with an [Engine] section; proxy_port 0 leaves the proxy off.
void WriteSettingsWithEngine(const std::string& kind, const std::string& address, const std::string& key,
                             int proxy_port = 0, int last_pair = 1);

// A service file whose [Home] section holds the daily message (and `home_lines`, whole lines).
std::string ServiceFileWithPopup(const std::string& message, const std::string& home_lines = "");

// The files in the temporary folder whose names end in ".dat" (answer and service files).
std::vector<std::string> TempDatFiles();

}  // namespace parlix::test

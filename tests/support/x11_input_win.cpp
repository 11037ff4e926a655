#include "support/x11_input_win.h"

#include <cstdio>
#include <sstream>

#include "support/driver_win.h"

namespace parlix::test {

namespace {

// Unix scratch files of this test process: Wine shows /tmp as Z:\tmp.
std::string ScratchBase() {
  static int counter = 0;
  return "/tmp/parlix-x11-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

}  // namespace

TUnixResult RunUnix(const std::string& command, std::chrono::milliseconds timeout) {
  TUnixResult result;
  const std::string base = ScratchBase();
  const std::string script = base + ".sh", out = base + ".out", status = base + ".status";
  if (!WriteFileBytes(UnixToWindowsPath(script), "{ " + command + "\n} >" + out + " 2>&1\necho $? >" + status + "\n")) {
    result.output = "cannot write " + script;
    return result;
  }
  std::string line = "/bin/sh " + script;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    result.output = "cannot start /bin/sh (error " + std::to_string(GetLastError()) + ")";
    DeleteFileA(UnixToWindowsPath(script).c_str());
    return result;
  }
  CloseHandle(process.hThread);
  // Wine does not signal the end of a Unix process through its handle, nor hand over its
  // exit status: the status file, the script's last act, says both.
  result.finished = WaitUntil([&] { return !ReadFileBytes(UnixToWindowsPath(status)).empty(); }, timeout);
  if (!result.finished) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  result.output = ReadFileBytes(UnixToWindowsPath(out));
  const std::string code = ReadFileBytes(UnixToWindowsPath(status));
  if (!code.empty()) result.status = std::atoi(code.c_str());
  for (const std::string& file : {script, out, status}) DeleteFileA(UnixToWindowsPath(file).c_str());
  return result;
}

bool Xdotool(const std::string& arguments) {
  const TUnixResult run = RunUnix("timeout 15 xdotool " + arguments);
  if (!run.finished || run.status != 0) {
    std::fprintf(stderr, "xdotool %s: %s (status %d)\n", arguments.c_str(), run.output.c_str(), run.status);
    return false;
  }
  return true;
}

bool ClickAt(POINT at) {
  return Xdotool("mousemove --sync " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 1");
}

POINT CentreOf(HWND window) {
  const RECT rect = WindowRect(window);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::optional<COLORREF> DominantScreenColour(const RECT& rect) {
  const std::string geometry = std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) +
                               "+" + std::to_string(rect.left) + "+" + std::to_string(rect.top);
  // One line per colour: "  COUNT: (r,g,b) #RRGGBB srgb(...)".
  const TUnixResult run =
      RunUnix("timeout 15 import -window root -crop " + geometry + " +repage -depth 8 -format %c histogram:info:-");
  if (!run.finished || run.status != 0) {
    std::fprintf(stderr, "import: %s\n", run.output.c_str());
    return std::nullopt;
  }
  long best_count = -1;
  std::optional<COLORREF> best;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t hash = line.find('#');
    if (hash == std::string::npos || hash + 7 > line.size()) continue;
    const long count = std::atol(line.c_str());
    const unsigned long rgb = std::strtoul(line.substr(hash + 1, 6).c_str(), nullptr, 16);
    if (count > best_count) {
      best_count = count;
      best = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
  }
  return best;
}

std::vector<HWND> TaskbarButtonsOf(DWORD process_id) {
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  if (taskbar == nullptr) return {};
  std::vector<HWND> found;
  // Each button of Wine's taskbar carries the window it stands for as its control id.
  for (HWND button : Children(taskbar, "Button")) {
    HWND window = reinterpret_cast<HWND>(GetWindowLongPtrA(button, GWLP_ID));
    DWORD pid = 0;
    if (IsWindowVisible(button) && window != nullptr && IsWindow(window) && GetWindowThreadProcessId(window, &pid) &&
        pid == process_id)
      found.push_back(button);
  }
  return found;
}

}  // namespace parlix::test

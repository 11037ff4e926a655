// A stand-in browser for the web page tests: writes the command line it was started with to
// the file named by PARLIX_RECORDER_OUT, then ends. It is registered as the ".htm" handler
// of the test prefix for the length of a test.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char out_path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("PARLIX_RECORDER_OUT", out_path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  const char* line = GetCommandLineA();
  // Written under another name and renamed, so the test never reads half a line.
  const std::string temp_path = std::string(out_path, length) + ".tmp";
  HANDLE file = CreateFileA(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileExA(temp_path.c_str(), out_path, MOVEFILE_REPLACE_EXISTING)) return 4;
  return 0;
}

// Real input through the X server, for tests where focus and key routing matter: the
// Linux tools (xdotool, ImageMagick's import) run from inside the Wine test program, on the
// X display the test runs on. Screen coordinates of Wine's virtual desktop are X's.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace parlix::test {

struct TUnixResult {
  bool finished = false;  // false: it did not end within its time limit (it was killed)
  int status = -1;        // the command's exit status
  std::string output;     // standard output and error together
};

// Runs a shell command line on the Linux side, pumping this thread's messages meanwhile
// (typed keys may be meant for a window of the test itself).
TUnixResult RunUnix(const std::string& command, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// "xdotool ARGS"; true when it ran and succeeded.
bool Xdotool(const std::string& arguments);
// Moves the pointer to the screen point and clicks the left button there.
bool ClickAt(POINT at);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);

// The most frequent colour of a screen rectangle, as 0xBBGGRR, read from the X server.
std::optional<COLORREF> DominantScreenColour(const RECT& rect);

// The visible buttons of Wine's taskbar that stand for windows of the given process.
std::vector<HWND> TaskbarButtonsOf(DWORD process_id);

}  // namespace parlix::test

#include "support/screen_win.h"

#include "support/driver_win.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace parlix::test {

TScreenShot::TScreenShot(const RECT& area) : area_(area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  canvas_ = std::make_unique<TDibCanvas>(width, height, RGB(0, 0, 0));
  if (!canvas_->Ok()) return;
  HDC screen = GetDC(nullptr);
  BitBlt(canvas_->Dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
}

COLORREF TScreenShot::Pixel(int x, int y) const {
  if (!Ok()) return CLR_INVALID;
  return canvas_->Pixel(x - area_.left, y - area_.top);
}

bool TScreenShot::SaveBmp(const std::string& path) const {
  if (!Ok()) return false;
  const int width = canvas_->Width(), height = canvas_->Height();
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<unsigned char> rows(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = canvas_->Pixel(x, y);
      unsigned char* p = &rows[static_cast<size_t>(height - 1 - y) * static_cast<size_t>(stride) + static_cast<size_t>(x) * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(&info, sizeof(info), 1, out) == 1 &&
            std::fwrite(rows.data(), 1, rows.size(), out) == rows.size();
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

int ScreenBitsPerPixel() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

void PressKey(WORD vk) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = vk;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

int GdiObjectCount() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return static_cast<int>(counted);
  // Handles are indices into a table of at most this many slots, the low word of the handle;
  // one with an empty high word names its slot whatever the slot's generation.
  constexpr unsigned kMaxGdiHandleSlots = 0x10000;
  int count = 0;
  for (unsigned slot = 1; slot < kMaxGdiHandleSlots; ++slot)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(slot))) != 0) ++count;
  return count;
}

bool WhileMenuOpen(const std::function<void()>& open, const std::function<bool()>& drawn,
                   const std::function<void(HWND)>& while_open) {
  std::atomic<bool> seen{false};
  std::thread helper([&] {
    HWND menu = nullptr;
    const auto find_menu = [] { return FirstVisible(TopWindowsOf(GetCurrentProcessId(), "#32768")); };
    if (!WaitUntil([&] { return (menu = find_menu()) != nullptr && drawn(); }, 10s)) {
      // Whatever opened, close it, so open() returns.
      if (menu != nullptr) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      return;
    }
    seen = true;
    while_open(menu);
    if (IsWindowVisible(menu)) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  open();
  helper.join();
  return seen;
}

}  // namespace parlix::test

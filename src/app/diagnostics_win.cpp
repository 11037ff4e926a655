#include "app/diagnostics_win.h"

#include <psapi.h>

#include "platform/stage_clock.h"

namespace parlix {

namespace {

// GDI handles are indices into a table of at most this many slots (the handle's low word).
constexpr unsigned kMaxGdiHandleSlots = 0x10000;
// Kernel handle values are multiples of 4; a process of ours holds far fewer than this.
constexpr uintptr_t kMaxKernelHandleValue = 0x10000;

LRESULT KernelHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  // Wine counts nothing: ask each possible value whether it is an open handle.
  LRESULT open = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < kMaxKernelHandleValue; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  return open;
}

LRESULT GdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return counted;
  // Wine counts nothing: ask each slot for the type of what it holds.
  LRESULT count = 0;
  for (unsigned slot = 1; slot < kMaxGdiHandleSlots; ++slot)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(slot))) != 0) ++count;
  return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<LRESULT*>(count);
  return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND hwnd, LPARAM count) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<LRESULT*>(count);
  EnumChildWindows(hwnd, CountChild, count);
  return TRUE;
}

LRESULT UserObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counted != 0) return counted;
  LRESULT count = 0;
  EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace

UINT DiagnosticsMessage() {
  static const UINT message = RegisterWindowMessageA("ParlixDiagnostics");
  return message;
}

LRESULT AnswerDiagnostics(WPARAM what) {
  switch (static_cast<TDiagnostic>(what)) {
    case TDiagnostic::kHandles:
      return KernelHandles();
    case TDiagnostic::kGdiObjects:
      return GdiObjects();
    case TDiagnostic::kUserObjects:
      return UserObjects();
    case TDiagnostic::kWorkingSetKiB: {
      PROCESS_MEMORY_COUNTERS counters{};
      if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
      return static_cast<LRESULT>(counters.WorkingSetSize / 1024);
    }
    case TDiagnostic::kFlushStageLog:
      return stage_clock::Flush() ? 1 : 0;
  }
  return 0;
}

}  // namespace parlix

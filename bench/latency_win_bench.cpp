// Request-to-result latency of the whole program: starts parlix.exe against the stand-in
// translation service (through its own proxy settings), then, round after round, puts a
// text into the text area, asks for the translation and times until the result window
// holds text. Prints min/median/p95/max, and the program's footprint (working set,
// handles, GDI and USER objects) before and after a soak of many translations.
//   latency_win_bench.exe [ROUNDS] [SOAK]      run inside tools/with-standins (bench/latency)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/driver_win.h"

using namespace parlix::test;

namespace {

constexpr char kSample[] = "Hello, good morning. Thank you!";

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

struct Footprint {
  SIZE_T working_set_kib = 0;
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
};

Footprint Measure(DWORD pid) {
  Footprint f;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return f;
  PROCESS_MEMORY_COUNTERS counters{};
  if (GetProcessMemoryInfo(process, &counters, sizeof(counters))) f.working_set_kib = counters.WorkingSetSize / 1024;
  GetProcessHandleCount(process, &f.handles);
  f.gdi = GetGuiResources(process, GR_GDIOBJECTS);
  f.user = GetGuiResources(process, GR_USEROBJECTS);
  CloseHandle(process);
  return f;
}

void PrintFootprint(const char* when, const Footprint& f) {
  std::printf("%-28s working set %6zu KiB  handles %5lu  GDI %5lu  USER %5lu\n", when,
              static_cast<size_t>(f.working_set_kib), f.handles, f.gdi, f.user);
}

class Rounds {
 public:
  Rounds(HWND main, HWND memo) : main_(main), memo_(memo) {}

  // One translation; the time in ms from asking to the text in the result window, or a
  // negative value when it did not arrive.
  double One() {
    SendBounded(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kSample));
    const double start = Now();
    PostMessageA(main_, WM_USER + 4, 0, 0);
    HWND result = nullptr;
    const double limit = start + 10000;
    for (;;) {
      result = FindWindowA("TTransForm", nullptr);
      HWND result_memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
      if (result_memo != nullptr && !WindowText(result_memo).empty()) break;
      if (Now() > limit) return -1;
      Sleep(1);
    }
    const double elapsed = Now() - start;
    PostMessageA(result, WM_CLOSE, 0, 0);
    WaitUntil([&] { return !IsWindow(result); }, 5s);
    return elapsed;
  }

 private:
  HWND main_;
  HWND memo_;
};

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5));
  return values[index];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
  const int soak = argc > 2 ? std::atoi(argv[2]) : 1000;
  const TStandins standins = Standins();
  if (!standins.Running() || rounds < 1) {
    std::fprintf(stderr, "latency: run through bench/latency (needs the stand-in servers)\n");
    return 2;
  }
  WriteSettingsWithProxy(standins.port, 1);
  TProgram program;
  HWND main = program.WaitForTopWindow("TMainForm", std::string("Parlix"), 60s);
  HWND memo = main != nullptr ? FindChild(main, "Edit") : nullptr;
  if (memo == nullptr) {
    std::fprintf(stderr, "latency: the main window did not appear\n");
    return 1;
  }
  Rounds measure(main, memo);
  // Warm-up: the first request also loads the socket library and fills caches.
  for (int i = 0; i < 5; ++i) measure.One();

  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double t = measure.One();
    if (t < 0) {
      std::fprintf(stderr, "latency: round %d brought no translation\n", i + 1);
      return 1;
    }
    times.push_back(t);
  }
  std::printf("rounds %d: min %.1f ms  median %.1f ms  p95 %.1f ms  max %.1f ms\n", rounds,
              Percentile(times, 0), Percentile(times, 0.5), Percentile(times, 0.95), Percentile(times, 1));
  std::printf("program median_ms %.2f\n", Percentile(times, 0.5));

  if (soak > 0) {
    const Footprint before = Measure(program.ProcessId());
    for (int i = 0; i < soak; ++i) {
      if (measure.One() < 0) {
        std::fprintf(stderr, "latency: soak round %d brought no translation\n", i + 1);
        return 1;
      }
    }
    const Footprint after = Measure(program.ProcessId());
    PrintFootprint("before the soak:", before);
    PrintFootprint(("after " + std::to_string(soak) + " translations:").c_str(), after);
  }
  PostMessageA(main, WM_USER + 7, 0, 0);
  program.WaitForExit();
  return 0;
}

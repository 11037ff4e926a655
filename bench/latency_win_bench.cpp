// Request-to-result latency of the whole program: starts parlix.exe against the stand-in
// translation service (through its own proxy settings), then, round after round, puts a
// text into the text area, asks for the translation and times until the result window
// holds text. Prints min/median/p95/max, and the program's footprint (working set,
// handles, GDI and USER objects) before and after a soak of many translations.
// With tools/with-tls around it, two more series: the service relocates each request to
// HTTPS (TLS through SChannel, through the stand-in proxy's tunnel), and, for what the
// relocation alone costs, to plain HTTP on this machine. With tools/with-apy, a last series
// through Apertium's own server, a real engine, over HTTPS.
//   latency_win_bench.exe [ROUNDS] [SOAK]      run inside tools/with-standins (bench/latency)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/driver_win.h"
#include "support/tls_trust_win.h"

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

// The program answers these itself: Wine reports none of them across processes.
UINT DiagnosticsMessage() {
  static const UINT message = RegisterWindowMessageA("ParlixDiagnostics");
  return message;
}
enum : WPARAM { kHandles = 0, kGdiObjects = 1, kUserObjects = 2, kWorkingSetKiB = 3, kFlushStageLog = 4 };

struct Footprint {
  LRESULT working_set_kib = 0;
  LRESULT handles = 0;
  LRESULT gdi = 0;
  LRESULT user = 0;
};

Footprint Measure(HWND main) {
  Footprint f;
  f.working_set_kib = SendBounded(main, DiagnosticsMessage(), kWorkingSetKiB);
  f.handles = SendBounded(main, DiagnosticsMessage(), kHandles);
  f.gdi = SendBounded(main, DiagnosticsMessage(), kGdiObjects);
  f.user = SendBounded(main, DiagnosticsMessage(), kUserObjects);
  return f;
}

void PrintFootprint(const char* when, const Footprint& f) {
  std::printf("%-28s working set %6lld KiB  handles %5lld  GDI %5lld  USER %5lld\n", when,
              static_cast<long long>(f.working_set_kib), static_cast<long long>(f.handles),
              static_cast<long long>(f.gdi), static_cast<long long>(f.user));
}

class Rounds {
 public:
  Rounds(HWND main, HWND memo) : main_(main), memo_(memo) {}

  // One translation; the time in ms from asking to the text in the result window, or a
  // negative value when it did not arrive. With `close_result` the result window is
  // closed afterwards, so the next round makes it anew (a user's first translation);
  // otherwise it stays, as it does while a user goes on translating, and the program
  // empties it when the next request starts.
  double One(bool close_result) {
    SendBounded(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kSample));
    // The previous round's text would otherwise count as this round's until the program
    // empties the window.
    if (HWND open = FindWindowA("TTransForm", nullptr))
      if (HWND open_memo = FindChild(open, "Edit")) SendBounded(open_memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
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
    if (close_result) {
      PostMessageA(result, WM_CLOSE, 0, 0);
      WaitUntil([&] { return !IsWindow(result); }, 5s);
    }
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

// `rounds` translations; empty, with the round named, when one brought none.
std::vector<double> Series(Rounds& measure, int rounds, bool close_result, const std::string& what) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double t = measure.One(close_result);
    if (t < 0) {
      std::fprintf(stderr, "latency: %s round %d brought no translation\n", what.c_str(), i + 1);
      return {};
    }
    times.push_back(t);
  }
  return times;
}

void PrintSeries(const char* label, const std::vector<double>& times) {
  std::printf("%srounds %zu: min %.1f ms  median %.1f ms  p95 %.1f ms  max %.1f ms\n", label, times.size(),
              Percentile(times, 0), Percentile(times, 0.5), Percentile(times, 0.95), Percentile(times, 1));
}

// The program's main window and its text area once it has started, warmed up by a few
// translations (the first request also loads the socket library and fills caches); nulls
// when the window did not come.
std::pair<HWND, HWND> StartedAndWarm(TProgram& program) {
  HWND main = program.WaitForTopWindow("TMainForm", std::string("Parlix"), 60s);
  HWND memo = main != nullptr ? FindChild(main, "Edit") : nullptr;
  if (memo == nullptr) return {nullptr, nullptr};
  Rounds warm(main, memo);
  for (int i = 0; i < 5; ++i) warm.One(false);
  return {main, memo};
}

// The program's stage log: "stage microseconds" lines, a round beginning at "asked".
// Prints, per stage, the median time since the round's start, in the order stages come.
void PrintBreakdown(const std::string& path) {
  std::ifstream in(path);
  std::map<std::string, std::vector<double>> since_asked;
  std::vector<std::string> order;
  std::string line;
  double asked = -1;
  while (std::getline(in, line)) {
    const size_t blank = line.rfind(' ');
    if (blank == std::string::npos) continue;
    const std::string stage = line.substr(0, blank);
    const double micros = std::atof(line.c_str() + blank + 1);
    if (stage == "asked") asked = micros;
    if (asked < 0) continue;
    if (since_asked.find(stage) == since_asked.end()) order.push_back(stage);
    since_asked[stage].push_back((micros - asked) / 1000.0);
  }
  if (order.empty()) return;
  std::printf("where the time goes (median ms since asked, %zu rounds):\n", since_asked["asked"].size());
  for (const std::string& stage : order)
    std::printf("  %-34s %7.2f\n", stage.c_str(), Percentile(since_asked[stage], 0.5));
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
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string stage_log = std::string(temp) + "parlix_stage_log.txt";
  DeleteFileA(stage_log.c_str());
  SetEnvironmentVariableA("PARLIX_STAGE_LOG", stage_log.c_str());
  TProgram program;
  const auto [main, memo] = StartedAndWarm(program);
  if (memo == nullptr) {
    std::fprintf(stderr, "latency: the main window did not appear\n");
    return 1;
  }
  Rounds measure(main, memo);

  for (const bool close_result : {false, true}) {
    SendBounded(main, DiagnosticsMessage(), kFlushStageLog);
    DeleteFileA(stage_log.c_str());
    const std::vector<double> times = Series(measure, rounds, close_result, "direct");
    if (times.empty()) return 1;
    std::printf("\n%s\n", close_result ? "result window closed after each round (made anew each time):"
                                        : "result window left open between rounds (as while a user goes on):");
    PrintSeries("", times);
    if (!close_result) std::printf("program median_ms %.2f\n", Percentile(times, 0.5));
    if (SendBounded(main, DiagnosticsMessage(), kFlushStageLog) == 1) PrintBreakdown(stage_log);
  }

  const int tls_port = TlsPort("PARLIX_TLS_PORT");
  if (tls_port != 0 && TrustTestCa()) {
    std::printf("\nrelocated by the service (result window left open):\n");
    for (const std::string& base : {"http://localhost:" + std::to_string(standins.port),
                                    "https://localhost:" + std::to_string(tls_port)}) {
      standins.SetControl("{\"relocate_post_to\": \"" + base + "\"}");
      for (int i = 0; i < 5; ++i) measure.One(false);
      const std::vector<double> times = Series(measure, rounds, false, base);
      if (times.empty()) return 1;
      const bool secure = base.rfind("https", 0) == 0;
      PrintSeries(secure ? "to HTTPS  " : "to HTTP   ", times);
      std::printf("%s median_ms %.2f\n", secure ? "https" : "relocated", Percentile(times, 0.5));
    }
    standins.SetControl("{}");
  }

  if (soak > 0) {
    // The soak leaves the result window open: so does the round before the first count.
    measure.One(false);
    const Footprint before = Measure(main);
    for (int i = 0; i < soak; ++i) {
      if (measure.One(false) < 0) {
        std::fprintf(stderr, "latency: soak round %d brought no translation\n", i + 1);
        return 1;
      }
    }
    const Footprint after = Measure(main);
    SendBounded(main, DiagnosticsMessage(), kFlushStageLog);
    PrintFootprint("before the soak:", before);
    PrintFootprint(("after " + std::to_string(soak) + " translations:").c_str(), after);
  }
  PostMessageA(main, WM_USER + 7, 0, 0);
  program.WaitForExit();

  // A real engine: Apertium's own server over HTTPS (bench/latency runs tools/with-apy).
  const int apy_port = TlsPort("PARLIX_APY_PORT");
  if (apy_port != 0 && TrustTestCa()) {
    WriteSettingsWithEngine("apertium", "https://localhost:" + std::to_string(apy_port), "");
    TProgram engine_program;
    const auto [engine_main, engine_memo] = StartedAndWarm(engine_program);
    if (engine_memo == nullptr) {
      std::fprintf(stderr, "latency: the main window did not appear for the Apertium series\n");
      return 1;
    }
    Rounds apertium(engine_main, engine_memo);
    const std::vector<double> times = Series(apertium, rounds, false, "Apertium");
    if (times.empty()) return 1;
    std::printf("\nthrough Apertium's server (apertium-apy over HTTPS, direct):\n");
    PrintSeries("", times);
    std::printf("apertium median_ms %.2f\n", Percentile(times, 0.5));
    PostMessageA(engine_main, WM_USER + 7, 0, 0);
    engine_program.WaitForExit();
  }
  return 0;
}

// A soak with faults: many translations through the stand-in service, where in every ten one
// meets a connection reset in the headers, one a 500 and one a server that says nothing. Each
// error box is answered as a person would; the program's footprint (working set, handles,
// GDI and USER objects, from its diagnostics message) is printed before and after, with
// the tally of outcomes.
//   soak_win_bench.exe [TRANSLATIONS]      run inside tools/with-standins (bench/soak)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "support/session_win.h"

using namespace parlix::test;

namespace {

constexpr char kSample[] = "Hello, good morning. Thank you!";
// One round in ten of each fault; the rest are answered.
constexpr char kFaultCycle[] =
    "{\"scope\": \"translate\", \"cycle\": [{}, {}, {\"reset_after\": 30}, {}, {}, {\"status\": 500}, {}, {},"
    " {\"silent\": true}, {}]}";
// The program's silence limit, lowered for the soak: it only decides how long the silent
// rounds take.
constexpr char kLimits[] = "1000,500";
constexpr auto kRoundLimit = 20s;

enum : WPARAM { kHandles = 0, kGdiObjects = 1, kUserObjects = 2, kWorkingSetKiB = 3 };

struct Footprint {
  LRESULT working_set_kib = 0, handles = 0, gdi = 0, user = 0;
};

Footprint Measure(HWND main) {
  const UINT message = RegisterWindowMessageA("ParlixDiagnostics");
  return {SendBounded(main, message, kWorkingSetKiB), SendBounded(main, message, kHandles),
          SendBounded(main, message, kGdiObjects), SendBounded(main, message, kUserObjects)};
}

void Print(const char* when, const Footprint& f) {
  std::printf("%-30s working set %6lld KiB  handles %5lld  GDI %5lld  USER %5lld\n", when,
              static_cast<long long>(f.working_set_kib), static_cast<long long>(f.handles),
              static_cast<long long>(f.gdi), static_cast<long long>(f.user));
}

// One translation to its end: "translated", or the first line of the error box, which is
// pressed away. Empty when nothing came within the limit.
std::string Round(TSession& session) {
  session.Translate(kSample);
  const std::string outcome = session.Outcome(kRoundLimit);
  WaitUntil([&] { return IsWindowEnabled(FindChild(session.main, "Edit")); }, kRoundLimit);
  return outcome.rfind("Error", 0) == 0 || outcome.empty() ? outcome : "translated";
}

}  // namespace

int main(int argc, char** argv) {
  const int translations = argc > 1 ? std::atoi(argv[1]) : 2000;
  const TStandins standins = Standins();
  if (!standins.Running() || translations < 1) {
    std::fprintf(stderr, "soak: run through bench/soak (needs the stand-in servers)\n");
    return 2;
  }
  SetEnvironmentVariableA("PARLIX_TEST_NET_LIMITS", kLimits);
  TSession session;
  standins.SetControl("{}");
  if (!session.Start(standins.port)) {
    std::fprintf(stderr, "soak: the main window did not appear\n");
    return 1;
  }
  HWND main = session.main;
  // Warm-up: the first requests load the socket library and fill caches.
  for (int i = 0; i < 5; ++i) Round(session);
  standins.SetControl(kFaultCycle);
  for (int i = 0; i < 10; ++i) Round(session);  // one whole cycle before the first count
  const Footprint before = Measure(main);
  std::map<std::string, int> tally;
  const DWORD start = GetTickCount();
  for (int i = 0; i < translations; ++i) {
    const std::string outcome = Round(session);
    ++tally[outcome.empty() ? "(nothing within the limit)" : outcome];
  }
  const DWORD elapsed = GetTickCount() - start;
  const Footprint after = Measure(main);
  standins.SetControl("{}");
  std::printf("%d translations in %.1f s, one in ten each: reset in the headers, status 500, silent server\n",
              translations, elapsed / 1000.0);
  for (const auto& [outcome, count] : tally) std::printf("  %5d  %s\n", count, outcome.c_str());
  Print("before:", before);
  Print(("after " + std::to_string(translations) + " translations:").c_str(), after);
  std::printf("change: working set %+lld KiB  handles %+lld  GDI %+lld  USER %+lld\n",
              static_cast<long long>(after.working_set_kib - before.working_set_kib),
              static_cast<long long>(after.handles - before.handles), static_cast<long long>(after.gdi - before.gdi),
              static_cast<long long>(after.user - before.user));
  session.Close();
  return 0;
}

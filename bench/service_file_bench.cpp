// How long interpreting a hostile service file takes: the closed-build count and the
// file at its size limit, full of keys. Prints milliseconds per interpretation.
#include <chrono>
#include <cstdio>
#include <string>

#include "service/service_file.h"
#include "shared/code_cript.h"

namespace {

double MillisecondsPerRun(const std::string& ini, int runs) {
  parlix::TServiceInfo current = parlix::DefaultServiceInfo();
  const auto start = std::chrono::steady_clock::now();
  bool closed = false;
  for (int i = 0; i < runs; ++i) {
    parlix::PseudoRandom random;
    random.Seed(1);
    closed ^= parlix::InterpretServiceFile(ini, current, "08/12/2026", parlix::kBuildVersion, random).info.ClosedVersion;
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  if (closed) std::printf("(closed)\n");
  return took.count() / runs;
}

}  // namespace

int main() {
  const std::string head = "[Signature]\r\nName=Parlix\r\n[ClosedVersions]\r\nCount=2000000000\r\n";
  std::printf("Count=2000000000, no version keys:             %8.3f ms\n", MillisecondsPerRun(head, 20));

  // The largest file accepted, every line a closed-build key.
  std::string full = head;
  for (int i = 1; full.size() < static_cast<size_t>(parlix::kMaxServiceFileSize); ++i) {
    full += "Version" + std::to_string(i) + "=" + parlix::Scramble("0" + std::to_string(i)) + "\r\n";
  }
  std::printf("Count=2000000000, %zu KiB of version keys:     %8.3f ms\n", full.size() / 1024,
              MillisecondsPerRun(full, 5));
  return 0;
}

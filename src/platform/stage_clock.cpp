#include "platform/stage_clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace parlix::stage_clock {

namespace {

// Room for a long benchmark's worth of marks (a dozen per translation); later marks are
// dropped until the next flush rather than growing anything.
constexpr size_t kMaxMarks = 1 << 16;

struct Entry {
  const char* stage;
  long long micros;
};

// Made only when timing is switched on: an ordinary run carries no table at all.
std::unique_ptr<Entry[]> g_marks;
std::atomic<size_t> g_next{0};
std::atomic<bool> g_enabled{false};
std::string g_path;

long long NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void EnableFromEnvironment() {
  const char* path = std::getenv("PARLIX_STAGE_LOG");
  if (path == nullptr || *path == '\0') return;
  g_path = path;
  g_marks = std::make_unique<Entry[]>(kMaxMarks);
  g_enabled.store(true, std::memory_order_release);
}

bool Enabled() { return g_enabled.load(std::memory_order_relaxed); }

void Mark(const char* stage) {
  if (!Enabled()) return;
  const size_t index = g_next.fetch_add(1, std::memory_order_relaxed);
  if (index >= kMaxMarks) return;
  g_marks[index] = {stage, NowMicros()};
}

bool Flush() {
  if (!Enabled()) return false;
  std::FILE* file = std::fopen(g_path.c_str(), "a");
  if (file == nullptr) return false;
  const size_t count = std::min(g_next.load(std::memory_order_acquire), kMaxMarks);
  for (size_t i = 0; i < count; ++i) std::fprintf(file, "%s %lld\n", g_marks[i].stage, g_marks[i].micros);
  g_next.store(0, std::memory_order_release);
  return std::fclose(file) == 0;
}

}  // namespace parlix::stage_clock

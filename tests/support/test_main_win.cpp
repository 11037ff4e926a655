// The entry of every Windows test program. Besides running GoogleTest it keeps a watchdog:
// a test case that is still running after its limit is named, the place where each thread
// of the process stands is printed, and the process ends. A hang then costs a minute and
// says where it was, instead of running into ctest's limit and saying nothing.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Far above the slowest case (the largest transfers of the socket tests take a few
// seconds, tens on a loaded machine), well below ctest's limit for a whole program.
constexpr std::chrono::seconds kDefaultCaseLimit{120};

std::chrono::seconds CaseLimit() {
  const char* text = std::getenv("PARLIX_TEST_CASE_LIMIT");
  if (text == nullptr) return kDefaultCaseLimit;
  const long seconds = std::strtol(text, nullptr, 10);
  return seconds > 0 ? std::chrono::seconds(seconds) : kDefaultCaseLimit;
}

std::string ModuleOf(DWORD64 address, DWORD64* base) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(address), &module)) {
    *base = 0;
    return "?";
  }
  *base = reinterpret_cast<DWORD64>(module);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\');
  return name != nullptr ? name + 1 : path;
}

// Walks a suspended thread's stack with the unwind tables the compiler emits for x64.
// Addresses are printed relative to their module so addr2line can place them:
//   x86_64-w64-mingw32-addr2line -f -C -e TEST.exe 0x<image base + offset>
void PrintStack(HANDLE thread, DWORD id) {
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  if (!GetThreadContext(thread, &context)) {
    std::fprintf(stderr, "  thread %lu: context unavailable\n", id);
    return;
  }
  std::fprintf(stderr, "  thread %lu:\n", id);
  constexpr int kMaxFrames = 40;
  for (int frame = 0; frame < kMaxFrames && context.Rip != 0; ++frame) {
    DWORD64 base = 0;
    const std::string module = ModuleOf(context.Rip, &base);
    std::fprintf(stderr, "    #%d %s+0x%llx (0x%llx)\n", frame, module.c_str(),
                 static_cast<unsigned long long>(context.Rip - base), static_cast<unsigned long long>(context.Rip));
    DWORD64 image_base = 0;
    PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
    if (entry == nullptr) {
      // A leaf function: the return address is on top of the stack.
      context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
      context.Rsp += 8;
      continue;
    }
    PVOID handler_data = nullptr;
    DWORD64 establisher = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, entry, &context, &handler_data, &establisher,
                     nullptr);
  }
}

void DumpThreads() {
  const DWORD self = GetCurrentThreadId();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == self) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                               entry.th32ThreadID);
    if (thread == nullptr) continue;
    if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
      PrintStack(thread, entry.th32ThreadID);
      ResumeThread(thread);
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

class Watchdog : public ::testing::EmptyTestEventListener {
 public:
  explicit Watchdog(std::chrono::seconds limit) : limit_(limit) {
    std::thread([this] { Watch(); }).detach();
  }

  void OnTestStart(const ::testing::TestInfo& info) override {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = std::string(info.test_suite_name()) + "." + info.name();
    started_ = Clock::now();
    running_ = true;
  }

  void OnTestEnd(const ::testing::TestInfo&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }

  // The cases are over; the process's own end (static destructors, the system's clean-up)
  // is watched too: once a program hung there after all its cases had passed.
  void WatchExit(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = "the end of the test program";
    started_ = Clock::now();
    limit_ = kExitLimit;
    exit_result_ = result;
    running_ = true;
  }

 private:
  void Watch() {
    for (;;) {
      Sleep(1000);
      std::string name;
      std::chrono::seconds limit{};
      int exit_result = -1;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_ || Clock::now() - started_ < limit_) continue;
        name = name_;
        limit = limit_;
        exit_result = exit_result_;
      }
      std::fprintf(stderr, "\nwatchdog: %s is still running after %lld s; where each thread stands:\n",
                   name.c_str(), static_cast<long long>(limit.count()));
      DumpThreads();
      std::fprintf(stderr, "watchdog: ending the test program\n");
      std::fflush(stderr);
      std::fflush(stdout);
      // A hang after the last case keeps the cases' own result: they ran to the end.
      TerminateProcess(GetCurrentProcess(), exit_result >= 0 ? static_cast<UINT>(exit_result) : 124);
    }
  }

  static constexpr std::chrono::seconds kExitLimit{30};
  std::chrono::seconds limit_;
  int exit_result_ = -1;
  std::mutex mutex_;
  std::string name_;
  Clock::time_point started_{};
  bool running_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  auto* watchdog = new Watchdog(CaseLimit());
  ::testing::UnitTest::GetInstance()->listeners().Append(watchdog);
  const int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  std::fflush(stderr);
  // Kept past the framework's own clean-up, which would otherwise free it under its thread.
  ::testing::UnitTest::GetInstance()->listeners().Release(watchdog);
  watchdog->WatchExit(result);
  return result;
}

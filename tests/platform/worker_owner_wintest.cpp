// Starting and stopping a worker when the system refuses a thread, a window or a handle:
// each refusal must end in a clean "could not start" or a stop that returns, never in a
// worker that never reports or a GUI thread that waits for ever.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "platform/thread_win.h"
#include "platform/worker_owner_win.h"
#include "support/driver_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;

class TProbeWorker : public TThread {
 public:
  TProbeWorker(std::function<void(TProbeWorker&)> body, std::atomic<int>* freed) : body_(std::move(body)), freed_(freed) {}
  ~TProbeWorker() override { ++*freed_; }
  bool Stopping() const { return Terminated(); }

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TProbeWorker&)> body_;
  std::atomic<int>* freed_;
};

// Waits without looking at this thread's messages, so that no call of a worker gets through.
bool WaitWithoutPumping(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) Sleep(20);
  return done();
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A failing call in place of one of the system's.
template <typename Fn>
using Refuse = test::TReplaced<Fn>;

HANDLE WINAPI NoThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}
HWND WINAPI NoWindow(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}
BOOL WINAPI NoDuplicate(HANDLE, HANDLE, HANDLE, LPHANDLE, DWORD, BOOL, DWORD) {
  SetLastError(ERROR_NO_SYSTEM_RESOURCES);
  return FALSE;
}

// Runs first in this program: the window that carries the workers' calls is made with
// the first worker, so only here can its creation be refused.
TEST(WorkerOwner, ARefusedThreadOrCallWindowStartsNothingAndTheNextStartWorks) {
  std::atomic<int> freed{0};
  int ended = 0;
  TWorkerOwner owner;
  for (bool refuse_window : {true, false}) {
    SCOPED_TRACE(refuse_window ? "no window for the calls" : "no thread");
    std::atomic<bool> ran{false};
    {
      Refuse<decltype(&::CreateWindowExA)> no_window(ThreadSystemCalls().create_window,
                                                     refuse_window ? NoWindow : ThreadSystemCalls().create_window);
      Refuse<decltype(&::CreateThread)> no_thread(ThreadSystemCalls().create_thread,
                                                  refuse_window ? ThreadSystemCalls().create_thread : NoThread);
      auto worker = std::make_unique<TProbeWorker>([&](TProbeWorker&) { ran = true; }, &freed);
      EXPECT_FALSE(owner.Start(std::move(worker), [&] { ++ended; }));
    }
    EXPECT_FALSE(owner.Running());
    Sleep(50);
    Pump();
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(ended, 0) << "no end is reported for a worker that never started";
  }
  EXPECT_EQ(freed.load(), 2) << "the refused workers are freed";

  // With the system willing again, a worker starts, runs and reports its end.
  std::atomic<bool> ran{false};
  ASSERT_TRUE(owner.Start(std::make_unique<TProbeWorker>([&](TProbeWorker&) { ran = true; }, &freed), [&] { ++ended; }));
  ASSERT_TRUE(test::WaitUntil([&] { return ended == 1; }, 10s));
  EXPECT_TRUE(ran.load());
  EXPECT_FALSE(owner.Running());
  ASSERT_TRUE(test::WaitUntil([&] { return freed.load() == 3; }, 5s)) << "the worker frees itself at its end";
}

TEST(WorkerOwner, StopsReturnWhetherTheWorkerIsBusyOrAlreadyAtItsEndAndWithoutAHandleCopy) {
  for (bool refuse_copy : {false, true}) {
    SCOPED_TRACE(refuse_copy ? "handle copy refused" : "handle copy granted");
    Refuse<decltype(&::DuplicateHandle)> no_copy(ThreadSystemCalls().duplicate_handle,
                                                 refuse_copy ? NoDuplicate : ThreadSystemCalls().duplicate_handle);
    std::atomic<int> freed{0};
    int ended = 0;

    // Busy: the worker loops until asked to stop; the stop takes it back and frees it.
    {
      TWorkerOwner owner;
      std::atomic<bool> looping{false};
      ASSERT_TRUE(owner.Start(std::make_unique<TProbeWorker>(
                                  [&](TProbeWorker& self) {
                                    looping = true;
                                    while (!self.Stopping()) Sleep(5);
                                  },
                                  &freed),
                              [&] { ++ended; }));
      ASSERT_TRUE(test::WaitUntil([&] { return looping.load(); }, 10s));
      owner.Stop(Pump);
      EXPECT_FALSE(owner.Running());
      EXPECT_EQ(ended, 1);
      EXPECT_EQ(freed.load(), 1);
    }

    // At its end: the worker has returned and waits in its last call into this thread,
    // which has not pumped since. The stop can no longer take it back; it must still
    // return once that call has run, with the end reported once.
    {
      TWorkerOwner owner;
      std::atomic<bool> at_end{false};
      ASSERT_TRUE(owner.Start(std::make_unique<TProbeWorker>([&](TProbeWorker&) { at_end = true; }, &freed),
                              [&] { ++ended; }));
      ASSERT_TRUE(WaitWithoutPumping([&] { return at_end.load(); }));
      Sleep(200);  // no pumping here: the worker is now blocked in its termination call
      owner.Stop(Pump);
      EXPECT_FALSE(owner.Running());
      EXPECT_EQ(ended, 2);
      ASSERT_TRUE(test::WaitUntil([&] { return freed.load() == 2; }, 5s)) << "the worker freed itself";
    }
  }
}

}  // namespace
}  // namespace parlix

// A worker thread with the life cycle the program's workers need: created suspended,
// started once, a terminate flag it polls, calls synchronised into the GUI thread,
// a termination handler that runs on the GUI thread, and freeing itself at its end.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "platform/handles_win.h"

namespace parlix {

// The system calls a worker's start and stop depend on that can fail when the system runs
// short of threads, handles or windows. Tests put failing ones in their place to show that
// each failure ends cleanly.
struct TThreadSystemCalls {
  decltype(&::CreateThread) create_thread = ::CreateThread;
  decltype(&::DuplicateHandle) duplicate_handle = ::DuplicateHandle;
  decltype(&::CreateWindowExA) create_window = ::CreateWindowExA;
};
TThreadSystemCalls& ThreadSystemCalls();

// The program's one message pump that does not wait: handles every message queued for the
// calling thread (through `dispatch` when given), then returns. A WM_QUIT ends it and is
// posted again for the loop that owns the thread's end; false then.
bool PumpThreadMessages(const std::function<void(MSG&)>& dispatch = nullptr);

class TThread {
 public:
  // Must be created on the GUI thread: synchronised calls go to that thread.
  TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Waits for the thread to end if it was started and is still running.
  virtual ~TThread();

  // False when the thread could not be made (or the window that carries its calls to the
  // GUI thread): nothing runs then, and the caller still owns the object.
  bool Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  void SetPriority(int priority) {
    if (handle_) SetThreadPriority(handle_.Get(), priority);
  }
  HANDLE Handle() const { return handle_.Get(); }

  // Read by the thread at its end; set on the GUI thread before Start.
  bool FreeOnTerminate = false;
  // Runs on the GUI thread after Execute has returned, before a free-on-terminate delete.
  std::function<void()> OnTerminate;

  // Detaches a running thread from its free-on-terminate end so that the GUI thread can
  // wait for it and free it: true when it succeeded, false when the thread had already
  // passed that point (it then runs its termination handler and frees itself as usual).
  bool DetachForStop();

  // Waits for the thread's end in slices of `slice_ms`, running `between_slices` after
  // every slice that timed out (the GUI thread processes its messages there).
  static void WaitPumping(HANDLE thread, DWORD slice_ms, const std::function<void()>& between_slices);

  // A worker's wait between looks at its messages and its terminate flag: returns as soon
  // as a message arrives for this thread, and after `limit_ms` at the latest.
  static void WaitForMessages(DWORD limit_ms);

 protected:
  virtual void Execute() = 0;
  // Runs `call` on the GUI thread and waits for it to return.
  void Synchronize(const std::function<void()>& call);

 private:
  static DWORD WINAPI ThreadProc(void* self);
  void Finish();

  enum State : int { kRunning, kFinishing, kDetached };
  UniqueHandle handle_;
  bool started_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<int> state_{kRunning};
};

}  // namespace parlix

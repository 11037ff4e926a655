#include "platform/worker_owner_win.h"

#include <utility>

namespace parlix {

namespace {

constexpr DWORD kStopSliceMs = 50;

}  // namespace

TWorkerOwner::~TWorkerOwner() { Stop([] { PumpThreadMessages(); }); }

bool TWorkerOwner::Start(std::unique_ptr<TThread> worker, std::function<void()> on_ended, int priority) {
  if (worker_ != nullptr || !worker) return false;
  worker->SetPriority(priority);
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [this] { Ended(); };
  on_ended_ = std::move(on_ended);
  if (!worker->Start()) {
    on_ended_ = nullptr;
    return false;
  }
  // From here the thread frees the object at its end, unless a stop takes it back first.
  worker_ = worker.release();
  return true;
}

void TWorkerOwner::Ended() {
  worker_ = nullptr;
  if (on_ended_) std::exchange(on_ended_, nullptr)();
}

void TWorkerOwner::Stop(const std::function<void()>& pump) {
  if (worker_ == nullptr) return;
  TThread* worker = worker_;
  worker->SetPriority(THREAD_PRIORITY_NORMAL);
  if (worker->DetachForStop()) {
    // The object is ours again: it stays alive, and so does its handle, until we free it.
    std::unique_ptr<TThread> owned(worker);
    worker->Terminate();
    TThread::WaitPumping(worker->Handle(), kStopSliceMs, pump);
    owned.reset();
    Ended();
    return;
  }
  // The thread has passed its last look at the flag and is on its way to its termination
  // handler, then frees itself. It cannot get past the handler until this thread pumps,
  // so the object and its handle are still there to copy.
  UniqueHandle thread;
  HANDLE copy = nullptr;
  if (ThreadSystemCalls().duplicate_handle(GetCurrentProcess(), worker->Handle(), GetCurrentProcess(), &copy,
                                           SYNCHRONIZE, FALSE, 0)) {
    thread.Reset(copy);
    TThread::WaitPumping(thread.Get(), kStopSliceMs, pump);
    return;
  }
  // Without a handle of our own, the end of the termination handler is what we wait for:
  // it is the last thing the thread needs of this one.
  while (worker_ != nullptr) {
    MsgWaitForMultipleObjectsEx(0, nullptr, kStopSliceMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    pump();
  }
}

}  // namespace parlix

#include "platform/thread_win.h"

#include <mutex>

#include "platform/callback_guard_win.h"

namespace parlix {

namespace {

constexpr char kSyncWindowClass[] = "TThreadSyncWindow";
constexpr UINT kSyncMessage = WM_APP + 0x100;

// The synchronised calls of every worker go to one hidden window owned by the GUI thread.
HWND g_sync_window = nullptr;
DWORD g_gui_thread = 0;

LRESULT CALLBACK SyncWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kSyncMessage) {
    // A worker's call that throws is reported here, on the GUI thread; the worker goes on.
    return GuardCallback<LRESULT>(0, [lparam] {
      (*reinterpret_cast<const std::function<void()>*>(lparam))();
      return LRESULT{0};
    });
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

// False when the window cannot be made: a worker whose last call could not reach the GUI
// thread would never report its end, so no worker starts without it.
bool EnsureSyncWindow() {
  if (g_sync_window != nullptr) return true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = SyncWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kSyncWindowClass;
  RegisterClassA(&wc);
  g_sync_window = ThreadSystemCalls().create_window(0, kSyncWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                    GetModuleHandleA(nullptr), nullptr);
  if (g_sync_window == nullptr) return false;
  g_gui_thread = GetCurrentThreadId();
  return true;
}

}  // namespace

bool PumpThreadMessages(const std::function<void(MSG&)>& dispatch) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Put back for the loop that owns the thread's end, which would otherwise never see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (dispatch) {
      dispatch(msg);
    } else {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

TThreadSystemCalls& ThreadSystemCalls() {
  static TThreadSystemCalls calls;
  return calls;
}

TThread::TThread() {
  if (!EnsureSyncWindow()) return;
  handle_.Reset(ThreadSystemCalls().create_thread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, nullptr));
}

TThread::~TThread() {
  // Pumping: the thread may still be waiting for one of its calls to run on this thread.
  if (handle_ && started_ && GetCurrentThreadId() != GetThreadId(handle_.Get()))
    WaitPumping(handle_.Get(), 10, [] { PumpThreadMessages(); });
}

bool TThread::Start() {
  if (started_ || !handle_) return false;
  if (ResumeThread(handle_.Get()) == static_cast<DWORD>(-1)) {
    // It never ran a line of ours: end it rather than leave it suspended for ever.
    TerminateThread(handle_.Get(), 1);
    handle_.Reset();
    return false;
  }
  started_ = true;
  return true;
}

bool TThread::DetachForStop() {
  int expected = kRunning;
  return state_.compare_exchange_strong(expected, kDetached);
}

void TThread::Synchronize(const std::function<void()>& call) {
  if (GetCurrentThreadId() == g_gui_thread) {
    call();
    return;
  }
  // A sent message blocks this thread until the GUI thread has run the call; the GUI
  // thread handles sent messages whenever it looks at its queue.
  SendMessageA(g_sync_window, kSyncMessage, 0, reinterpret_cast<LPARAM>(&call));
}

void TThread::Finish() {
  int expected = kRunning;
  if (!state_.compare_exchange_strong(expected, kFinishing)) return;  // the GUI thread owns us now
  if (OnTerminate) Synchronize(OnTerminate);
  if (FreeOnTerminate) delete this;
}

DWORD WINAPI TThread::ThreadProc(void* raw) {
  auto* self = static_cast<TThread*>(raw);
  try {
    self->Execute();
  } catch (...) {
    // A worker reports through its result, never by unwinding out of its thread.
  }
  self->Finish();
  return 0;
}

void TThread::WaitPumping(HANDLE thread, DWORD slice_ms, const std::function<void()>& between_slices) {
  while (WaitForSingleObject(thread, slice_ms) == WAIT_TIMEOUT) between_slices();
}

void TThread::WaitForMessages(DWORD limit_ms) {
  // Waking on a message rather than sleeping out the whole slice lets each socket event
  // of a request be handled at once: with a plain sleep every event could wait up to a
  // slice, several times per request.
  MsgWaitForMultipleObjectsEx(0, nullptr, limit_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace parlix

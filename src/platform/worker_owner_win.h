// The GUI thread's side of one worker at a time: starting it at a low priority so that it
// frees itself at its end, and stopping it so that the GUI thread never hangs and never
// stays busy, whatever the system refuses on the way.
#pragma once

#include <functional>
#include <memory>

#include "platform/thread_win.h"

namespace parlix {

class TWorkerOwner {
 public:
  TWorkerOwner() = default;
  TWorkerOwner(const TWorkerOwner&) = delete;
  TWorkerOwner& operator=(const TWorkerOwner&) = delete;
  // A worker still running is stopped, with a plain message loop between the waits.
  ~TWorkerOwner();

  // Starts `worker` at `priority`; `on_ended` runs on the GUI thread once it has ended,
  // by itself or by Stop. False when the thread cannot be started: the worker is gone,
  // and `on_ended` will not run.
  bool Start(std::unique_ptr<TThread> worker, std::function<void()> on_ended,
             int priority = THREAD_PRIORITY_BELOW_NORMAL);
  // Asks a running worker to end and waits for it, calling `pump` every 50 ms: the
  // worker's last act is a call into this thread, which only a pumping wait lets through.
  // `on_ended` has run when this returns.
  void Stop(const std::function<void()>& pump);

  bool Running() const { return worker_ != nullptr; }
  TThread* Worker() const { return worker_; }

 private:
  void Ended();

  TThread* worker_ = nullptr;  // owned by its own thread until a stop takes it back
  std::function<void()> on_ended_;
};

}  // namespace parlix

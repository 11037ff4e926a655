// The tray icon's animation while a translation runs: frames 0 and 1 in turn, one every
// 250 ms, starting with frame 0; stopped, the icon shows frame 0 again.
#pragma once

#include <windows.h>

#include "widgets/images_win.h"

namespace parlix {

class TTrayVis;

class TTrayAnimation {
 public:
  // The timer runs on `window`, whose WM_TIMER with kTimerId comes to TrayTimerTimer.
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT kInterval = 250;

  TTrayAnimation(HWND window, TTrayVis& tray);
  TTrayAnimation(const TTrayAnimation&) = delete;
  TTrayAnimation& operator=(const TTrayAnimation&) = delete;
  ~TTrayAnimation();

  void Start();
  void Stop();
  void TrayTimerTimer();
  // Shows frame 0 or 1 in the tray at once; other numbers change nothing.
  void SetTrayIconFrame(int frame);
  int Frame() const { return frame_; }

 private:
  HWND window_;
  TTrayVis& tray_;
  UniqueIcon frames_[2];
  int tag_ = 0;  // the next frame
  int frame_ = 0;
};

}  // namespace parlix

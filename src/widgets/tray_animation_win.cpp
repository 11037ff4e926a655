#include "widgets/tray_animation_win.h"

#include "widgets/tray_vis_win.h"

namespace parlix {

TTrayAnimation::TTrayAnimation(HWND window, TTrayVis& tray)
    : window_(window), tray_(tray), frames_{LoadTrayIconFrame(0), LoadTrayIconFrame(1)} {}

TTrayAnimation::~TTrayAnimation() { KillTimer(window_, kTimerId); }

void TTrayAnimation::Start() {
  tag_ = 0;
  SetTimer(window_, kTimerId, kInterval, nullptr);
}

void TTrayAnimation::Stop() {
  KillTimer(window_, kTimerId);
  SetTrayIconFrame(0);
}

void TTrayAnimation::TrayTimerTimer() {
  SetTrayIconFrame(tag_);
  tag_ = tag_ > 0 ? 0 : tag_ + 1;
}

void TTrayAnimation::SetTrayIconFrame(int frame) {
  if (frame < 0 || frame > 1) return;
  frame_ = frame;
  tray_.Trayicon.SetIcon(frames_[frame].Get());
}

}  // namespace parlix

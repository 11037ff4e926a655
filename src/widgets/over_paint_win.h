// A paint box that also tells when the mouse pointer enters and leaves it.
#pragma once

#include <windows.h>

#include <functional>

#include "widgets/controls_win.h"

namespace parlix {

class TOverPaint;
// Notify events carry their sender, so one handler can serve a row of boxes.
using TOverPaintEvent = std::function<void(TOverPaint& sender)>;

class TOverPaint : public TControl {
 public:
  TOverPaint(HWND parent, int left, int top, int width, int height);

  // True between the pointer's entering and leaving; already current inside both events.
  bool MouseInControl() const { return mouse_in_control_; }

  // Unassigned events are skipped. They hide the base's plain callbacks of the same name:
  // the base fires those from inside its own tracking, before this class has seen the move.
  TOverPaintEvent OnMouseEnter;
  TOverPaintEvent OnMouseLeave;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  virtual void MouseEnter();
  virtual void MouseLeave();

 private:
  bool mouse_in_control_ = false;
};

}  // namespace parlix

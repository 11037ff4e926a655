// A window's place in the clipboard viewer chain: it joins, hears of every change, passes
// each chain message on to the next viewer, and leaves the chain whole.
#pragma once

#include <windows.h>

#include <functional>

namespace parlix {

class TClipboardWatcher {
 public:
  TClipboardWatcher() = default;
  TClipboardWatcher(const TClipboardWatcher&) = delete;
  TClipboardWatcher& operator=(const TClipboardWatcher&) = delete;
  ~TClipboardWatcher() { Leave(); }

  // Runs on every change of the clipboard, before the notice goes on down the chain.
  std::function<void()> OnChange;
  // The next window in the chain (null when this one is the last).
  HWND NextClipboardViewer = nullptr;

  void Join(HWND window);
  void Leave();
  // The window's WM_DRAWCLIPBOARD and WM_CHANGECBCHAIN; false for any other message.
  bool Handle(UINT msg, WPARAM wparam, LPARAM lparam);

  // The clipboard's text was copied in this program, by the system's reckoning: one of its
  // windows is the active one, and the copy did not come from outside Wine.
  static bool CopiedHere();

 private:
  HWND window_ = nullptr;
};

}  // namespace parlix

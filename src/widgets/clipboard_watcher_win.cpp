#include "widgets/clipboard_watcher_win.h"

#include <string_view>

namespace parlix {

namespace {

// One of the program's windows is the system's active window.
bool ApplicationIsActive() {
  DWORD pid = 0;
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return false;
  GetWindowThreadProcessId(foreground, &pid);
  return pid == GetCurrentProcessId();
}

// Under Wine, text copied in a program outside Wine (a Linux program on the same X display)
// reaches the clipboard through Wine's clipboard manager, which then owns it; and Wine still
// counts this program as the active one, since the X window that has the focus is none of
// Wine's. Such a copy is not the program's own. No window of this class exists on Windows.
bool CopiedOutsideWine() {
  HWND owner = GetClipboardOwner();
  char name[64] = {};
  return owner != nullptr && GetClassNameA(owner, name, sizeof(name)) > 0 &&
         std::string_view(name) == "__wine_clipboard_manager";
}

}  // namespace

void TClipboardWatcher::Join(HWND window) {
  window_ = window;
  NextClipboardViewer = SetClipboardViewer(window);
}

void TClipboardWatcher::Leave() {
  if (window_ == nullptr) return;
  ChangeClipboardChain(window_, NextClipboardViewer);
  window_ = nullptr;
}

bool TClipboardWatcher::Handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DRAWCLIPBOARD) {
    // The notice goes on down the chain even when the change could not be handled here.
    struct PassOn {
      const TClipboardWatcher& watcher;
      ~PassOn() {
        if (watcher.NextClipboardViewer != nullptr) SendMessageA(watcher.NextClipboardViewer, WM_DRAWCLIPBOARD, 0, 0);
      }
    } pass_on{*this};
    if (OnChange) OnChange();
    return true;
  }
  if (msg == WM_CHANGECBCHAIN) {
    const HWND removed = reinterpret_cast<HWND>(wparam);
    if (removed == NextClipboardViewer)
      NextClipboardViewer = reinterpret_cast<HWND>(lparam);
    else if (NextClipboardViewer != nullptr)
      SendMessageA(NextClipboardViewer, WM_CHANGECBCHAIN, wparam, lparam);
    return true;
  }
  return false;
}

bool TClipboardWatcher::CopiedHere() { return ApplicationIsActive() && !CopiedOutsideWine(); }

}  // namespace parlix

#include "widgets/tray_vis_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/callback_guard_win.h"

namespace parlix {

namespace {

// Any value unique to this component among the owner's subclasses.
constexpr UINT_PTR kSubclassId = 0x54524156;  // "TRAV"

constexpr UINT kIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr UINT kIconFlagsNoTip = NIF_MESSAGE | NIF_ICON;

constexpr UINT kBalloonShow = 0x402;    // NIN_BALLOONSHOW
constexpr UINT kBalloonHideFirst = 0x403;  // NIN_BALLOONHIDE
constexpr UINT kBalloonHideLast = 0x405;   // NIN_BALLOONUSERCLICK

HICON CopyOrNull(HICON icon) { return icon == nullptr ? nullptr : CopyIcon(icon); }

struct TCursorTable {
  std::mutex lock;
  std::map<int, HCURSOR> cursors;
};

TCursorTable& Cursors() {
  static TCursorTable table;
  return table;
}

}  // namespace

NOTIFYICONDATAA BuildNotifyIconData(HWND owner, UINT id, UINT flags, UINT callback_message, HICON icon,
                                    std::string_view tip) {
  NOTIFYICONDATAA data{};
  data.cbSize = kNotifyIconDataSize;
  data.hWnd = owner;
  data.uID = id;
  data.uFlags = flags;
  data.uCallbackMessage = callback_message;
  data.hIcon = icon;
  static_assert(kMaxToolTip < sizeof(data.szTip), "the tip and its terminator fit the first-form record");
  const std::size_t length = std::min(tip.size(), kMaxToolTip);
  std::memcpy(data.szTip, tip.data(), length);
  data.szTip[length] = '\0';
  return data;
}

UINT TrayCallbackMessage() {
  static const UINT message = RegisterWindowMessageA("WM_TRAYCALLBACK");
  return message;
}

UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

UINT BalloonCallbackMessage() {
  static const UINT message = RegisterWindowMessageA("WM_BALLCALLBACK");
  return message;
}

HCURSOR ScreenCursor(int slot) {
  TCursorTable& table = Cursors();
  std::lock_guard<std::mutex> guard(table.lock);
  const auto found = table.cursors.find(slot);
  if (found != table.cursors.end()) return found->second;
  return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
}

void SetScreenCursor(int slot, HCURSOR cursor) {
  TCursorTable& table = Cursors();
  std::lock_guard<std::mutex> guard(table.lock);
  table.cursors[slot] = cursor;
}

// ---- TTrayicon ----

void TTrayicon::SetToolTip(std::string_view tip) {
  tool_tip_.assign(tip.substr(0, kMaxToolTip));
  if (vis_.owner_ == nullptr) return;
  std::memcpy(data_.szTip, tool_tip_.data(), tool_tip_.size());
  data_.szTip[tool_tip_.size()] = '\0';
  if (icon_added_) Modify();
}

void TTrayicon::SetIcon(HICON icon) {
  if (icon != nullptr && icon == icon_.Get()) return;
  icon_.Reset(CopyOrNull(icon));
  if (!icon_ && icon_added_) icon_.Reset(CopyOrNull(vis_.ApplicationIcon()));
  data_.hIcon = icon_.Get();
  if (vis_.owner_ != nullptr && icon_added_) Modify();
}

void TTrayicon::SetAlwaysActive(bool on) {
  always_active_ = on;
  if (on)
    AddIcon();
  else
    RemoveIcon();
}

bool TTrayicon::AddIcon() {
  if (vis_.owner_ == nullptr || icon_added_) return false;
  // Marked added before the shell answers: a shell that is not up yet announces itself with
  // "TaskbarCreated", and the icon is added again then.
  icon_added_ = true;
  if (!icon_) icon_.Reset(CopyOrNull(vis_.ApplicationIcon()));
  data_ = BuildNotifyIconData(vis_.owner_, kTrayiconId, kIconFlags, TrayCallbackMessage(), icon_.Get(), tool_tip_);
  return vis_.Notify(NIM_ADD, data_) != FALSE;
}

bool TTrayicon::RemoveIcon() {
  if (vis_.owner_ == nullptr || !icon_added_) return false;
  icon_added_ = false;
  return vis_.Notify(NIM_DELETE, data_) != FALSE;
}

void TTrayicon::Modify() { vis_.Notify(NIM_MODIFY, data_); }

// ---- TBalloonInfo ----

void TBalloonInfo::SetIcon(HICON icon) {
  if (icon != nullptr && icon == icon_.Get()) return;
  icon_.Reset(CopyOrNull(icon));
}

void TBalloonInfo::SetTrayiconActive(bool on) {
  trayicon_active_ = on;
  if (on)
    AddIcon();
  else
    RemoveIcon();
}

bool TBalloonInfo::AddIcon() {
  if (vis_.owner_ == nullptr || icon_added_) return false;
  icon_added_ = true;
  if (!icon_) icon_.Reset(CopyOrNull(vis_.ApplicationIcon()));
  const UINT flags = IconHint.empty() ? kIconFlagsNoTip : kIconFlags;
  data_ = BuildNotifyIconData(vis_.owner_, kBalloonIconId, flags, BalloonCallbackMessage(), icon_.Get(), IconHint);
  return vis_.Notify(NIM_ADD, data_) != FALSE;
}

bool TBalloonInfo::RemoveIcon() {
  if (vis_.owner_ == nullptr || !icon_added_) return false;
  icon_added_ = false;
  return vis_.Notify(NIM_DELETE, data_) != FALSE;
}

// ---- TTrayVis ----

TTrayVis::TTrayVis(HWND owner) {
  if (owner == nullptr || !IsWindow(owner)) throw EInvalidCast();
  TrayCallbackMessage();
  TaskbarCreatedMessage();
  BalloonCallbackMessage();
  if (!SetWindowSubclass(owner, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) throw EInvalidCast();
  owner_ = owner;
}

TTrayVis::~TTrayVis() { Detach(); }

void TTrayVis::Detach() {
  if (owner_ == nullptr) return;
  Trayicon.RemoveIcon();
  BallooInfo.RemoveIcon();
  RemoveWindowSubclass(owner_, SubclassProc, kSubclassId);
  owner_ = nullptr;
}

BOOL TTrayVis::Notify(DWORD message, NOTIFYICONDATAA& data) {
  if (ShellNotifyIcon) return ShellNotifyIcon(message, data);
  return Shell_NotifyIconA(message, &data);
}

HICON TTrayVis::ApplicationIcon() const {
  HICON icon = nullptr;
  if (owner_ != nullptr) {
    icon = reinterpret_cast<HICON>(GetClassLongPtrA(owner_, GCLP_HICONSM));
    if (icon == nullptr) icon = reinterpret_cast<HICON>(GetClassLongPtrA(owner_, GCLP_HICON));
  }
  if (icon == nullptr) icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  if (icon == nullptr) icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  return icon;
}

void TTrayVis::Fire(const TNotifyEvent& event) {
  if (event) event(*this);
}

LRESULT CALLBACK TTrayVis::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<TTrayVis*>(ref);
  if (msg == WM_NCDESTROY) {
    // The owner goes before the component: take the icons away while the window still
    // exists, so no dead icon lingers until the mouse passes over it.
    self->Detach();
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
  LRESULT result = 0;
  // Whatever an event handler raises is swallowed here, by design without a word, and the
  // message still reaches the window.
  const bool handled = GuardCallback(
      msg == TrayCallbackMessage() || msg == BalloonCallbackMessage(),
      [&] { return self->HandleBeforeDefault(msg, wparam, lparam, &result); }, CallbackReport::kSilent);
  if (handled) return result;
  result = DefSubclassProc(hwnd, msg, wparam, lparam);
  GuardCallback(0, [&] {
    self->HandleAfterDefault(msg, &result);
    return 0;
  }, CallbackReport::kSilent);
  return result;
}

bool TTrayVis::HandleBeforeDefault(UINT msg, WPARAM, LPARAM lparam, LRESULT* result) {
  if (msg == TrayCallbackMessage()) {
    *result = 0;
    TrayCallback(LOWORD(lparam));
    return true;
  }
  if (msg == BalloonCallbackMessage()) {
    *result = 0;
    BalloonCallback(LOWORD(lparam));
    return true;
  }
  if (msg == TaskbarCreatedMessage()) {
    TaskbarCreated();
    return false;
  }
  if (msg == WM_MOVING && Margin.Enabled && lparam != 0) Snap(*reinterpret_cast<RECT*>(lparam));
  return false;
}

void TTrayVis::HandleAfterDefault(UINT msg, LRESULT* result) {
  if (msg == WM_NCHITTEST) *result = AdjustHitTest(Margin, static_cast<int>(*result));
}

void TTrayVis::TrayCallback(UINT mouse_message) {
  switch (mouse_message) {
    case WM_LBUTTONUP: Fire(OnTrayLeftClick); break;
    case WM_LBUTTONDBLCLK: Fire(OnTrayLeft2Click); break;
    case WM_RBUTTONUP: ShowMenu(Trayicon.PopupMenu); break;
    default: break;
  }
}

void TTrayVis::BalloonCallback(UINT message) {
  if (message == WM_LBUTTONUP) {
    Fire(OnBallIconLeftClick);
    Fire(OnBallInfoShow);
  } else if (message == WM_LBUTTONDBLCLK) {
    Fire(OnBallIconLeft2Click);
  } else if (message == WM_RBUTTONUP) {
    ShowMenu(BallooInfo.PopupMenu);
  } else if (message == kBalloonShow) {
    Fire(OnBallInfoShow);
  } else if (message >= kBalloonHideFirst && message <= kBalloonHideLast) {
    if (!BallooInfo.TrayiconActive()) BallooInfo.RemoveIcon();
    Fire(OnBallInfoHide);
  }
}

void TTrayVis::ShowMenu(HMENU menu) {
  if (menu == nullptr) return;
  POINT at{};
  GetCursorPos(&at);
  if (OnShowPopupMenu) {
    OnShowPopupMenu(*this, menu, at);
  } else {
    // A tray menu only closes on a click elsewhere when its window is in the foreground.
    SetForegroundWindow(owner_);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner_, nullptr);
  }
  // A message of its own makes the system switch to the owner's task after the menu, without
  // which the next tray menu may open and close again at once (a long-standing tray quirk).
  if (owner_ != nullptr) PostMessageA(owner_, WM_NULL, 0, 0);
}

void TTrayVis::TaskbarCreated() {
  if (!Trayicon.IconAdded()) return;
  Trayicon.RemoveIcon();
  Trayicon.AddIcon();
}

void TTrayVis::Snap(RECT& proposed) {
  RECT current{};
  GetWindowRect(owner_, &current);
  const TSnapRect snapped = SnapToScreenEdges(
      Margin, TSnapRect{proposed.left, proposed.top, proposed.right, proposed.bottom},
      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), current.right - current.left,
      current.bottom - current.top);
  proposed = RECT{snapped.left, snapped.top, snapped.right, snapped.bottom};
}

void TTrayVis::AnimateTray(bool to_tray) {
  HWND shell = FindWindowA("Shell_TrayWnd", nullptr);
  HWND area = shell != nullptr ? FindWindowExA(shell, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
  if (area == nullptr) return;
  RECT window{};
  RECT tray{};
  if (!GetWindowRect(owner_, &window) || !GetWindowRect(area, &tray)) return;
  if (to_tray)
    DrawAnimatedRects(owner_, IDANI_CAPTION, &window, &tray);
  else
    DrawAnimatedRects(owner_, IDANI_CAPTION, &tray, &window);
}

void TTrayVis::MinimizeToTray() {
  if (owner_ == nullptr || Trayicon.InTray()) return;
  Trayicon.AddIcon();
  ShowWindow(owner_, SW_HIDE);
  AnimateTray(true);
  if (!taskbar_button_hidden_) HideTaskbarButton(true);
  Trayicon.in_tray_ = true;
  Fire(OnTrayicon);
}

void TTrayVis::RestoreFromTray() {
  if (owner_ == nullptr || !Trayicon.InTray()) return;
  if (!Trayicon.AlwaysActive()) Trayicon.RemoveIcon();
  AnimateTray(false);
  // Not SW_SHOWDEFAULT: for a program started from a shortcut set to "minimized" that
  // would bring the window back as a minimized borderless window with no taskbar button,
  // out of the user's reach.
  ShowWindow(owner_, SW_SHOWNORMAL);
  if (!taskbar_button_hidden_) HideTaskbarButton(false);
  Trayicon.in_tray_ = false;
  Fire(OnTrayRestore);
}

void TTrayVis::SetTaskbarButtonHidden(bool hidden) {
  HideTaskbarButton(hidden);
  taskbar_button_hidden_ = hidden;
}

void TTrayVis::HideTaskbarButton(bool hide) {
  if (owner_ == nullptr) return;
  const LONG_PTR style = GetWindowLongPtrA(owner_, GWL_EXSTYLE);
  const LONG_PTR wanted = hide ? ((style | WS_EX_TOOLWINDOW) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW))
                               : (style & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
  if (wanted == style) return;
  // The shell looks at the style only when a window is shown or hidden.
  const bool visible = IsWindowVisible(owner_) != FALSE;
  constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (visible) SetWindowPos(owner_, nullptr, 0, 0, 0, 0, kKeep | SWP_HIDEWINDOW);
  SetWindowLongPtrA(owner_, GWL_EXSTYLE, wanted);
  if (visible) SetWindowPos(owner_, nullptr, 0, 0, 0, 0, kKeep | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

void TTrayVis::SetStayOnTop(bool on) {
  if (owner_ == nullptr) return;
  SetWindowPos(owner_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  stay_on_top_state_ = on;
}

void TTrayVis::BringOwnerToFront(bool activate, bool restore, bool flash) {
  if (owner_ == nullptr) return;
  HWND foreground = GetForegroundWindow();
  HWND active = GetActiveWindow();
  if (restore) {
    if (Trayicon.InTray()) RestoreFromTray();
  } else if (!taskbar_button_hidden_) {
    HideTaskbarButton(false);
  }
  const UINT flags = activate ? (SWP_NOMOVE | SWP_NOSIZE) : (SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(owner_, HWND_TOPMOST, 0, 0, 0, 0, flags);
  if (!activate) {
    SetForegroundWindow(foreground);
    SetActiveWindow(active);
  }
  // Through the topmost band and back: the owner ends up at the top of the normal windows.
  if (!stay_on_top_state_)
    SetWindowPos(owner_, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
  else if (activate)
    SetWindowPos(owner_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (flash) FlashWindow(owner_, TRUE);
  if (activate) {
    SetActiveWindow(owner_);
    if (flash) SetForegroundWindow(owner_);
    SetFocus(owner_);
  }
}

void TTrayVis::UseSystemHandCursor(int slot, LPCSTR cursor_id) {
  SetScreenCursor(slot, LoadCursorA(nullptr, cursor_id));
}

}  // namespace parlix

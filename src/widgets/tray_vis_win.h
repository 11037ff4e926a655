// The tray icon component: puts an icon for its owner window into the notification area,
// reports mouse actions on it, hides the owner in the tray and brings it back, and controls
// the owner's taskbar button, stay-on-top state and screen-edge snapping. It does this by
// subclassing the owner window and by calling Shell_NotifyIcon.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "widgets/images_win.h"
#include "widgets/snap.h"

namespace parlix {

class TTrayVis;

// Raised when the component is given something that is not a window as its owner.
class EInvalidCast : public std::runtime_error {
 public:
  EInvalidCast() : std::runtime_error("Invalid class typecast") {}
};

using TNotifyEvent = std::function<void(TTrayVis& sender)>;
// Shows a pop-up menu at a screen position. The default tracks it with TrackPopupMenu,
// sending the chosen command to the owner as WM_COMMAND.
using TPopupMenuEvent = std::function<void(TTrayVis& sender, HMENU menu, POINT at)>;
// Stands for Shell_NotifyIconA; tests put a recorder in front of the real one.
using TShellNotifyIcon = std::function<BOOL(DWORD message, NOTIFYICONDATAA& data)>;

// The tooltip keeps this many characters.
inline constexpr std::size_t kMaxToolTip = 62;
// NOTIFYICONDATA in its first form: no balloon fields, understood by every shell.
inline constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAA_V1_SIZE;
inline constexpr UINT kTrayiconId = 0;
inline constexpr UINT kBalloonIconId = 1;

// The record handed to Shell_NotifyIcon; the tip is cut to kMaxToolTip characters.
NOTIFYICONDATAA BuildNotifyIconData(HWND owner, UINT id, UINT flags, UINT callback_message, HICON icon,
                                    std::string_view tip);

// The three messages shared by all instances, registered on first use.
UINT TrayCallbackMessage();    // "WM_TRAYCALLBACK"
UINT TaskbarCreatedMessage();  // "TaskbarCreated"
UINT BalloonCallbackMessage(); // "WM_BALLCALLBACK"

// The process's cursor table, by slot (crHandPoint is -21).
inline constexpr int kHandPointCursor = -21;
HCURSOR ScreenCursor(int slot);
void SetScreenCursor(int slot, HCURSOR cursor);

// The notification-area icon of the owner (identifier 0).
class TTrayicon {
 public:
  TTrayicon(const TTrayicon&) = delete;
  TTrayicon& operator=(const TTrayicon&) = delete;

  const std::string& ToolTip() const { return tool_tip_; }
  // Keeps the first 62 characters; updates a shown icon.
  void SetToolTip(std::string_view tip);
  HICON Icon() const { return icon_.Get(); }
  // Takes a copy; null means the application's icon. Updates a shown icon.
  void SetIcon(HICON icon);
  bool AlwaysActive() const { return always_active_; }
  // True adds the icon at once and keeps it while the owner is shown; false removes it.
  void SetAlwaysActive(bool on);

  // Opened by the right mouse button; not owned.
  HMENU PopupMenu = nullptr;

  bool IconAdded() const { return icon_added_; }
  bool InTray() const { return in_tray_; }
  // The record as last filled for Shell_NotifyIcon.
  const NOTIFYICONDATAA& NotifyData() const { return data_; }

  // Shell_NotifyIcon's answer; false also when there was nothing to do.
  bool AddIcon();
  bool RemoveIcon();

 private:
  friend class TTrayVis;
  explicit TTrayicon(TTrayVis& vis) : vis_(vis) {}
  void Modify();

  TTrayVis& vis_;
  std::string tool_tip_;
  UniqueIcon icon_;
  bool always_active_ = false;
  bool icon_added_ = false;
  bool in_tray_ = false;
  NOTIFYICONDATAA data_{};
};

enum class TInfoIconType { bitNone, bitInfo, bitWarning, bitError };

// The second, balloon icon (identifier 1). Its texts are kept but no balloon is ever shown.
class TBalloonInfo {
 public:
  TBalloonInfo(const TBalloonInfo&) = delete;
  TBalloonInfo& operator=(const TBalloonInfo&) = delete;

  std::string InfoTitle;
  std::string InfoTip;
  std::string IconHint;  // the balloon icon's tooltip when not empty
  TInfoIconType InfoIconType = TInfoIconType::bitInfo;
  int InfoTimeOut = 10;
  HMENU PopupMenu = nullptr;

  HICON Icon() const { return icon_.Get(); }
  void SetIcon(HICON icon);
  bool TrayiconActive() const { return trayicon_active_; }
  // True adds the balloon icon, false removes it.
  void SetTrayiconActive(bool on);

  bool IconAdded() const { return icon_added_; }
  const NOTIFYICONDATAA& NotifyData() const { return data_; }
  bool AddIcon();
  bool RemoveIcon();

 private:
  friend class TTrayVis;
  explicit TBalloonInfo(TTrayVis& vis) : vis_(vis) {}

  TTrayVis& vis_;
  UniqueIcon icon_;
  bool trayicon_active_ = false;
  bool icon_added_ = false;
  NOTIFYICONDATAA data_{};
};

class TTrayVis {
 public:
  // Subclasses the owner window; throws EInvalidCast when owner is not a window.
  explicit TTrayVis(HWND owner);
  TTrayVis(const TTrayVis&) = delete;
  TTrayVis& operator=(const TTrayVis&) = delete;
  // Removes both icons if added and gives the owner its window procedure back.
  ~TTrayVis();

  TTrayicon Trayicon{*this};
  TBalloonInfo BallooInfo{*this};
  TMargin Margin;

  TNotifyEvent OnTrayicon;       // the owner has gone to the tray
  TNotifyEvent OnTrayLeftClick;  // left button released over the icon
  TNotifyEvent OnTrayLeft2Click; // left double click on the icon
  TNotifyEvent OnTrayRestore;    // the owner came back from the tray
  TNotifyEvent OnBallIconLeftClick;
  TNotifyEvent OnBallIconLeft2Click;
  TNotifyEvent OnBallInfoShow;
  TNotifyEvent OnBallInfoHide;
  TPopupMenuEvent OnShowPopupMenu;
  TShellNotifyIcon ShellNotifyIcon;

  HWND Owner() const { return owner_; }
  bool InTray() const { return Trayicon.InTray(); }
  bool TaskbarButtonHidden() const { return taskbar_button_hidden_; }
  bool StayOnTopState() const { return stay_on_top_state_; }

  void MinimizeToTray();
  void RestoreFromTray();
  // HideTaskbarButton(hidden), then keeps it so through going to and coming from the tray.
  void SetTaskbarButtonHidden(bool hidden);
  // The owner is a top-level window of its own: its taskbar button goes and comes with the
  // tool-window style. A shown owner is hidden and shown again (without activation) so the
  // shell notices, which may take the activation from it: call it before showing the owner.
  void HideTaskbarButton(bool hide);
  void SetStayOnTop(bool on);
  void BringOwnerToFront(bool activate, bool restore, bool flash);
  // Puts the system cursor into the cursor table's slot; the cursor shown now stays.
  void UseSystemHandCursor(int slot, LPCSTR cursor_id);

  // The application's icon: the owner class's small or large icon, else the program's first
  // icon resource, else the system's application icon. Not owned by the caller.
  HICON ApplicationIcon() const;

 private:
  friend class TTrayicon;
  friend class TBalloonInfo;

  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR ref);
  // True when the message was fully handled and must not be passed on; *result is then the answer.
  bool HandleBeforeDefault(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result);
  void HandleAfterDefault(UINT msg, LRESULT* result);
  void TrayCallback(UINT mouse_message);
  void BalloonCallback(UINT message);
  void TaskbarCreated();
  void ShowMenu(HMENU menu);
  void Snap(RECT& proposed);
  void Fire(const TNotifyEvent& event);
  void Detach();
  BOOL Notify(DWORD message, NOTIFYICONDATAA& data);
  void AnimateTray(bool to_tray);

  HWND owner_ = nullptr;
  bool taskbar_button_hidden_ = false;
  bool stay_on_top_state_ = false;
};

}  // namespace parlix

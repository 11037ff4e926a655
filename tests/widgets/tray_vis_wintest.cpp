// The tray component on a window of the test's own, against Wine's shell: icon records and
// the shell's answers, callback dispatch, going to the tray and back, the taskbar button,
// stay-on-top, bringing to the front, snapping and the subclass's life.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "widgets/tray_vis_win.h"
#include "support/driver_win.h"
#include "support/test_window_win.h"

namespace parlix {
namespace {

constexpr char kOwnerClass[] = "TrayVisTestOwner";
constexpr UINT kMessageIconTip = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr DWORD kFirstFormSize = NOTIFYICONDATAA_V1_SIZE;

// What reached the owner's own window procedure, after the component.
struct TOwnerLog {
  std::vector<UINT> messages;
  bool Saw(UINT msg) const { return std::ranges::count(messages, msg) > 0; }
};
TOwnerLog g_owner_log;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  g_owner_log.messages.push_back(msg);
  // A window that is all caption, so the NoMove rule has something to change.
  if (msg == WM_NCHITTEST) return HTCAPTION;
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

struct TShellCall {
  DWORD message;
  NOTIFYICONDATAA data;
  BOOL result;
};

// Whether the shell holds an icon of (owner, id): only then does it accept a modification.
bool ShellHasIcon(HWND owner, UINT id) {
  NOTIFYICONDATAA probe{};
  probe.cbSize = kFirstFormSize;
  probe.hWnd = owner;
  probe.uID = id;
  return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// What the first form of an icon record tells the shell, comparable as a whole.
auto FirstForm(const NOTIFYICONDATAA& d) {
  return std::tuple(d.cbSize, d.hWnd, d.uID, d.uFlags, d.uCallbackMessage, d.hIcon, std::string(d.szTip));
}

// Without an X system tray Wine shows the icons in a small window of its own, which it maps
// for the first icon and unmaps after the last; with no window manager each unmapping waits
// two seconds, holding up the shell. One icon kept for the whole run keeps that window up.
class TSentinelIcon : public ::testing::Environment {
 public:
  void SetUp() override {
    window_ = test::MakeTestWindow({.class_name = "STATIC", .width = 1, .height = 1});
    data_ = BuildNotifyIconData(window_, 7, NIF_ICON | NIF_TIP, 0,
                                LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), "sentinel");
    Shell_NotifyIconA(NIM_ADD, &data_);
  }
  void TearDown() override {
    Shell_NotifyIconA(NIM_DELETE, &data_);
    DestroyWindow(window_);
  }

 private:
  HWND window_ = nullptr;
  NOTIFYICONDATAA data_{};
};
const auto* const g_sentinel = ::testing::AddGlobalTestEnvironment(new TSentinelIcon);

class TrayVisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = test::MakeTestWindow({.class_name = kOwnerClass, .proc = OwnerProc, .caption = "owner", .left = 100,
                                   .top = 100, .width = 250, .height = 230,
                                   .icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))});
    ASSERT_NE(owner_, nullptr);
    g_owner_log = {};
    // The component, its shell calls recorded on their way to the real shell.
    tray_ = std::make_unique<TTrayVis>(owner_);
    tray_->ShellNotifyIcon = [this](DWORD message, NOTIFYICONDATAA& data) {
      const BOOL result = Shell_NotifyIconA(message, &data);
      calls_.push_back({message, data, result});
      return result;
    };
  }
  void TearDown() override {
    tray_.reset();
    if (owner_ != nullptr && IsWindow(owner_)) DestroyWindow(owner_);
  }

  LRESULT SendCallback(UINT message, UINT mouse) {
    return SendMessageA(owner_, message, 0, static_cast<LPARAM>(mouse));
  }

  // Shown without activation: Wine waits two seconds for a window manager whenever it hides
  // a window that was ever active, and the X server of the tests has none.
  void ShowOwner() { ShowWindow(owner_, SW_SHOWNA); }

  RECT Moving(RECT proposed) {
    SendMessageA(owner_, WM_MOVING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed));
    return proposed;
  }
  LRESULT HitTest() { return SendMessageA(owner_, WM_NCHITTEST, 0, MAKELPARAM(150, 150)); }

  // The i-th shell call was this message, with this answer from the shell.
  void ExpectCall(size_t i, DWORD message, BOOL result) const {
    ASSERT_LT(i, calls_.size());
    EXPECT_EQ(calls_[i].message, message) << "call " << i;
    EXPECT_EQ(calls_[i].result, result) << "call " << i;
  }

  // The tray icon as the component counts it and as the shell holds it.
  std::pair<bool, bool> TrayIcon() const { return {tray_->Trayicon.IconAdded(), ShellHasIcon(owner_, 0)}; }
  bool Topmost() const { return (GetWindowLongPtrA(owner_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
  bool ToolWindow() const { return (GetWindowLongPtrA(owner_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0; }

  HWND owner_ = nullptr;
  std::vector<TShellCall> calls_;
  std::unique_ptr<TTrayVis> tray_;
};

TEST(TrayVisRecord, FirstFormRecordWithTheTipCutAtSixtyTwo) {
  const std::string long_tip(100, 'x');
  HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  const NOTIFYICONDATAA data =
      BuildNotifyIconData(reinterpret_cast<HWND>(0x1234), 0, 7, 0xC123, icon, long_tip + "tail");
  EXPECT_EQ(FirstForm(data), std::tuple(kFirstFormSize, reinterpret_cast<HWND>(0x1234), 0u, kMessageIconTip,
                                        0xC123u, icon, std::string(62, 'x')));
  // Fields past the first form are not part of what the shell is told to read.
  EXPECT_EQ(data.uVersion, 0u);

  const NOTIFYICONDATAA exact = BuildNotifyIconData(nullptr, 1, 3, 1, nullptr, std::string(62, 'y'));
  EXPECT_EQ(std::string(exact.szTip), std::string(62, 'y'));
  const NOTIFYICONDATAA short_tip = BuildNotifyIconData(nullptr, 1, 3, 1, nullptr, "Parlix, click to open");
  EXPECT_EQ(std::string(short_tip.szTip), "Parlix, click to open");
  EXPECT_EQ(BuildNotifyIconData(nullptr, 1, 3, 1, nullptr, "").szTip[0], '\0');
}

// The shell and other programs know the messages only by name: whoever registers the
// names gets the ids the component dispatches, and every tray in the process answers them.
using TrayVisMessages = TrayVisTest;

TEST_F(TrayVisMessages, RegisteredByNameAndSharedByAllInstances) {
  EXPECT_EQ(TrayCallbackMessage(), RegisterWindowMessageA("WM_TRAYCALLBACK"));
  EXPECT_EQ(TaskbarCreatedMessage(), RegisterWindowMessageA("TaskbarCreated"));
  EXPECT_EQ(BalloonCallbackMessage(), RegisterWindowMessageA("WM_BALLCALLBACK"));
  EXPECT_GE(TrayCallbackMessage(), 0xC000u);
  EXPECT_NE(TrayCallbackMessage(), BalloonCallbackMessage());

  test::TTestWindow second_owner({.class_name = kOwnerClass, .proc = OwnerProc});
  ASSERT_NE(second_owner.Handle(), nullptr);
  TTrayVis second(second_owner.Handle());
  std::vector<std::string> events;
  tray_->OnTrayLeftClick = [&](TTrayVis&) { events.push_back("first click"); };
  second.OnTrayLeftClick = [&](TTrayVis&) { events.push_back("second click"); };
  tray_->OnBallIconLeft2Click = [&](TTrayVis&) { events.push_back("first balloon double"); };
  tray_->Trayicon.SetAlwaysActive(true);
  NOTIFYICONDATAA lost = tray_->Trayicon.NotifyData();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));

  // Posted from another thread that registered the names for itself, as the shell does.
  std::thread poster([owner = owner_, other = second_owner.Handle()] {
    PostMessageA(owner, RegisterWindowMessageA("WM_TRAYCALLBACK"), 0, WM_LBUTTONUP);
    PostMessageA(other, RegisterWindowMessageA("WM_TRAYCALLBACK"), 0, WM_LBUTTONUP);
    PostMessageA(owner, RegisterWindowMessageA("WM_BALLCALLBACK"), 0, WM_LBUTTONDBLCLK);
    PostMessageA(owner, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  });
  poster.join();
  test::DrainMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"first click", "second click", "first balloon double"}));
  EXPECT_TRUE(ShellHasIcon(owner_, 0)) << "the taskbar's restart brought the icon back";
  EXPECT_FALSE(g_owner_log.Saw(TrayCallbackMessage())) << "the callbacks stopped at the trays";
  EXPECT_TRUE(g_owner_log.Saw(TaskbarCreatedMessage()));
}

TEST(TrayVisConstruction, OwnerMustBeAWindow) {
  EXPECT_THROW(TTrayVis(nullptr), EInvalidCast);
  EXPECT_THROW(TTrayVis(reinterpret_cast<HWND>(0x7FFF0)), std::runtime_error);
}

TEST_F(TrayVisTest, AlwaysActiveAddsAtOnceWithTheApplicationIcon) {
  tray_->Trayicon.SetToolTip("Parlix, click to open");
  EXPECT_TRUE(calls_.empty()) << "a tooltip alone adds nothing";
  EXPECT_EQ(tray_->Trayicon.Icon(), nullptr);

  tray_->Trayicon.SetAlwaysActive(true);
  ASSERT_EQ(calls_.size(), 1u);
  ExpectCall(0, NIM_ADD, TRUE);  // Wine's shell accepts the icon
  EXPECT_NE(calls_[0].data.hIcon, nullptr);
  // The application's icon became the icon.
  EXPECT_EQ(FirstForm(calls_[0].data), std::tuple(kFirstFormSize, owner_, 0u, kMessageIconTip,
                                                  TrayCallbackMessage(), tray_->Trayicon.Icon(),
                                                  std::string("Parlix, click to open")));
  EXPECT_EQ(TrayIcon(), std::pair(true, true));

  // Setting it again adds nothing twice.
  tray_->Trayicon.SetAlwaysActive(true);
  EXPECT_EQ(calls_.size(), 1u);

  tray_->Trayicon.SetAlwaysActive(false);
  ASSERT_EQ(calls_.size(), 2u);
  ExpectCall(1, NIM_DELETE, TRUE);
  EXPECT_EQ(TrayIcon(), std::pair(false, false));
}

TEST_F(TrayVisTest, ToolTipAndIconChangesReachAShownIcon) {
  const std::string long_tip = "A tooltip that runs on well past the sixty-two characters a tip may hold";
  ASSERT_GT(long_tip.size(), 62u);
  tray_->Trayicon.SetToolTip(long_tip);
  EXPECT_EQ(tray_->Trayicon.ToolTip(), long_tip.substr(0, 62));
  EXPECT_TRUE(calls_.empty());

  tray_->Trayicon.SetAlwaysActive(true);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(std::string(calls_[0].data.szTip), long_tip.substr(0, 62));

  tray_->Trayicon.SetToolTip("short");
  ASSERT_EQ(calls_.size(), 2u);
  ExpectCall(1, NIM_MODIFY, TRUE);
  EXPECT_STREQ(calls_[1].data.szTip, "short");

  HICON other = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING));
  tray_->Trayicon.SetIcon(other);
  ASSERT_EQ(calls_.size(), 3u);
  EXPECT_EQ(calls_[2].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_NE(calls_[2].data.hIcon, other) << "the component keeps a copy of its own";
  EXPECT_EQ(calls_[2].data.hIcon, tray_->Trayicon.Icon());
  // Its own icon again: nothing to do.
  tray_->Trayicon.SetIcon(tray_->Trayicon.Icon());
  EXPECT_EQ(calls_.size(), 3u);
}

TEST_F(TrayVisTest, CallbackDispatchByMouseButton) {
  int left = 0, left2 = 0, menus = 0;
  HMENU shown = nullptr;
  POINT shown_at{};
  tray_->OnTrayLeftClick = [&](TTrayVis& sender) {
    EXPECT_EQ(&sender, tray_.get());
    ++left;
  };
  tray_->OnTrayLeft2Click = [&](TTrayVis&) { ++left2; };
  tray_->OnShowPopupMenu = [&](TTrayVis&, HMENU menu, POINT at) {
    ++menus;
    shown = menu;
    shown_at = at;
  };
  const UINT callback = TrayCallbackMessage();

  EXPECT_EQ(SendCallback(callback, WM_LBUTTONUP), 0);
  EXPECT_EQ(left, 1);
  SendCallback(callback, WM_LBUTTONDBLCLK);
  EXPECT_EQ(left2, 1);
  SendCallback(callback, WM_LBUTTONDOWN);
  SendCallback(callback, WM_MOUSEMOVE);
  SendCallback(callback, WM_RBUTTONDOWN);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(left2, 1);

  // No menu set: the right button does nothing and posts nothing.
  MSG msg;
  while (PeekMessageA(&msg, owner_, 0, 0, PM_REMOVE)) {
  }
  SendCallback(callback, WM_RBUTTONUP);
  EXPECT_EQ(menus, 0);
  EXPECT_FALSE(PeekMessageA(&msg, owner_, WM_NULL, WM_NULL, PM_REMOVE));

  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "Restore Parlix");
  tray_->Trayicon.PopupMenu = menu;
  SendCallback(callback, WM_RBUTTONUP);
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(shown, menu);
  EXPECT_EQ(std::pair(shown_at.x, shown_at.y), std::pair(cursor.x, cursor.y));
  EXPECT_TRUE(PeekMessageA(&msg, owner_, WM_NULL, WM_NULL, PM_REMOVE)) << "WM_NULL posted after the menu";
  DestroyMenu(menu);

  // The callback is the component's alone: the owner's procedure never sees it.
  EXPECT_FALSE(g_owner_log.Saw(callback));
}

// Without a handler of its own the menu is tracked by the system; a timer closes it.
TEST_F(TrayVisTest, DefaultMenuIsTrackedAndClosed) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "Exit");
  tray_->Trayicon.PopupMenu = menu;
  ShowOwner();
  const UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  SendCallback(TrayCallbackMessage(), WM_RBUTTONUP);
  KillTimer(nullptr, timer);
  // The system's menu loop ran for the owner. (It may end before the timer when another
  // program takes the activation meanwhile, as parallel tests do.)
  EXPECT_TRUE(g_owner_log.Saw(WM_ENTERMENULOOP));
  EXPECT_TRUE(g_owner_log.Saw(WM_EXITMENULOOP));
  DestroyMenu(menu);
}

TEST_F(TrayVisTest, TaskbarCreatedAddsTheIconAgain) {
  tray_->Trayicon.SetToolTip("Parlix, click to open");
  tray_->Trayicon.SetAlwaysActive(true);
  HICON other = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_INFORMATION));
  tray_->Trayicon.SetIcon(other);
  // The shell loses its icons, as when it restarts.
  NOTIFYICONDATAA lost = tray_->Trayicon.NotifyData();
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
  ASSERT_FALSE(ShellHasIcon(owner_, 0));
  calls_.clear();

  SendMessageA(owner_, TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(calls_.size(), 2u);
  ExpectCall(0, NIM_DELETE, FALSE);  // nothing left to remove; the icon is added all the same
  ExpectCall(1, NIM_ADD, TRUE);
  EXPECT_STREQ(calls_[1].data.szTip, "Parlix, click to open");
  EXPECT_EQ(calls_[1].data.hIcon, tray_->Trayicon.Icon()) << "with its current icon";
  EXPECT_EQ(TrayIcon(), std::pair(true, true));
  // The owner hears of the new taskbar too.
  EXPECT_TRUE(g_owner_log.Saw(TaskbarCreatedMessage()));

  // Without an icon there is nothing to bring back.
  tray_->Trayicon.SetAlwaysActive(false);
  calls_.clear();
  SendMessageA(owner_, TaskbarCreatedMessage(), 0, 0);
  EXPECT_TRUE(calls_.empty());
  EXPECT_FALSE(ShellHasIcon(owner_, 0));
}

TEST_F(TrayVisTest, MinimizeToTrayAndRestore) {
  int to_tray = 0;
  int restored = 0;
  tray_->OnTrayicon = [&](TTrayVis& sender) {
    EXPECT_TRUE(sender.InTray()) << "InTray is set before the event";
    ++to_tray;
  };
  tray_->OnTrayRestore = [&](TTrayVis& sender) {
    EXPECT_FALSE(sender.InTray());
    ++restored;
  };
  ShowOwner();
  ASSERT_TRUE(IsWindowVisible(owner_));
  ASSERT_FALSE(ToolWindow());

  tray_->MinimizeToTray();
  EXPECT_FALSE(IsWindowVisible(owner_));
  EXPECT_TRUE(tray_->InTray());
  EXPECT_EQ(to_tray, 1);
  EXPECT_EQ(TrayIcon(), std::pair(true, true));
  EXPECT_TRUE(ToolWindow()) << "no taskbar button while in the tray";

  tray_->MinimizeToTray();  // already there: nothing, no event
  EXPECT_EQ(to_tray, 1);
  EXPECT_EQ(calls_.size(), 1u);

  tray_->RestoreFromTray();
  EXPECT_TRUE(IsWindowVisible(owner_));
  EXPECT_FALSE(IsIconic(owner_));
  EXPECT_FALSE(tray_->InTray());
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(TrayIcon(), std::pair(false, false)) << "not AlwaysActive: the icon goes with the restore";
  EXPECT_FALSE(ToolWindow());

  tray_->RestoreFromTray();  // not in the tray: nothing
  EXPECT_EQ(restored, 1);
}

TEST_F(TrayVisTest, AlwaysActiveIconStaysAfterRestore) {
  tray_->Trayicon.SetAlwaysActive(true);
  ShowOwner();
  tray_->MinimizeToTray();
  EXPECT_EQ(calls_.size(), 1u) << "already added: going to the tray adds nothing";
  tray_->RestoreFromTray();
  EXPECT_EQ(TrayIcon(), std::pair(true, true));
  EXPECT_EQ(calls_.size(), 1u);
}

TEST_F(TrayVisTest, TaskbarButtonHiddenForGood) {
  ShowOwner();
  tray_->SetTaskbarButtonHidden(true);
  EXPECT_TRUE(tray_->TaskbarButtonHidden());
  EXPECT_TRUE(ToolWindow());
  EXPECT_TRUE(IsWindowVisible(owner_)) << "a shown window stays shown while its button goes";
  tray_->MinimizeToTray();
  tray_->RestoreFromTray();
  EXPECT_TRUE(ToolWindow()) << "coming back from the tray does not bring the button back";
  tray_->BringOwnerToFront(true, false, false);
  EXPECT_TRUE(ToolWindow());

  tray_->SetTaskbarButtonHidden(false);
  EXPECT_FALSE(ToolWindow());
  EXPECT_TRUE(IsWindowVisible(owner_));
  // An application window style asks for a button; hiding takes it away as well.
  SetWindowLongPtrA(owner_, GWL_EXSTYLE, GetWindowLongPtrA(owner_, GWL_EXSTYLE) | WS_EX_APPWINDOW);
  tray_->HideTaskbarButton(true);
  EXPECT_TRUE(ToolWindow());
  EXPECT_EQ(GetWindowLongPtrA(owner_, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
}

TEST_F(TrayVisTest, SetStayOnTopTogglesTopmost) {
  ShowOwner();
  EXPECT_FALSE(Topmost());
  tray_->SetStayOnTop(true);
  EXPECT_TRUE(Topmost());
  EXPECT_TRUE(tray_->StayOnTopState());
  tray_->SetStayOnTop(false);
  EXPECT_FALSE(Topmost());
  EXPECT_FALSE(tray_->StayOnTopState());
}

// Whether a comes before b in the stacking order of top-level windows.
bool Above(HWND a, HWND b) {
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

TEST_F(TrayVisTest, BringOwnerToFrontActivatesWithoutStayingTopmost) {
  ShowOwner();
  HWND other = test::MakeTestWindow({.class_name = kOwnerClass, .caption = "other", .style = WS_POPUP | WS_VISIBLE,
                                     .left = 120, .top = 120, .width = 300, .height = 300});
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  SetActiveWindow(other);
  ASSERT_TRUE(Above(other, owner_));

  tray_->BringOwnerToFront(true, false, false);
  EXPECT_TRUE(Above(owner_, other));
  EXPECT_FALSE(Topmost()) << "at the top of the normal windows, not topmost";
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_EQ(GetFocus(), owner_);

  // With stay-on-top on, it stays topmost.
  tray_->SetStayOnTop(true);
  SetActiveWindow(other);
  tray_->BringOwnerToFront(true, false, false);
  EXPECT_TRUE(Topmost());
  EXPECT_EQ(GetActiveWindow(), owner_);

  // Not activating: the previously active window keeps the activation.
  tray_->SetStayOnTop(false);
  SetActiveWindow(other);
  tray_->BringOwnerToFront(false, false, false);
  EXPECT_EQ(GetActiveWindow(), other);
  EXPECT_TRUE(Above(owner_, other));
  EXPECT_FALSE(Topmost());
  DestroyWindow(other);
}

TEST_F(TrayVisTest, BringOwnerToFrontWithRestoreComesBackFromTheTray) {
  int restored = 0;
  tray_->OnTrayRestore = [&](TTrayVis&) { ++restored; };
  ShowOwner();
  tray_->MinimizeToTray();
  tray_->BringOwnerToFront(true, true, false);
  EXPECT_FALSE(tray_->InTray());
  EXPECT_TRUE(IsWindowVisible(owner_));
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(TrayVisTest, SnapsWhileMovingOnlyWhenEnabled) {
  const RECT near_left{6, 300, 6 + 250, 300 + 230};
  EXPECT_EQ(Moving(near_left).left, 6) << "margins off by default";

  tray_->Margin.Enabled = true;
  tray_->Margin.Magnetic = true;
  EXPECT_EQ(Moving(near_left), (RECT{0, 300, 250, 530}));
  EXPECT_TRUE(g_owner_log.Saw(WM_MOVING)) << "passed on after snapping";
  EXPECT_EQ(Moving({7, 300, 7 + 250, 300 + 230}).left, 7);

  const int screen_w = GetSystemMetrics(SM_CXSCREEN);
  EXPECT_EQ(Moving({screen_w - 250 + 3, 300, screen_w + 3, 530}), (RECT{screen_w - 250, 300, screen_w, 530}));
}

TEST_F(TrayVisTest, NoMoveTakesTheCaptionAway) {
  EXPECT_EQ(HitTest(), HTCAPTION);
  tray_->Margin.NoMove = true;
  EXPECT_EQ(HitTest(), HTCAPTION) << "margins not enabled";
  tray_->Margin.Enabled = true;
  EXPECT_EQ(HitTest(), HTNOWHERE);
}

TEST_F(TrayVisTest, BalloonIconAndItsCallbacks) {
  std::vector<std::string> events;
  tray_->OnBallIconLeftClick = [&](TTrayVis&) { events.push_back("click"); };
  tray_->OnBallIconLeft2Click = [&](TTrayVis&) { events.push_back("double"); };
  tray_->OnBallInfoShow = [&](TTrayVis&) { events.push_back("show"); };
  tray_->OnBallInfoHide = [&](TTrayVis&) { events.push_back("hide"); };
  EXPECT_EQ(tray_->BallooInfo.InfoTimeOut, 10);
  EXPECT_EQ(tray_->BallooInfo.InfoIconType, TInfoIconType::bitInfo);

  tray_->BallooInfo.SetTrayiconActive(true);
  ASSERT_EQ(calls_.size(), 1u);
  ExpectCall(0, NIM_ADD, TRUE);
  EXPECT_EQ(calls_[0].data.uID, 1u);
  EXPECT_EQ(calls_[0].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON)) << "no hint, no tip";
  EXPECT_EQ(calls_[0].data.uCallbackMessage, BalloonCallbackMessage());
  EXPECT_NE(calls_[0].data.hIcon, nullptr);
  EXPECT_TRUE(ShellHasIcon(owner_, 1));
  EXPECT_FALSE(ShellHasIcon(owner_, 0)) << "the tray icon is a separate one";

  const UINT callback = BalloonCallbackMessage();
  SendCallback(callback, WM_LBUTTONUP);
  SendCallback(callback, WM_LBUTTONDBLCLK);
  SendCallback(callback, 0x402);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "show", "double", "show"}));
  events.clear();
  SendCallback(callback, 0x404);  // time-out: the icon stays while TrayiconActive
  EXPECT_EQ(events, (std::vector<std::string>{"hide"}));
  EXPECT_TRUE(tray_->BallooInfo.IconAdded());
  EXPECT_FALSE(g_owner_log.Saw(callback));

  tray_->BallooInfo.SetTrayiconActive(false);
  EXPECT_FALSE(ShellHasIcon(owner_, 1));

  // With a hint the icon has a tip; a hide notice without TrayiconActive removes the icon.
  tray_->BallooInfo.IconHint = "hint";
  ASSERT_TRUE(tray_->BallooInfo.AddIcon());
  EXPECT_EQ(tray_->BallooInfo.NotifyData().uFlags, kMessageIconTip);
  EXPECT_STREQ(tray_->BallooInfo.NotifyData().szTip, "hint");
  events.clear();
  SendCallback(callback, 0x403);
  EXPECT_EQ(events, (std::vector<std::string>{"hide"}));
  EXPECT_FALSE(tray_->BallooInfo.IconAdded());
  EXPECT_FALSE(ShellHasIcon(owner_, 1));
}

TEST_F(TrayVisTest, HandlerErrorsAreSwallowed) {
  tray_->OnTrayLeftClick = [](TTrayVis&) { throw std::runtime_error("handler failed"); };
  EXPECT_EQ(SendCallback(TrayCallbackMessage(), WM_LBUTTONUP), 0);
  // The window still works afterwards.
  int left2 = 0;
  tray_->OnTrayLeft2Click = [&](TTrayVis&) { ++left2; };
  SendCallback(TrayCallbackMessage(), WM_LBUTTONDBLCLK);
  EXPECT_EQ(left2, 1);
}

TEST_F(TrayVisTest, DestructionRemovesIconsAndGivesTheWindowProcedureBack) {
  int left = 0;
  tray_->OnTrayLeftClick = [&](TTrayVis&) { ++left; };
  tray_->Trayicon.SetAlwaysActive(true);
  tray_->BallooInfo.SetTrayiconActive(true);
  ASSERT_TRUE(ShellHasIcon(owner_, 0));
  ASSERT_TRUE(ShellHasIcon(owner_, 1));
  SendCallback(TrayCallbackMessage(), WM_LBUTTONUP);
  ASSERT_EQ(left, 1);
  tray_.reset();
  EXPECT_EQ(std::pair(ShellHasIcon(owner_, 0), ShellHasIcon(owner_, 1)), std::pair(false, false));
  g_owner_log = {};
  SendCallback(TrayCallbackMessage(), WM_LBUTTONUP);
  EXPECT_EQ(left, 1);
  EXPECT_TRUE(g_owner_log.Saw(TrayCallbackMessage())) << "the owner's own procedure has the messages again";
}

TEST_F(TrayVisTest, OwnerDestroyedFirstTakesTheIconWithIt) {
  tray_->Trayicon.SetAlwaysActive(true);
  HWND gone = owner_;
  ASSERT_TRUE(ShellHasIcon(gone, 0));
  DestroyWindow(owner_);
  owner_ = nullptr;
  EXPECT_EQ(tray_->Owner(), nullptr);
  EXPECT_FALSE(tray_->Trayicon.IconAdded());
  ASSERT_FALSE(calls_.empty());
  ExpectCall(calls_.size() - 1, NIM_DELETE, TRUE);
  // Operations on a component without its window do nothing.
  tray_->MinimizeToTray();
  tray_->SetStayOnTop(true);
  EXPECT_FALSE(tray_->InTray());
  EXPECT_FALSE(tray_->StayOnTopState());
}

TEST(TrayVisCursor, SystemHandCursorGoesIntoTheTable) {
  HCURSOR shown = GetCursor();
  HWND owner = test::MakeTestWindow({.class_name = "STATIC"});
  ASSERT_NE(owner, nullptr);
  {
    TTrayVis tray(owner);
    tray.UseSystemHandCursor(kHandPointCursor, reinterpret_cast<LPCSTR>(IDC_HAND));
  }
  EXPECT_EQ(ScreenCursor(kHandPointCursor), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  EXPECT_NE(ScreenCursor(kHandPointCursor), nullptr);
  EXPECT_EQ(GetCursor(), shown);
  EXPECT_EQ(ScreenCursor(12345), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  DestroyWindow(owner);
}

}  // namespace
}  // namespace parlix
